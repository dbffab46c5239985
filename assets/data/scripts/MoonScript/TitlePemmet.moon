-- The title screen's Pemmet sways gently while its turning animation plays. The file runs once a
-- frame in the object's own environment; the exported clock lives there between runs.
export clock
clock = (clock or 0) + DeltaTime
MyObject\SetRotationDegrees 6 * math.sin(clock * 1.5)
