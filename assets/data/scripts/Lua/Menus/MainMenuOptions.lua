-- Options: the main menu makes way for the options screen. An options file that cannot be read
-- opens nothing (the reason is in the trace log), and the main menu stays.
if Button:GetStateCurr() == 2 then
    -- The button goes with its menu before it shows its hover again: the click sounds here.
    PlaySound("Menu_ButtonClick", false)
    if ReadMenu("Options") then
        DeleteMenuObjectsFromMenu("MainMenu")
    end
end
