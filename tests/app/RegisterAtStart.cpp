// Linked into every test and fuzz target: the data names are registered before main, as the game
// registers them at start-up.
#include "app/DataNames.h"

namespace {

[[maybe_unused]] const bool Registered = (RegisterDataNames(), true);

} // namespace
