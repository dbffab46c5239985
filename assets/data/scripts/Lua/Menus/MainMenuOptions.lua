-- Options: the main menu makes way for the options screen.
if Button:GetStateCurr() == 2 then
    DeleteMenuObjectsFromMenu("MainMenu")
    ReadMenu("Options")
end
