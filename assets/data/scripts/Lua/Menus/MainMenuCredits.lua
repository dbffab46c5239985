-- Credits: the credits scroll while the game is paused.
if Button:GetStateCurr() == 2 then
    DeleteMenuObjectsFromMenu("MainMenu")
    Pause()
    ReadMenu("CreditsMenu")
    ReadMenu("CreditsControls")
end
