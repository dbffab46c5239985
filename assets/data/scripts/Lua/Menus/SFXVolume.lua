-- Sound-effect volume: 0..10 bars, scaled by the master volume; a short blip at the new level.
SetVolume("sfx", Volume_CoolVersion:VCVGetValue() * (MasterVolume or 1.0))
PlaySound("Menu_VolumeSFX", false)
