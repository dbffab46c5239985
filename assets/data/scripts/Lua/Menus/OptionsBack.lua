-- Back: the options screen makes way for the main menu.
if Button:GetStateCurr() == 2 then
    -- The button goes with its menu before it shows its hover again: the click sounds here.
    PlaySound("Menu_ButtonClick", false)
    DeleteMenuObjectsFromMenu("Options")
    ReadMenu("MainMenu")
end
