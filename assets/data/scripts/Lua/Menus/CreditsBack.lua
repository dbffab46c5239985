-- Back leaves the credits at once.
if Button:GetStateCurr() == 2 then
    DeleteMenuObjectsFromMenu("CreditsControls")
    DeleteMenuObjectsFromMenu("CreditsMenu")
    Unpause()
    ReadMenu("MainMenu")
end
