-- The title screen's stars: each bobs gently around the place it started, glows brighter and dimmer
-- and rocks a little. Runs once a frame; the globals below belong to this star alone.
if Home == nil then
    Home = MyObject:GetPosition()
    Time = (Home.X + Home.Y) * 0.37  -- stars placed apart move out of step
end

Time = Time + DeltaTime

MyObject:SetPositionFloat(Home.X, Home.Y + 0.25 * math.sin(Time * 2.0))
MyObject:SetAlpha(0.7 + 0.3 * math.sin(Time * 3.0))
MyObject:SetRotationDegrees(8.0 * math.sin(Time))
