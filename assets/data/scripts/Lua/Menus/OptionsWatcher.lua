-- Keeps the window mode and the master volume in step with the options screen.
Fullscreen = Fullscreen or GameObjectManagerGetObject("FullscreenCheckbox")
Master = Master or GameObjectManagerGetObject("MasterSlider")
Music = Music or GameObjectManagerGetObject("MusicVolume")
Sfx = Sfx or GameObjectManagerGetObject("SFXVolume")

local state = Fullscreen:GetStateCurr()
if state == 0 or state == 1 then
    local wanted = state == 1
    if wanted ~= IsFullscreen() then
        if wanted then SetFullscreen() else SetWindowed() end
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
