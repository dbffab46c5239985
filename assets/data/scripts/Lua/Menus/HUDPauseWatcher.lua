-- Escape pauses the level and opens the pause menu.
if IsEscapePressed() and not IsGamePaused() then
    PlaySound("Menu_PauseOn", false)
    Pause()
    ReadMenu("PauseMenu")
end
