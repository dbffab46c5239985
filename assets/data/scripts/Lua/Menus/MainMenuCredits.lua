-- Credits: the credits scroll while the game is paused.
if Button:GetStateCurr() == 2 then
    -- The button goes with its menu before it shows its hover again: the click sounds here.
    PlaySound("Menu_ButtonClick", false)
    DeleteMenuObjectsFromMenu("MainMenu")
    Pause()
    ReadMenu("CreditsMenu")
    ReadMenu("CreditsControls")
end
