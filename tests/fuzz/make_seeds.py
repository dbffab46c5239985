#!/usr/bin/env python3
"""Writes the small seed corpora of the fuzz harnesses and their dictionary from the shipped data.

Seeds are cut down from assets/data so the tree stays small: a tile map keeps its layout and tileset
references but only an 8 x 6 corner of each layer. Run from the repository root; the output is
committed.
"""
import base64
import gzip
import json
import pathlib
import re
import struct
import zlib

ROOT = pathlib.Path(__file__).resolve().parents[2]
DATA = ROOT / "assets" / "data"
OUT = ROOT / "tests" / "fuzz"
SEP = "\n====\n"


def text(path):
    return (DATA / path).read_text()


def write(harness, name, body):
    folder = OUT / "corpus" / harness
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_text(body)


def small_map(width=8, height=6):
    m = json.loads(text("tilemaps/LivingRoom.json"))
    full_width = m["width"]
    for layer in m["layers"]:
        rows = [layer["data"][r * full_width:r * full_width + width] for r in range(height)]
        layer["data"] = [gid for row in rows for gid in row]
        layer["width"], layer["height"] = width, height
    m["width"], m["height"] = width, height
    return m


def main():
    # Streams: one file of each kind.
    for path in ["archetypes/Crate.json", "scenes/LivingRoomScene.json", "CameraSystem.json",
                 "tilesets/HouseTiles.json", "textures/coin.json", "main.json", "LightingSystem.json"]:
        write("fuzz_stream", path.replace("/", "_"), text(path))

    # Tile maps: the shipped layout over a corner of the map, with a tileset of its own or without.
    m = small_map()
    write("fuzz_tilemap", "corner", json.dumps(m, indent=1))
    m["tilesets"][1]["source"] = "../tilesets/Fuzz.json"
    write("fuzz_tilemap", "own_tileset", json.dumps(m, indent=1) + SEP + text("tilesets/HouseDecor.json"))
    short = small_map(4, 3)
    short["layers"][1]["data"] = short["layers"][1]["data"][:5]
    write("fuzz_tilemap", "short_wall_layer", json.dumps(short, indent=1))
    # As the Tiled map editor saves it: no tileset count, the second tileset numbered straight after
    # the first with its gids shifted, a path of another depth; then with that tileset embedded and a
    # third entry that has neither a file nor tiles of its own.
    saved = small_map()
    del saved["numOfTileSets"]
    first = json.loads(text("tilesets/HouseTiles.json"))["tilecount"] + 1
    for layer in saved["layers"]:
        layer["data"] = [gid - 101 + first if gid > 100 else gid for gid in layer["data"]]
    saved["tilesets"][1] = {"firstgid": first, "source": "../../data/tilesets/HouseDecor.json"}
    write("fuzz_tilemap", "tiled_save", json.dumps(saved, separators=(",", ":")))
    decor = json.loads(text("tilesets/HouseDecor.json"))
    decor.pop("type", None)
    saved["tilesets"][1] = dict(decor, firstgid=first)
    saved["tilesets"].append({"firstgid": first + decor["tilecount"]})
    saved["layers"][0]["data"][:3] = [first + decor["tilecount"], first + decor["tilecount"] - 1, 2147483647]
    write("fuzz_tilemap", "embedded_tileset", json.dumps(saved, indent=1))
    # Tiled's other layer forms: base64 data (zlib, gzip, zstd, none) in a group with an offset and an
    # opacity, flipped gids, an object layer, and a tileset with margin and spacing; an infinite map of
    # chunks; and broken data: base64 that doesn't decode, zlib cut short, zstd too long for the layer,
    # chunks with bad bounds, and flipped gids with no tileset.
    def packed(gids, compression):
        raw = b"".join(struct.pack("<I", gid) for gid in gids)
        body = {"zlib": zlib.compress(raw), "gzip": gzip.compress(raw, mtime=0), "": raw}.get(compression)
        if compression == "zstd":
            # One raw block of a zstd frame, as the format lays it out: the gids uncompressed.
            body = (b"\x28\xb5\x2f\xfd" + bytes([0x20 if len(raw) < 256 else 0x60]) +
                    (bytes([len(raw)]) if len(raw) < 256 else struct.pack("<H", len(raw) - 256)) +
                    struct.pack("<I", (len(raw) << 3) | 1)[:3] + raw)
        return base64.b64encode(body).decode()
    flipped = [gid | (0x80000000 if k % 3 == 1 else 0) | (0x20000000 if k % 4 == 2 else 0)
               for k, gid in enumerate(m["layers"][1]["data"])]
    encoded = small_map()
    encoded.pop("numOfTileSets")
    group = {"id": 9, "name": "Upstairs", "type": "group", "visible": True, "opacity": 0.5, "offsetx": 16,
             "offsety": -8, "layers": []}
    for layer, compression in zip(encoded["layers"], ["zlib", "gzip", "zstd", ""]):
        layer.update(data=packed(flipped, compression), encoding="base64")
        if compression:
            layer["compression"] = compression
        group["layers"].append(layer)
    encoded["layers"] = [group, {"id": 10, "name": "Spawns", "type": "objectgroup", "visible": True,
                                 "objects": []}]
    spaced = dict(json.loads(text("tilesets/HouseDecor.json")), margin=2, spacing=1, imagewidth=267)
    write("fuzz_tilemap", "tiled_encodings", json.dumps(encoded, indent=1) + SEP + json.dumps(spaced))
    chunked = small_map()
    chunked["infinite"] = True
    for layer in chunked["layers"]:
        data = layer.pop("data")
        layer["chunks"] = [{"x": -4, "y": -2, "width": 4, "height": 3, "data": data[:12]},
                           {"x": 4, "y": 2, "width": 4, "height": 3, "data": data[12:24]}]
    write("fuzz_tilemap", "infinite_chunks", json.dumps(chunked, indent=1))
    broken = json.loads(json.dumps(encoded))
    inner = broken["layers"][0]["layers"]
    inner[0]["data"] = inner[0]["data"][:-6]                     # zlib cut short
    inner[1]["data"] = "*" + inner[1]["data"][1:]                # not base64
    inner[2]["data"] = packed(flipped * 2, "zstd")               # too long for the layer
    inner[3]["data"] = packed(flipped[:5], "")                   # too short
    broken["tilesets"] = []                                      # flipped gids, no tileset
    write("fuzz_tilemap", "tiled_broken", json.dumps(broken, indent=1))
    bad_chunks = json.loads(json.dumps(chunked))
    bad_chunks["layers"][0]["chunks"] += [{"x": 1 << 30, "y": 0, "width": 4, "height": 3, "data": [1]},
                                          {"x": 0, "y": 0, "width": -4, "height": 3, "data": []},
                                          {"x": 0, "y": 0, "width": 4, "height": 3, "data": [1, 2]}]
    bad_chunks["layers"][1]["encoding"] = "base64"
    write("fuzz_tilemap", "bad_chunks", json.dumps(bad_chunks, indent=1))

    # Game objects: an archetype, an object file naming it with overrides and children, a third file.
    crate = text("archetypes/Crate.json")
    obj = {"Archetype": "FuzzA", "Name": "Special", "Transform": {"TranslationX": 3.0},
           "Children": ["archetypes/FuzzC", "archetypes/Wall"]}
    write("fuzz_gameobject", "archetype_and_override", crate + SEP + json.dumps(obj, indent=1) + SEP +
          text("archetypes/Wall.json"))
    loop = json.loads(crate)
    loop["Children"] = ["archetypes/FuzzA", "FuzzB"]
    write("fuzz_gameobject", "children_cycle", json.dumps(loop, indent=1) + SEP +
          json.dumps({"Archetype": "FuzzC"}) + SEP + json.dumps({"Name": "C", "Children": ["archetypes/FuzzA"]}))
    write("fuzz_gameobject", "walk_cycle", text("archetypes/PemmetWalkCycle.json"))

    # Scenes: each shipped scene; the gameplay one places the fuzzed archetype too.
    for scene in ["LivingRoomScene", "MainMenuScene", "TitleMenuScene", "SplashScreen"]:
        write("fuzz_scene", scene, text("scenes/" + scene + ".json"))
    s = json.loads(text("scenes/LivingRoomScene.json"))
    s["Scene GameObjects"].append("archetypes/FuzzA")
    s["Scene Positions"].append([2.0, 3.0])
    s["Scene Scales"].append([1.0, 1.0])
    s["Scene Rotation"].append(90)
    write("fuzz_scene", "placed_archetype", json.dumps(s, indent=1) + SEP + crate)
    # The keys read each time the scene is set up, each of a wrong type.
    s = json.loads(text("scenes/LivingRoomScene.json"))
    s.update({"Scene Type": 5, "Level": "1", "Scene Name": ["Win"], "RoomSystem": 8})
    write("fuzz_scene", "wrong_key_types", json.dumps(s, indent=1))

    # Textures: a sheet and a still image, each with its own image file (binary after the separator).
    textures = ROOT / "assets" / "textures"
    for name in ["PemmetMovingSpritesheet", "coin"]:
        folder = OUT / "corpus" / "fuzz_texture"
        folder.mkdir(parents=True, exist_ok=True)
        (folder / name).write_bytes(text("textures/" + name + ".json").encode() + SEP.encode() +
                                    (textures / (name + ".png")).read_bytes())
    multi = {"FileType": "png", "numFrames": 8, "numRows": 2, "numCols": 4, "frameTime": 0.1,
             "bottomToTop": True, "numImages": 3, "numFramesLastImage": 2}
    (OUT / "corpus" / "fuzz_texture" / "three_images").write_bytes(
        json.dumps(multi).encode() + SEP.encode() + (textures / "PemmetMovingSpritesheet.png").read_bytes())

    # Audio: the shipped GUIDs, banks and settings with a list of commands; the same with live update
    # pointed at a folder without banks; and a GUIDs file naming a bank that is not there.
    banks = ROOT / "assets" / "audio" / "banks"
    guids = text("audio/GUIDs.txt")
    settings = text("audio/AudioSystemSettings.json")
    commands = "\n".join(["Event_Play Music_Controller", "Change_Event_Param Music_Controller GameState 3",
                          "Event_Play_!Destroy Player_Ping", "Event_Position_Vector Player_Ping x 2.5",
                          "Set_Bus_Volume SFX x 0.25", "Set_Bus_Mute Music", "Global_Change_Param x Paused 0",
                          "studioListener_PositionVector x x 4", "Event_StopDestroy Player_Ping",
                          "Event_CreateInstance Dance_Clap", "Event_Destroy Dance_Clap"])
    shipped = [guids] + [(banks / (name + ".bank")).read_text() for name in ["Master", "Music", "SFX"]]
    write("fuzz_audio", "shipped", SEP.join(shipped + [settings, commands]))
    live = json.dumps({"LiveUpdateToggle": True, "LiveUpdateFilePath": "assets/data/audio/"})
    write("fuzz_audio", "live_update", SEP.join(shipped + [live, commands]))
    write("fuzz_audio", "missing_bank", SEP.join([guids + "{00000000-0000-0000-0000-000000000000} bank:/Gone\n",
                                                 shipped[1], shipped[2], "", settings, commands]))

    # Scripts: the shipped script with variables files, and scripts on the variables, audio, object
    # and vector parts of the API.
    variables = json.dumps({"Home": 2, "Speed": 1.5, "Seen": True, "Label": "star"}, indent=1)
    statics = json.dumps({"Score": 3, "Music": False}, indent=1)
    write("fuzz_script", "title_star", SEP.join([text("scripts/Lua/TitleStar.lua"), variables, statics]))
    write("fuzz_script", "variables", SEP.join([
        "local n = MyObject:GetVarInt(\"Home\") + 1\n"
        "MyObject:SetVarInt(\"Home\", n)\n"
        "MyObject:SetVarFloat(\"Speed\", MyObject:GetVarFloat(\"Speed\") * 2)\n"
        "MyObject:SetVarBool(\"Seen\", not MyObject:GetVarBool(\"Seen\"))\n"
        "MyObject:SetVarString(\"Label\", MyObject:GetVarString(\"Label\") .. \"!\")\n"
        "MyObject:SetVarStaticInt(\"Score\", MyObject:GetVarStaticInt(\"Score\") + n)\n"
        "MyObject:SetVarStaticBool(\"Music\", MyObject:GetVarStaticBool(\"Music\"))\n"
        "MyObject:SetVarStaticFloat(\"Volume\", MyObject:GetVarStaticFloat(\"Volume\") + DeltaTime)\n",
        variables, statics]))
    write("fuzz_script", "api", SEP.join([
        "local v = Vector2f.new(3, 4)\n"
        "local p = MyObject:GetPosition()\n"
        "MyObject:SetPositionVector(Vector2f(p.X + v:GetNormal().X, p.Y))\n"
        "MyObject:SetVelocityFloat(v:Length(), -1)\n"
        "PlaySound(\"Player_Ping\", true)\n"
        "SetVolume(\"music\", GetVolume(\"sfx\") + 1)\n"
        "for _, o in ipairs(GameObjectManagerGetAllObjects()) do o:SetAlpha(0.5) end\n"
        "local other = GameObjectManagerGetObject(\"FuzzStar\")\n"
        "if other:AM_I_ALIVE() and DoesTableContain(GetCurrentlyLoopedSounds(), \"Player_Ping\") then\n"
        "  other:DESTROY_MYSELF()\n"
        "end\n"
        "MyObject:BroadcastString(\"Event_Play\", MyObject:GetName())\n",
        "", ""]))
    # A script that locks its own environment: the behaviour's next frame sets names in it.
    write("fuzz_script", "locked_environment",
          "if not Locked then\n  Locked = true\n  DeltaTime = nil\n"
          "  setmetatable(_ENV, {__newindex = function() error(\"locked\") end, __index = _G})\nend\n")
    write("fuzz_script", "locked_with_number",
          "if not Locked then\n  Locked = true\n  DeltaTime = nil\n"
          "  setmetatable(_ENV, {__newindex = function() error(42) end, __index = _G})\nend\n")
    write("fuzz_script", "runaway", "local t = {}\nwhile true do t[#t + 1] = string.rep(\"x\", 4096) end\n")

    # Menus: each shipped menu; the credits with their controls; the options menu with every widget
    # running the fuzzed script (the music volume script to begin with).
    for menu in sorted((DATA / "menus").glob("*.json")):
        if menu.stem not in ("CreditsMenu", "CreditsControls"):
            write("fuzz_menu", menu.stem, menu.read_text())
    write("fuzz_menu", "credits", SEP.join([text("menus/CreditsControls.json"), text("menus/CreditsMenu.json")]))
    options = json.loads(text("menus/Options.json"))
    for entry in options["MenuObjects"]:
        if "lua" in entry:
            entry["lua"] = "Menus/Fuzz"
    write("fuzz_menu", "options_script", SEP.join([json.dumps(options, indent=1), "",
                                                  text("scripts/Lua/Menus/MusicVolume.lua")]))

    # The dictionary: every key and short string value of the shipped data, and the separator.
    words = set()

    def walk(value):
        if isinstance(value, dict):
            for key, item in value.items():
                if key:
                    words.add(key)
                walk(item)
        elif isinstance(value, list):
            for item in value:
                walk(item)
        elif isinstance(value, str) and 0 < len(value) <= 40:
            words.add(value)

    for path in sorted(DATA.rglob("*.json")) + sorted(banks.glob("*.bank")):
        try:
            walk(json.loads(path.read_text()))
        except ValueError:
            pass
    # Tiled's map keys and values the shipped map doesn't use.
    words.update(["encoding", "base64", "csv", "compression", "zlib", "gzip", "zstd", "chunks", "group",
                  "objectgroup", "imagelayer", "offsetx", "offsety", "opacity", "margin", "spacing", "startx",
                  "starty", "x", "y"])
    # Bare words: the names scripts see, the audio commands and the GUIDs file's kinds.
    bare = {"MyObject", "DeltaTime", "MyCollisions", "AmColliding", "NewCollision", "LatestCollision",
            "GameObject", "Vector2f", "bank:/", "bus:/", "event:/", "parameter:/"}
    for source in sorted((ROOT / "src" / "script").glob("*.cpp")):
        bare.update(re.findall(r'(?:SetFunction|Method|Property|Constructor|SetGameObjectMember)\((?:state, )?"(\w+)"',
                               source.read_text()))
    bare.update(re.findall(r'name == "([\w!]+)"', (ROOT / "src" / "audio" / "StudioSystem.cpp").read_text()))

    def entry(word):
        return word.replace("\\", "\\\\").replace('"', '\\"')

    lines = ["# Keys and names of the shipped data files, the names scripts and audio commands use, and the",
             "# line that separates files in one input."]
    lines.append('separator="\\x0a====\\x0a"')
    for word in sorted(words):
        lines.append('"\\"%s\\""' % entry(word))
    for word in sorted(bare):
        lines.append('"%s"' % entry(word))
    (OUT / "dustrun.dict").write_text("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
