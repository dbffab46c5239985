-- When the credits have scrolled by, the main menu comes back.
if CreditsAreOver() then
    if not Done then
        Done = true
        DeleteMenuObjectsFromMenu("CreditsControls")
        DeleteMenuObjectsFromMenu("CreditsMenu")
        Unpause()
        ReadMenu("MainMenu")
    end
elseif not IsGamePaused() then
    -- The credits scroll only while the game is paused; a focus regained unpauses it.
    Pause()
end
