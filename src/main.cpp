#include "app/GameLoop.h"

// The game takes no arguments; everything it does is described by its data files.
int main()
{
    return RunGame();
}
