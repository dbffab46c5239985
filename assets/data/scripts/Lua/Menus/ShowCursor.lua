-- Menus that are not paused screens show the mouse cursor (going on with the game hides it again).
SetMouseDisplay(true)
