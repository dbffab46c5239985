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

-- The "Esc: pause" hint makes way for the pause menu while the game is paused.
local hint = GameObjectManagerGetObject("HUDHint")
if hint:AM_I_ALIVE() then
    hint:SetAlpha(IsGamePaused() and 0.0 or 1.0)
end
