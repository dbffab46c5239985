-- In the level the cursor stays hidden, and Escape pauses the level and opens the pause menu.
if IsEscapePressed() and not IsGamePaused() then
    PlaySound("Menu_PauseOn", false)
    Pause()
    ReadMenu("PauseMenu")
elseif not IsGamePaused() then
    SetMouseDisplay(false)
end
