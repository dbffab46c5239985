-- Back leaves the credits at once.
if Button:GetStateCurr() == 2 then
    -- The button goes with its menu before it shows its hover again: the click sounds here.
    PlaySound("Menu_ButtonClick", false)
    DeleteMenuObjectsFromMenu("CreditsControls")
    DeleteMenuObjectsFromMenu("CreditsMenu")
    Unpause()
    ReadMenu("MainMenu")
end
