-- Sound-effect volume: 0..10 bars, scaled by the master volume.
SetVolume("sfx", Volume_CoolVersion:VCVGetValue() * (MasterVolume or 1.0))
