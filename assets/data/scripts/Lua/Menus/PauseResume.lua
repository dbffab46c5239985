-- Resume closes the pause menu and goes on playing.
if Button:GetStateCurr() == 2 then
    DeleteMenuObjectsFromMenu("PauseMenu")
    Unpause()
end
