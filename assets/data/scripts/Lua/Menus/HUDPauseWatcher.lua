-- In the level the cursor stays hidden, and Escape pauses the level and opens the pause menu.
if IsEscapePressed() and not IsGamePaused() then
    PlaySound("Menu_PauseOn", false)
    Pause()
    ReadMenu("PauseMenu")
elseif not IsGamePaused() then
    SetMouseDisplay(false)
end

-- The battery bar's timer hides its sprite whenever it changes state; the HUD shows it again, so its
-- colour and length always tell the battery left.
local battery = GameObjectManagerGetObject("BatteryBar")
if battery:AM_I_ALIVE() then
    battery:SetAlpha(1.0)
end
