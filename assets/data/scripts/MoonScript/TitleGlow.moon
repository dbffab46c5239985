-- The title screen's glow drifts in a slow circle around where it was placed and breathes brighter
-- and dimmer. The file runs once a frame in the object's own environment; what it exports lives
-- there between runs.
export clock, homeX, homeY
unless clock
  home = MyObject\GetPosition!
  homeX, homeY = home.X, home.Y
  clock = 0
clock += DeltaTime
MyObject\SetPositionFloat homeX + 1.5 * math.cos(clock * 0.6), homeY + 0.8 * math.sin(clock * 0.6)
MyObject\SetAlpha 0.55 + 0.35 * math.sin(clock * 2.0)
