#!/usr/bin/env python3
"""Makes the game's sound data from one table: the banks (assets/audio/banks/*.bank, our own JSON),
"assets/data/audio/GUIDs.txt" (bank lines first, then buses, events and parameters) and every sound
(assets/audio/sounds/*.wav, mono 16-bit) by simple synthesis: tones, noise and envelopes.

Run from the repository root: python3 tools/gen_audio.py
"""
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

# Bus effects on global parameters.
BUS_EFFECTS = {
    "Music": [("MusicSlider", "volume", [[0, 0], [10, 1]]), ("Paused", "volume", [[0, 0.35], [1, 1]])],
    "SFX": [("SFXSlider", "volume", [[0, 0], [10, 1]])],
    "Ambience": [("SFXSlider", "volume", [[0, 0], [10, 1]])],
}

# name: (bank, folder, bus, loop, spatial, local parameters, effects, end-loop parameter)
EVENTS = {
    "Music_Controller": ("Music", "Music", "Music", True, False, {"GameState": 0.0},
                         [("PickUp_Chain", "volume", [[0, 0.85], [12, 1]])], None),
    "Ambience_RoomTone": ("Music", "Ambience", "Ambience", True, False, {}, [], None),
    "Player_Idle": ("SFX", "Player", "SFX", True, False, {}, [], None),
    "Player_Movement": ("SFX", "Player", "SFX", True, False, {"Moving": 0.0},
                        [("Moving", "volume", [[0, 1], [1, 0.5]])], "Moving"),
    "Player_Turning": ("SFX", "Player", "SFX", True, False, {"Turning": 0.0},
                       [("Turning", "volume", [[0, 1], [1, 0.5]])], "Turning"),
    "Player_Motor": ("SFX", "Player", "SFX", True, False, {}, [], None),
    "Player_Ping": ("SFX", "Player", "SFX", False, False, {}, [], None),
    "Player_Damage": ("SFX", "Player", "SFX", False, False, {}, [], None),
    "Player_BatteryMedium": ("SFX", "Player", "SFX", False, False, {}, [], None),
    "Player_BatteryLow": ("SFX", "Player", "SFX", True, False, {}, [], None),
    "Player_Content": ("SFX", "Player", "SFX", False, False, {}, [], None),
    "Player_Happy": ("SFX", "Player", "SFX", False, False, {}, [], None),
    "Player_Collision": ("SFX", "Player", "SFX", False, False, {}, [], None),
    "Puddle_Slip": ("SFX", "Obstacles", "SFX", False, True, {}, [], None),
    "ChargingStaion_PowerOn": ("SFX", "Charger", "SFX", False, True, {}, [], None),
    "ChargingStaion_PowerOff": ("SFX", "Charger", "SFX", False, True, {}, [], None),
    "ChargingStation_Charging": ("SFX", "Charger", "SFX", True, True, {},
                                 [("Charge", "pitch", [[0, 0.8], [1, 1.3]])], None),
    "ChargingStation_Ding": ("SFX", "Charger", "SFX", False, False, {}, [], None),
    "Obstacle_LaserHum": ("SFX", "Obstacles", "SFX", True, True, {"Distance": 0.0},
                          [("Distance", "volume", [[0, 1], [1, 0.15]])], None),
    "Elevator_Countdown": ("SFX", "Obstacles", "SFX", False, True, {}, [], None),
    "Chute_TreasureTurnIn": ("SFX", "Obstacles", "SFX", False, True, {}, [], None),
    "Menu_ButtonHover": ("SFX", "Menu", "SFX", False, False, {}, [], None),
    "Menu_PauseOn": ("SFX", "Menu", "SFX", False, False, {}, [], None),
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


def music(state):
    # Bass, melody and percussion on a shared tempo; each GameState has its own key, tempo and tune.
    tunes = [
        (96, [60, 64, 67, 72, 67, 64, 62, 65], [48, 48, 53, 55], "triangle"),   # menu
        (132, [69, 72, 76, 74, 72, 69, 67, 69], [45, 45, 43, 41], "square"),   # level
        (72, [67, 65, 63, 62, 60, 58, 57, 55], [43, 41, 39, 38], "sine"),      # game over
        (140, [72, 76, 79, 84, 79, 84, 88, 91], [48, 52, 55, 60], "square"),   # win
        (90, [64, 67, 71, 69, 67, 64, 62, 64], [52, 47, 45, 47], "triangle"),  # credits
    ]
    bpm, melody, bass, shape = tunes[state]
    beat = 60.0 / bpm
    total = int(beat * 8 * RATE)
    out = [0.0] * total
    for i, n in enumerate(melody):
        out = [a + b for a, b in zip(out, at(blip(note(n), beat * 0.9, shape, beat * 0.5), i * beat, total))]
    for i, n in enumerate(bass):
        out = [a + b for a, b in zip(out, at(blip(note(n), beat * 1.9, "sine", beat * 1.5), i * beat * 2, total))]
    if state in (1, 3):
        for i in range(16):
            hat = envelope(noise(0.04), 0.001, 0.03)
            out = [a + b * 0.5 for a, b in zip(out, at(hat, i * beat / 2, total))]
    return [v * 0.35 for v in out]


def sounds():
    s = {}
    for state in range(MUSIC_STATES):
        s["Music_Controller_%d" % state] = music(state)
    s["Ambience_RoomTone"] = mix((noise(2.0, 0.97), 1.2), (loop_hum(55, 2.0, "sine"), 0.08))
    s["Player_Idle"] = loop_hum(90, 1.0, "sine", 0.25, wobble=0.3)
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
    s["Obstacle_LaserHum"] = mix((loop_hum(120, 1.0, "saw", 0.4), 1), (loop_hum(240, 1.0, "sine", 0.2, wobble=0.4), 1))
    s["Elevator_Countdown"] = concat(*[concat(blip(1000, 0.05, "square", 0.02), silence(0.2)) for _ in range(4)])
    s["Chute_TreasureTurnIn"] = concat(envelope(noise(0.3, 0.8), 0.05, 0.1),
                                       *[blip(note(n), 0.08, "square", 0.05) for n in (84, 88, 91)])
    s["Menu_ButtonHover"] = blip(1200, 0.06, "sine", 0.03)
    s["Menu_PauseOn"] = concat(blip(660, 0.1, "triangle", 0.06), blip(440, 0.15, "triangle", 0.08))
    s["Trans_ConfettiStinger"] = mix((concat(*[blip(note(n), 0.12, "square", 0.1) for n in (72, 76, 79, 84, 88)]), 0.4),
                                     (envelope(noise(0.6, 0.2), 0.001, 0.3, 0.2), 0.2))
    s["Trans_LogoSkip"] = envelope(noise(0.3, 0.6), 0.05, 0.2, 0.15)
    s["Dance_Twirl"] = blip(400, 0.5, "triangle", 0.3, freq_end=1200)
    s["Dance_Clap"] = concat(envelope(noise(0.06), 0.001, 0.05), silence(0.1), envelope(noise(0.06), 0.001, 0.05))
    s["Dance_Finale"] = concat(*[blip(note(n), 0.15, "square", 0.12) for n in (60, 64, 67, 72)], blip(note(72), 0.5, "square", 0.3))
    return s


def write_wav(path, samples):
    peak = max(1e-9, max(abs(v) for v in samples))
    scale = 0.8 / peak if peak > 0.8 else 1.0
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(struct.pack("<h", int(max(-1, min(1, v * scale)) * 32767)) for v in samples))


# ---- Banks and GUIDs ---------------------------------------------------------------------------------------

def bus_path(name):
    return "bus:/" + name


def main():
    os.makedirs(SOUNDS, exist_ok=True)
    os.makedirs(BANKS, exist_ok=True)
    os.makedirs(os.path.dirname(GUIDS), exist_ok=True)
    for name, samples in sounds().items():
        write_wav(os.path.join(SOUNDS, name + ".wav"), samples)

    banks = {name: {"buses": [], "events": [], "parameters": {}} for name in BANK_ORDER}
    for name, parent in BUSES:
        bus = {"guid": guid("bus", name), "path": bus_path(name)}
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
                                   "sounds": ["%s/Music_Controller_%d.wav" % (SOUNDS, i) for i in range(MUSIC_STATES)]}
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
