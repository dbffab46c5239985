#pragma once
// The settings the options screen keeps in its menu file ("menus/Options": window mode, music, sound
// and master volume, ambience), applied at start-up through the script calls the screen itself makes,
// so they hold from the first frame and not only once the options screen has been opened.

// Reads the options menu file and applies its widgets' saved values as the screen's scripts would:
// the window mode of "FullscreenCheckbox", the master volume of "MasterSlider" (also kept as the
// scripts' MasterVolume), the music and sound volumes of "MusicVolume" and "SFXVolume" scaled by it,
// and the ambience mute of "AmbienceDropdown" (kept as AmbienceMuted). A widget missing from the file
// leaves its setting alone; without a script system nothing happens; a missing or unreadable file
// writes one trace line.
void ApplySavedOptions();
