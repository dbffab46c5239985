-- When the credits have scrolled by, the main menu comes back.
if CreditsAreOver() and not Done then
    Done = true
    DeleteMenuObjectsFromMenu("CreditsControls")
    DeleteMenuObjectsFromMenu("CreditsMenu")
    Unpause()
    ReadMenu("MainMenu")
end
