-- Options: the main menu makes way for the options screen.
if Button:GetStateCurr() == 2 then
    -- The button goes with its menu before it shows its hover again: the click sounds here.
    PlaySound("Menu_ButtonClick", false)
    DeleteMenuObjectsFromMenu("MainMenu")
    ReadMenu("Options")
end
