-- Music volume: 0..10 bars, scaled by the master volume; a short chord at the new level.
SetVolume("music", Volume_CoolVersion:VCVGetValue() * (MasterVolume or 1.0))
PlaySound("Menu_VolumeMusic", false)
