#!/usr/bin/env python3
"""Writes the small seed corpora of the fuzz harnesses and their dictionary from the shipped data.

Seeds are cut down from assets/data so the tree stays small: a tile map keeps its layout and tileset
references but only an 8 x 6 corner of each layer. Run from the repository root; the output is
committed.
"""
import json
import pathlib

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

    for path in sorted(DATA.rglob("*.json")):
        try:
            walk(json.loads(path.read_text()))
        except ValueError:
            pass
    lines = ["# Keys and names of the shipped data files, and the line that separates files in one input."]
    lines.append('separator="\\x0a====\\x0a"')
    for word in sorted(words):
        escaped = word.replace("\\", "\\\\").replace('"', '\\"')
        lines.append('"\\"%s\\""' % escaped)
    (OUT / "dustrun.dict").write_text("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
