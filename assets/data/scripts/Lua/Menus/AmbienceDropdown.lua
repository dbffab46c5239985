-- The room ambience: on, or muted (the bus's mute is a toggle, so it follows the choice).
local muted = AmbienceDropdown:DropdownGetSelected() == "Ambience_Muted"
if (_G.AmbienceMuted or false) ~= muted then
    MuteAudioBus("ambience")
    _G.AmbienceMuted = muted
end
