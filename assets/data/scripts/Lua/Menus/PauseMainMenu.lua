-- Main menu: leave the level.
if Button:GetStateCurr() == 2 then
    DeleteMenuObjectsFromMenu("PauseMenu")
    Unpause()
    SetNextScene("MainMenuScene")
end
