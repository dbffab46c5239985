#pragma once
// A data file held in memory. (Being extended: open modes, readers and writers.)
#include <string>

// "$APPDATA/Quorvex/PemmetsDustrun", else "$XDG_DATA_HOME (or $HOME/.local/share)/Quorvex/PemmetsDustrun",
// else "" (no save directory).
std::string GetSaveDirectory();
