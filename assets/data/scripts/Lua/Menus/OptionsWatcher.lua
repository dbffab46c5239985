-- Keeps the window mode and the master volume in step with the options screen.
Fullscreen = Fullscreen or GameObjectManagerGetObject("FullscreenCheckbox")
Master = Master or GameObjectManagerGetObject("MasterSlider")
Music = Music or GameObjectManagerGetObject("MusicVolume")
Sfx = Sfx or GameObjectManagerGetObject("SFXVolume")

-- The checkbox opens showing the mode in force (a developer key may have changed it since the box
-- was last clicked); from then on a click on it switches the mode.
local state = Fullscreen:GetStateCurr()
if state == 0 or state == 1 then
    if Shown == nil then
        Shown = IsFullscreen() and 1 or 0
        if state ~= Shown then
            Fullscreen:SetStateNext(Shown)
        end
    elseif state ~= Shown then
        Shown = state
        local wanted = state == 1
        if wanted ~= IsFullscreen() then
            if wanted then SetFullscreen() else SetWindowed() end
        end
    end
end

local master = Master:SliderGetValue()
if master >= 0 and master ~= _G.MasterVolume then
    _G.MasterVolume = master
    SetVolume("music", Music:VCVGetValue() * master)
    SetVolume("sfx", Sfx:VCVGetValue() * master)
end

-- The room ambience follows the dropdown (the bus's mute is a toggle).
Ambience = Ambience or GameObjectManagerGetObject("AmbienceDropdown")
local muted = Ambience:DropdownGetSelected() == "Ambience_Muted"
if (_G.AmbienceMuted or false) ~= muted then
    MuteAudioBus("ambience")
    _G.AmbienceMuted = muted
end

-- Escape goes back to the main menu, as the Back button does (not on the frame the screen opened).
if Ready and IsEscapePressed() then
    DeleteMenuObjectsFromMenu("Options")
    ReadMenu("MainMenu")
end
Ready = true
