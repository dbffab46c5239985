-- Quit closes the game.
if Button:GetStateCurr() == 2 then
    Quit()
end
