-- Start leads from the title to the main menu.
if Button:GetStateCurr() == 2 then
    SetNextScene("MainMenuScene")
end
