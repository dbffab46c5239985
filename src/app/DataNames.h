#pragma once
// Every name the data may use, in one place: the systems "assets/data/main.json" may list, the
// "BehaviorType" names of object files, and the component each block of an object file makes. The
// core keeps only the lookups; the program, the tests, the benchmark and the fuzz targets call
// RegisterDataNames once before they build anything.

// Registers every system, behaviour and component maker by its data name, and sets the hooks the
// core calls upward through (the collision step, the player object's reactions). Calling it again
// changes nothing.
void RegisterDataNames();
