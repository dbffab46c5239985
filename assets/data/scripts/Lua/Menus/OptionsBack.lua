-- Back: the options screen makes way for the main menu.
if Button:GetStateCurr() == 2 then
    DeleteMenuObjectsFromMenu("Options")
    ReadMenu("MainMenu")
end
