-- Back to the main menu.
if Button:GetStateCurr() == 2 then
    SetNextScene("MainMenuScene")
end
