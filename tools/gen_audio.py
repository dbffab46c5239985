#!/usr/bin/env python3
"""Makes the game's sound data from one table: the banks (assets/audio/banks/*.bank, our own JSON),
"assets/data/audio/GUIDs.txt" (bank lines first, then buses, events and parameters) and every sound
by simple synthesis: tones, noise and envelopes. Effects are mono 16-bit WAV files
(assets/audio/sounds/*.wav); the music is longer and is written as Ogg Vorbis through libsndfile
(assets/audio/sounds/*.ogg) to keep the files small.

Run from the repository root: python3 tools/gen_audio.py
"""
import ctypes
import ctypes.util
import json
import math
import os
import random
import struct
import uuid
import wave

RATE = 22050
SOUNDS = "assets/audio/sounds"
BANKS = "assets/audio/banks"
GUIDS = "assets/data/audio/GUIDs.txt"
NAMESPACE = uuid.UUID("6a0e7f53-3f0b-4c53-9d0e-5d3f7e1c2a11")

# ---- The one table ----------------------------------------------------------------------------------------

BUSES = [("", None), ("Music", ""), ("SFX", ""), ("Ambience", "")]

# Global parameters and their defaults.
PARAMETERS = {"Paused": 1.0, "PickUp_Chain": 0.0, "Charge": 0.0, "MusicSlider": 10.0, "SFXSlider": 10.0}

# Fixed mix levels of the buses: the master bus keeps headroom so that the loudest settings with
# every sound of a level at once stay below full scale.
BUS_GAINS = {"": 0.5}

# Bus effects on global parameters.
BUS_EFFECTS = {
    "Music": [("MusicSlider", "volume", [[0, 0], [10, 1]]), ("Paused", "volume", [[0, 0.35], [1, 1]])],
    "SFX": [("SFXSlider", "volume", [[0, 0], [10, 1]])],
    "Ambience": [("SFXSlider", "volume", [[0, 0], [10, 1]])],
}

# The level's own sounds fall silent while the game is paused ("Paused" is 0 then) and come back as it
# goes on; the menu's sounds play on.
HUSHED_BY_PAUSE = ("Paused", "volume", [[0, 0], [1, 1]])

# The laser hum by the squared distance to the nearest laser that is on, divided by 45 (1 at the edge
# of its range): full beside the beam, falling off like an inverse distance.
LASER_HUM_DISTANCE = ("Distance", "volume", [[0, 1], [0.05, 1], [0.2, 0.5], [0.5, 0.3], [1, 0.12]])

# name: (bank, folder, bus, loop, spatial, local parameters, effects, end-loop parameter)
EVENTS = {
    "Music_Controller": ("Music", "Music", "Music", True, False, {"GameState": 0.0},
                         [("PickUp_Chain", "volume", [[0, 0.85], [12, 1]])], None),
    "Ambience_RoomTone": ("Music", "Ambience", "Ambience", True, False, {}, [HUSHED_BY_PAUSE], None),
    "Player_Idle": ("SFX", "Player", "SFX", True, False, {}, [HUSHED_BY_PAUSE], None),
    "Player_Movement": ("SFX", "Player", "SFX", True, False, {"Moving": 0.0},
                        [("Moving", "volume", [[0, 1], [1, 0.5]]), HUSHED_BY_PAUSE], "Moving"),
    "Player_Turning": ("SFX", "Player", "SFX", True, False, {"Turning": 0.0},
                       [("Turning", "volume", [[0, 1], [1, 0.5]]), HUSHED_BY_PAUSE], "Turning"),
    "Player_Motor": ("SFX", "Player", "SFX", True, False, {}, [HUSHED_BY_PAUSE], None),
    "Player_Ping": ("SFX", "Player", "SFX", False, False, {}, [], None),
    "Player_Damage": ("SFX", "Player", "SFX", False, False, {}, [], None),
    "Player_BatteryMedium": ("SFX", "Player", "SFX", False, False, {}, [], None),
    "Player_BatteryLow": ("SFX", "Player", "SFX", True, False, {}, [HUSHED_BY_PAUSE], None),
    "Player_Content": ("SFX", "Player", "SFX", False, False, {}, [], None),
    "Player_Happy": ("SFX", "Player", "SFX", False, False, {}, [], None),
    "Player_Collision": ("SFX", "Player", "SFX", False, False, {}, [], None),
    # A treasure picked up: a coin chime that climbs with the pickup chain.
    "Player_Pickup": ("SFX", "Player", "SFX", False, False, {},
                      [("PickUp_Chain", "pitch", [[0, 1], [11, 2]])], None),
    "Puddle_Slip": ("SFX", "Obstacles", "SFX", False, True, {}, [], None),
    "ChargingStaion_PowerOn": ("SFX", "Charger", "SFX", False, True, {}, [], None),
    "ChargingStaion_PowerOff": ("SFX", "Charger", "SFX", False, True, {}, [], None),
    "ChargingStation_Charging": ("SFX", "Charger", "SFX", True, True, {},
                                 [("Charge", "pitch", [[0, 0.8], [1, 1.3]]), HUSHED_BY_PAUSE], None),
    "ChargingStation_Ding": ("SFX", "Charger", "SFX", False, False, {}, [], None),
    "Obstacle_LaserHum": ("SFX", "Obstacles", "SFX", True, True, {"Distance": 0.0},
                          [LASER_HUM_DISTANCE, HUSHED_BY_PAUSE], None),
    "Elevator_Countdown": ("SFX", "Obstacles", "SFX", False, True, {}, [HUSHED_BY_PAUSE], None),
    "Chute_TreasureTurnIn": ("SFX", "Obstacles", "SFX", False, True, {}, [], None),
    "Menu_ButtonHover": ("SFX", "Menu", "SFX", False, False, {}, [], None),
    "Menu_PauseOn": ("SFX", "Menu", "SFX", False, False, {}, [], None),
    # A click on a button that closes its menu (the others sound their hover again as they are let go).
    "Menu_ButtonClick": ("SFX", "Menu", "SFX", False, False, {}, [], None),
    # The volume controls' steps: the effects one at the new effects level; the music one also
    # follows the new music level, and a faint tick stays at music 0.
    "Menu_VolumeSFX": ("SFX", "Menu", "SFX", False, False, {}, [], None),
    "Menu_VolumeMusic": ("SFX", "Menu", "SFX", False, False, {},
                         [("MusicSlider", "volume", [[0, 0.2], [10, 1]])], None),
    "Trans_ConfettiStinger": ("SFX", "Transitions", "SFX", False, False, {}, [], None),
    "Trans_LogoSkip": ("SFX", "Transitions", "SFX", False, False, {}, [], None),
    "Dance_Twirl": ("SFX", "Dance", "SFX", False, False, {}, [], None),
    "Dance_Clap": ("SFX", "Dance", "SFX", False, False, {}, [], None),
    "Dance_Finale": ("SFX", "Dance", "SFX", False, False, {}, [], None),
}
MUSIC_STATES = 5   # GameState 0..4 selects the music's variation

BANK_ORDER = ["Master", "Music", "SFX"]


def guid(kind, name):
    return "{" + str(uuid.uuid5(NAMESPACE, kind + ":" + name)) + "}"


# ---- Synthesis ------------------------------------------------------------------------------------------------

rng = random.Random(1717)


def silence(seconds):
    return [0.0] * int(seconds * RATE)


def tone(freq, seconds, shape="sine", freq_end=None, vibrato=0.0):
    out = []
    phase = 0.0
    n = int(seconds * RATE)
    for i in range(n):
        t = i / n if n else 0
        f = freq if freq_end is None else freq * (freq_end / freq) ** t
        if vibrato:
            f *= 1.0 + vibrato * math.sin(2 * math.pi * 6 * i / RATE)
        phase += f / RATE
        p = phase % 1.0
        if shape == "sine":
            v = math.sin(2 * math.pi * p)
        elif shape == "square":
            v = 1.0 if p < 0.5 else -1.0
        elif shape == "triangle":
            v = 4 * abs(p - 0.5) - 1
        else:  # saw
            v = 2 * p - 1
        out.append(v)
    return out


def noise(seconds, smooth=0.0):
    out, last = [], 0.0
    for _ in range(int(seconds * RATE)):
        last = last * smooth + rng.uniform(-1, 1) * (1 - smooth)
        out.append(last)
    return out


def envelope(samples, attack=0.005, release=0.05, decay=None):
    n = len(samples)
    a, r = int(attack * RATE), int(release * RATE)
    out = []
    for i, v in enumerate(samples):
        g = 1.0
        if a and i < a:
            g = i / a
        if r and i > n - r:
            g *= max(0.0, (n - i) / r)
        if decay:
            g *= math.exp(-i / (decay * RATE))
        out.append(v * g)
    return out


def mix(*parts):
    n = max(len(p) for p, _ in parts)
    out = [0.0] * n
    for p, gain in parts:
        for i, v in enumerate(p):
            out[i] += v * gain
    return out


def concat(*parts):
    out = []
    for p in parts:
        out.extend(p)
    return out


def at(samples, offset, total):
    out = [0.0] * total
    start = int(offset * RATE)
    for i, v in enumerate(samples):
        if start + i < total:
            out[start + i] += v
    return out


def note(n):
    return 440.0 * 2 ** ((n - 69) / 12)


def blip(freq, seconds, shape="sine", decay=0.08, freq_end=None):
    return envelope(tone(freq, seconds, shape, freq_end), 0.003, 0.02, decay)


def loop_hum(freq, seconds, shape="saw", level=1.0, wobble=0.0):
    # Whole cycles so the loop joins without a click.
    cycles = max(1, round(freq * seconds))
    seconds = cycles / freq
    out = tone(freq, seconds, shape)
    if wobble:
        out = [v * (1 - wobble + wobble * math.sin(2 * math.pi * i / len(out))) for i, v in enumerate(out)]
    return [v * level for v in out]


# ---- Music --------------------------------------------------------------------------------------------------
#
# Each GameState has its own piece: a chord progression played by pad and bass, over which a melody
# is made afresh for every section (a seeded walk on the scale), with the arrangement changing from
# section to section (instruments drop out and come back, the melody moves octaves, an arpeggio or
# percussion joins). The menu's and the level's pieces last about two minutes, the others 15 to 60
# seconds, so a loop is long and keeps changing.

def add_note(out, start, freq, seconds, shape, gain, attack=0.01, decay=None, release=0.05):
    """Adds one enveloped note into out at sample offset start."""
    n = int(seconds * RATE)
    a, r = max(1, int(attack * RATE)), max(1, int(release * RATE))
    step = freq / RATE
    k = -1.0 / (decay * RATE) if decay else 0.0
    sin, exp, tau = math.sin, math.exp, 2 * math.pi
    end = min(n, len(out) - start)
    for i in range(end):
        p = (i * step) % 1.0
        if shape == "sine":
            v = sin(tau * p)
        elif shape == "triangle":
            v = 4 * abs(p - 0.5) - 1
        elif shape == "square":
            v = 0.6 if p < 0.5 else -0.6
        else:
            v = 2 * p - 1
        g = gain
        if i < a:
            g *= i / a
        if i > n - r:
            g *= (n - i) / r
        if k:
            g *= exp(k * i)
        out[start + i] += v * g


def add_noise(out, start, seconds, gain, decay, source, smooth=0.0):
    last = 0.0
    n = min(int(seconds * RATE), len(out) - start)
    for i in range(n):
        last = last * smooth + source.uniform(-1, 1) * (1 - smooth)
        out[start + i] += last * gain * math.exp(-i / (decay * RATE))


MAJOR = [0, 2, 4, 5, 7, 9, 11]
MINOR = [0, 2, 3, 5, 7, 8, 10]

# (bpm, root, scale, chord degrees per bar, melody shape, sections: each a set of parts)
PIECES = [
    # 0 menu: calm, 48 bars
    (96, 60, MAJOR, [0, 5, 3, 4, 0, 5, 1, 4], "triangle",
     [{"pad", "bass"}, {"pad", "bass", "melody"}, {"pad", "bass", "melody", "arp"}, {"pad", "arp", "high"},
      {"bass", "melody"}, {"pad", "bass", "arp", "high"}]),
    # 1 level: busy, 64 bars
    (132, 57, MINOR, [0, 5, 2, 6, 0, 3, 4, 4], "square",
     [{"bass", "drums"}, {"bass", "drums", "melody"}, {"pad", "bass", "drums", "melody", "arp"},
      {"pad", "bass", "arp"}, {"bass", "drums", "melody", "high"}, {"pad", "drums", "arp", "melody"},
      {"pad", "bass", "melody"}, {"bass", "drums", "arp", "high"}]),
    # 2 game over: slow, 8 bars
    (72, 55, MINOR, [0, 5, 3, 4], "sine", [{"pad", "bass", "melody"}, {"pad", "melody", "high"}]),
    # 3 win: bright, 16 bars
    (140, 60, MAJOR, [0, 3, 4, 0, 5, 3, 4, 4], "square",
     [{"bass", "drums", "melody"}, {"pad", "bass", "drums", "melody", "arp"}]),
    # 4 credits: gentle, 24 bars
    (90, 64, MAJOR, [0, 3, 5, 4, 0, 3, 1, 4], "triangle",
     [{"pad", "bass"}, {"pad", "bass", "melody"}, {"bass", "melody", "arp"}]),
]

RHYTHMS = [[1, 1, 1, 1], [2, 1, 1], [1, 1, 2], [0.5, 0.5, 1, 2], [1.5, 0.5, 2], [1, 0.5, 0.5, 1, 1], [4]]


def music(state):
    bpm, root, scale, chords, shape, sections = PIECES[state]
    beat = 60.0 / bpm
    bar = 4 * beat
    walk = random.Random(100 + state)
    bars = len(chords) * len(sections)
    total = int(bars * bar * RATE)
    out = [0.0] * total

    def pitch(degree, octave=0):
        return note(root + 12 * (octave + degree // 7) + scale[degree % 7])

    for s, parts in enumerate(sections):
        degree = walk.choice([7, 9, 11])
        for c, chord in enumerate(chords):
            b = s * len(chords) + c
            t0 = int(b * bar * RATE)
            if "pad" in parts:
                for d in (0, 2, 4):
                    add_note(out, t0, pitch(chord + d), bar, "sine", 0.10, attack=0.3, release=0.4)
            if "bass" in parts:
                for k in range(2):
                    add_note(out, t0 + int(k * 2 * beat * RATE), pitch(chord, -2), 2 * beat * 0.95, "triangle",
                             0.32, decay=beat * 1.5)
            if "arp" in parts:
                for k in range(8):
                    d = (0, 2, 4, 7)[k % 4]
                    add_note(out, t0 + int(k * beat / 2 * RATE), pitch(chord + d, 1), beat / 2 * 0.9, "sine", 0.07,
                             decay=beat * 0.3)
            if "drums" in parts:
                for k in range(4):
                    add_note(out, t0 + int(k * beat * RATE), 60.0, 0.15, "sine", 0.45 if k % 2 == 0 else 0.2,
                             attack=0.002, decay=0.05)
                    add_noise(out, t0 + int((k + 0.5) * beat * RATE), 0.05, 0.12, 0.015, walk)
            if "melody" in parts or "high" in parts:
                octave = 1 if "high" in parts else 0
                rhythm = walk.choice(RHYTHMS)
                t = 0.0
                for length in rhythm:
                    if walk.random() < 0.15 and length < 4:
                        t += length
                        continue
                    # Lean to the chord's tones on strong beats, otherwise step along the scale.
                    if t in (0.0, 2.0):
                        degree = min(range(degree - 3, degree + 4), key=lambda d: ((d - chord) % 7 not in (0, 2, 4),
                                                                                  abs(d - degree) + walk.random()))
                    else:
                        degree += walk.choice([-2, -1, -1, 1, 1, 2])
                    degree = max(4, min(10 if octave else 14, degree))
                    add_note(out, t0 + int(t * beat * RATE), pitch(degree, octave), length * beat * 0.9, shape,
                             0.16 if shape == "square" else 0.22, decay=beat * (1.0 + length))
                    t += length
    return out


def sounds():
    s = {}
    s["Ambience_RoomTone"] = mix((noise(2.0, 0.97), 1.2), (loop_hum(55, 2.0, "sine"), 0.08))
    s["Player_Idle"] = loop_hum(90, 1.0, "sine", 0.06, wobble=0.3)
    s["Player_Movement"] = mix((loop_hum(140, 0.5, "saw", 0.18), 1), (noise(0.5, 0.9), 0.15))
    s["Player_Turning"] = loop_hum(220, 0.4, "triangle", 0.2, wobble=0.5)
    s["Player_Motor"] = loop_hum(70, 1.0, "square", 0.08, wobble=0.2)
    s["Player_Ping"] = concat(envelope(tone(1320, 0.5), 0.002, 0.1, 0.12),
                              [v * 0.35 for v in envelope(tone(1320, 0.3), 0.002, 0.1, 0.08)])
    s["Player_Damage"] = mix((envelope(noise(0.35), 0.001, 0.1, 0.1), 0.6),
                             (blip(300, 0.35, "saw", 0.15, freq_end=90), 0.5))
    s["Player_BatteryMedium"] = concat(blip(880, 0.12, "square", 0.06), silence(0.06), blip(660, 0.15, "square", 0.08))
    s["Player_BatteryLow"] = concat(blip(440, 0.15, "square", 0.07), silence(0.35))
    s["Player_Content"] = blip(523, 0.35, "triangle", 0.2, freq_end=784)
    s["Player_Happy"] = concat(*[blip(note(n), 0.11, "triangle", 0.1) for n in (72, 76, 79, 84)])
    s["Player_Collision"] = mix((blip(110, 0.2, "sine", 0.06, freq_end=60), 0.9),
                                (envelope(noise(0.08, 0.5), 0.001, 0.05), 0.4))
    s["Puddle_Slip"] = mix((blip(900, 0.45, "sine", 0.25, freq_end=200), 0.5), (envelope(noise(0.45, 0.7), 0.01, 0.2), 0.4))
    s["ChargingStaion_PowerOn"] = blip(200, 0.6, "saw", 0.5, freq_end=800)
    s["ChargingStaion_PowerOff"] = blip(800, 0.6, "saw", 0.4, freq_end=150)
    s["ChargingStation_Charging"] = loop_hum(330, 0.6, "triangle", 0.3, wobble=0.6)
    s["ChargingStation_Ding"] = mix((blip(1568, 0.9, "sine", 0.3), 0.6), (blip(2349, 0.9, "sine", 0.2), 0.3))
    # An electric buzz: a 120 Hz saw with its third harmonic, pulsing slowly.
    s["Obstacle_LaserHum"] = mix((loop_hum(120, 1.0, "saw", 0.5, wobble=0.25), 1), (loop_hum(360, 1.0, "sine", 0.15), 1))
    s["Elevator_Countdown"] = concat(*[concat(blip(1000, 0.05, "square", 0.02), silence(0.2)) for _ in range(4)])
    s["Chute_TreasureTurnIn"] = concat(envelope(noise(0.3, 0.8), 0.05, 0.1),
                                       *[blip(note(n), 0.08, "square", 0.05) for n in (84, 88, 91)])
    s["Player_Pickup"] = concat(blip(note(79), 0.07, "triangle", 0.05), blip(note(84), 0.22, "triangle", 0.1))
    s["Menu_VolumeSFX"] = blip(880, 0.12, "sine", 0.05)
    s["Menu_VolumeMusic"] = mix((blip(note(72), 0.2, "triangle", 0.1), 0.5), (blip(note(76), 0.2, "triangle", 0.1), 0.5))
    s["Menu_ButtonClick"] = mix((envelope(noise(0.02, 0.3), 0.001, 0.015), 0.5), (blip(1600, 0.05, "triangle", 0.02), 0.6))
    s["Menu_ButtonHover"] = blip(1200, 0.06, "sine", 0.03)
    s["Menu_PauseOn"] = concat(blip(660, 0.1, "triangle", 0.06), blip(440, 0.15, "triangle", 0.08))
    s["Trans_ConfettiStinger"] = mix((concat(*[blip(note(n), 0.12, "square", 0.1) for n in (72, 76, 79, 84, 88)]), 0.4),
                                     (envelope(noise(0.6, 0.2), 0.001, 0.3, 0.2), 0.2))
    s["Trans_LogoSkip"] = envelope(noise(0.3, 0.6), 0.05, 0.2, 0.15)
    s["Dance_Twirl"] = blip(400, 0.5, "triangle", 0.3, freq_end=1200)
    s["Dance_Clap"] = concat(envelope(noise(0.06), 0.001, 0.05), silence(0.1), envelope(noise(0.06), 0.001, 0.05))
    s["Dance_Finale"] = concat(*[blip(note(n), 0.15, "square", 0.12) for n in (60, 64, 67, 72)], blip(note(72), 0.5, "square", 0.3))
    return s


def normalized(samples, peak):
    top = max(1e-9, max(abs(v) for v in samples))
    return [v * peak / top for v in samples] if top > peak else samples


# Peak levels of the files (0.8 unless named).
PEAKS = {"Ambience_RoomTone": 0.15, "Player_Idle": 0.5, "Obstacle_LaserHum": 0.8, "Elevator_Countdown": 0.7}


def write_wav(path, samples, peak=0.8):
    samples = normalized(samples, peak)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(struct.pack("<h", int(max(-1, min(1, v)) * 32767)) for v in samples))


class SfInfo(ctypes.Structure):
    _fields_ = [("frames", ctypes.c_int64), ("samplerate", ctypes.c_int), ("channels", ctypes.c_int),
                ("format", ctypes.c_int), ("sections", ctypes.c_int), ("seekable", ctypes.c_int)]


def write_ogg(path, samples, peak=0.8, quality=0.3):
    """Mono Ogg Vorbis through libsndfile (the library the game decodes its sounds with)."""
    samples = normalized(samples, peak)
    lib = ctypes.CDLL(ctypes.util.find_library("sndfile") or "libsndfile.so.1")
    lib.sf_open.restype = ctypes.c_void_p
    lib.sf_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(SfInfo)]
    lib.sf_command.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
    lib.sf_writef_float.restype = ctypes.c_int64
    lib.sf_writef_float.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_float), ctypes.c_int64]
    lib.sf_close.argtypes = [ctypes.c_void_p]
    info = SfInfo(0, RATE, 1, 0x200000 | 0x0060, 0, 0)   # SF_FORMAT_OGG | SF_FORMAT_VORBIS
    handle = lib.sf_open(path.encode(), 0x20, ctypes.byref(info))   # SFM_WRITE
    if not handle:
        raise SystemExit("libsndfile can't write Ogg Vorbis to " + path)
    q = ctypes.c_double(quality)
    lib.sf_command(handle, 0x1300, ctypes.byref(q), ctypes.sizeof(q))   # SFC_SET_VBR_ENCODING_QUALITY
    # In blocks: the Vorbis writer does not take very long writes in one call.
    for start in range(0, len(samples), 4096):
        block = samples[start:start + 4096]
        lib.sf_writef_float(handle, (ctypes.c_float * len(block))(*block), len(block))
    lib.sf_close(handle)
    fix_ogg_serial(path)


def ogg_crc(data):
    crc = 0
    for byte in data:
        crc ^= byte << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7) & 0xFFFFFFFF if crc & 0x80000000 else (crc << 1) & 0xFFFFFFFF
    return crc


def fix_ogg_serial(path, serial=0x44757374):
    """libsndfile picks the stream's serial number at random; a fixed one makes the file the same on
    every run. Each page carries the serial and a checksum over the page."""
    data = bytearray(open(path, "rb").read())
    at = 0
    while at + 27 <= len(data) and data[at:at + 4] == b"OggS":
        segments = data[at + 26]
        size = 27 + segments + sum(data[at + 27:at + 27 + segments])
        data[at + 14:at + 18] = struct.pack("<I", serial)
        data[at + 22:at + 26] = b"\0\0\0\0"
        data[at + 22:at + 26] = struct.pack("<I", ogg_crc(data[at:at + size]))
        at += size
    with open(path, "wb") as out:
        out.write(data)


# ---- Banks and GUIDs ---------------------------------------------------------------------------------------

def bus_path(name):
    return "bus:/" + name


def main():
    os.makedirs(SOUNDS, exist_ok=True)
    os.makedirs(BANKS, exist_ok=True)
    os.makedirs(os.path.dirname(GUIDS), exist_ok=True)
    for name, samples in sounds().items():
        write_wav(os.path.join(SOUNDS, name + ".wav"), samples, PEAKS.get(name, 0.8))
    for state in range(MUSIC_STATES):
        write_ogg(os.path.join(SOUNDS, "Music_Controller_%d.ogg" % state), music(state), 0.6, 0.2)

    banks = {name: {"buses": [], "events": [], "parameters": {}} for name in BANK_ORDER}
    for name, parent in BUSES:
        bus = {"guid": guid("bus", name), "path": bus_path(name)}
        if name in BUS_GAINS:
            bus["gain"] = BUS_GAINS[name]
        if parent is not None:
            bus["parent"] = guid("bus", parent)
        effects = [{"parameter": p, "target": t, "curve": c} for p, t, c in BUS_EFFECTS.get(name, [])]
        if effects:
            bus["effects"] = effects
        banks["Master"]["buses"].append(bus)
    banks["Master"]["parameters"] = PARAMETERS

    lines_events = []
    for name, (bank, folder, bus, loop, spatial, params, effects, end_loop) in EVENTS.items():
        path = "event:/%s/%s" % (folder, name)
        event = {"guid": guid("event", name), "path": path, "bus": guid("bus", bus), "loop": loop,
                 "spatial": spatial, "parameters": params}
        if name == "Music_Controller":
            event["variations"] = {"parameter": "GameState",
                                   "sounds": ["%s/Music_Controller_%d.ogg" % (SOUNDS, i) for i in range(MUSIC_STATES)]}
        else:
            event["sound"] = "%s/%s.wav" % (SOUNDS, name)
        if effects:
            event["effects"] = [{"parameter": p, "target": t, "curve": c} for p, t, c in effects]
        if end_loop:
            event["endLoop"] = {"parameter": end_loop, "atLeast": 1.0}
        banks[bank]["events"].append(event)
        lines_events.append("%s %s" % (event["guid"], path))

    for name, data in banks.items():
        data = {"name": name, **data}
        with open(os.path.join(BANKS, name + ".bank"), "w") as out:
            json.dump(data, out, indent=2)
            out.write("\n")

    lines = ["%s bank:/%s" % (guid("bank", name), name) for name in BANK_ORDER]
    lines += ["%s %s" % (guid("bus", name), bus_path(name)) for name, _ in BUSES]
    lines += lines_events
    lines += ["%s parameter:/%s" % (guid("parameter", name), name) for name in PARAMETERS]
    with open(GUIDS, "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
