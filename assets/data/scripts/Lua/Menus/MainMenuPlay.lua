-- Play: into the living room.
if Button:GetStateCurr() == 2 then
    SetNextScene("LivingRoomScene")
end
