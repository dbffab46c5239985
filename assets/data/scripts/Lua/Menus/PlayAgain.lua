-- Play again: the living room once more.
if Button:GetStateCurr() == 2 then
    SetNextScene("LivingRoomScene")
end
