-- Keeps the window mode and the master volume in step with the options screen.
Fullscreen = Fullscreen or MenuWidget.new("FullscreenCheckbox")
Master = Master or MenuWidget.new("MasterSlider")
Music = Music or MenuWidget.new("MusicVolume")
Sfx = Sfx or MenuWidget.new("SFXVolume")

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
