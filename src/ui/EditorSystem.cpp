#include "ui/EditorSystem.h"

// Everything the editor placeholder does is declared inline in its header; this file keeps the class
// in the engine library alongside the other systems.
