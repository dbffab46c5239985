#!/usr/bin/env python3
"""Writes the game's tile maps and tilesets in the Tiled JSON layout.

The maps stay plain Tiled files (tile-layer data as arrays, external tilesets named by forward-slash
paths relative to the map) so they can be opened and edited in the Tiled editor; the game also reads
its own root key "numOfTileSets". Tileset images come from tools/gen_textures.py.

    python3 tools/gen_tilemaps.py [--check]

--check exits with status 1 when a written file would differ (nothing is written then).
"""
import json
import os
import sys

from gen_textures import write_outputs

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
MAP_DIR = os.path.join(ROOT, "assets", "data", "tilemaps")
TILESET_DIR = os.path.join(ROOT, "assets", "data", "tilesets")

TILED_VERSION = "1.10.2"
FORMAT_VERSION = "1.10"
TILE = 32

# name -> (columns, rows) of its image; first gids go in blocks of 100 (1, 101, 201, ...).
TILESETS = {
    "HouseTiles": (8, 2),
    "HouseDecor": (8, 1),
}

# HouseTiles gids (tile index + 1).
WOOD, WOOD_ACROSS, CARPET, CHECKS, BATH, HALL, DARK_WOOD, THRESHOLD = range(1, 9)
WALL, BRICK, WALL_TOP, WALL_BOTTOM, WALL_LEFT, WALL_RIGHT, PILLAR, WINDOW = range(9, 17)
# HouseDecor gids.
LAMP, PLANT, SHELF, TABLE, CURTAIN, FAN, HANGING_LIGHT, COBWEB = range(101, 109)


def tileset(name):
    columns, rows = TILESETS[name]
    return {
        "columns": columns,
        "image": "../../textures/%s.png" % name,
        "imageheight": rows * TILE,
        "imagewidth": columns * TILE,
        "margin": 0,
        "name": name,
        "spacing": 0,
        "tilecount": columns * rows,
        "tiledversion": TILED_VERSION,
        "tileheight": TILE,
        "tilewidth": TILE,
        "type": "tileset",
        "version": FORMAT_VERSION,
    }


class Grid:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.cells = [[0] * width for _ in range(height)]

    def set(self, column, row, gid):
        if 0 <= column < self.width and 0 <= row < self.height:
            self.cells[row][column] = gid

    def fill(self, c0, r0, c1, r1, gid):
        """Columns c0..c1 and rows r0..r1, inclusive; row 0 is the top row."""
        for r in range(r0, r1 + 1):
            for c in range(c0, c1 + 1):
                self.set(c, r, gid)

    def data(self):
        return [gid for row in self.cells for gid in row]


def living_room():
    """48 x 30 cells, five rooms. The world point (x, y) lies in column round(x), row 29 - round(y)."""
    width, height = 48, 30
    floor, walls, above01, above00 = (Grid(width, height) for _ in range(4))

    # Floors by room (inclusive cell rectangles).
    floor.fill(1, 1, 15, 9, CARPET)           # west bedroom (top left)
    floor.fill(1, 11, 15, 28, WOOD)           # living room (bottom left)
    floor.fill(17, 1, 31, 28, WOOD_ACROSS)    # hall and lounge (middle)
    floor.fill(33, 1, 46, 11, CHECKS)         # kitchen (top right)
    floor.fill(33, 13, 46, 28, DARK_WOOD)     # study (bottom right)
    floor.fill(22, 12, 26, 17, HALL)          # hall runner
    floor.fill(40, 20, 44, 24, BATH)          # study mat

    # Outer walls.
    walls.fill(0, 0, width - 1, 0, WALL_BOTTOM)
    walls.fill(0, height - 1, width - 1, height - 1, WALL_TOP)
    walls.fill(0, 0, 0, height - 1, WALL_RIGHT)
    walls.fill(width - 1, 0, width - 1, height - 1, WALL_LEFT)
    for c in (8, 24, 40):
        walls.set(c, 0, WINDOW)
    # West rooms: a wall across row 10, door at columns 6..8.
    walls.fill(1, 10, 15, 10, BRICK)
    walls.fill(6, 10, 8, 10, 0)
    # Column 16 between west and middle, doors at rows 5..7 and 19..22.
    walls.fill(16, 0, 16, height - 1, BRICK)
    walls.fill(16, 5, 16, 7, 0)
    walls.fill(16, 19, 16, 22, 0)
    # Column 32 between middle and east, doors at rows 4..6 and 14..17.
    walls.fill(32, 0, 32, height - 1, BRICK)
    walls.fill(32, 4, 32, 6, 0)
    walls.fill(32, 14, 32, 17, 0)
    # East rooms: a wall across row 12, door at columns 38..41.
    walls.fill(33, 12, 46, 12, BRICK)
    walls.fill(38, 12, 41, 12, 0)
    # Pillars in the lounge.
    for c, r in ((20, 8), (28, 8), (20, 24), (28, 24)):
        walls.set(c, r, PILLAR)
    # Door thresholds on the floor.
    for c, r in ((16, 5), (16, 6), (16, 7), (32, 4), (32, 5), (32, 6)):
        floor.set(c, r, THRESHOLD)
    for r in range(19, 23):
        floor.set(16, r, THRESHOLD)
    for r in range(14, 18):
        floor.set(32, r, THRESHOLD)
    for c in range(6, 9):
        floor.set(c, 10, THRESHOLD)
    for c in range(38, 42):
        floor.set(c, 12, THRESHOLD)

    # Things the player passes under.
    for c, r, gid in ((3, 2, LAMP), (13, 3, PLANT), (10, 26, LAMP), (2, 27, PLANT), (24, 4, FAN),
                      (24, 22, FAN), (36, 2, HANGING_LIGHT), (44, 2, HANGING_LIGHT), (36, 26, LAMP),
                      (45, 27, PLANT), (1, 1, COBWEB)):
        above00.set(c, r, gid)
    for c, r, gid in ((4, 1, SHELF), (5, 1, SHELF), (34, 1, SHELF), (35, 1, SHELF), (18, 1, CURTAIN),
                      (30, 1, CURTAIN), (42, 19, TABLE), (43, 19, TABLE)):
        above01.set(c, r, gid)

    def layer(layer_id, name, grid):
        return {
            "data": grid.data(),
            "height": height,
            "id": layer_id,
            "name": name,
            "opacity": 1,
            "type": "tilelayer",
            "visible": True,
            "width": width,
            "x": 0,
            "y": 0,
        }

    layers = [layer(1, "FloorLayer", floor), layer(2, "WallLayer", walls),
              layer(3, "AbovePlayerLayer01", above01), layer(4, "AbovePlayerLayer00", above00)]
    return {
        "compressionlevel": -1,
        "height": height,
        "infinite": False,
        "layers": layers,
        "nextlayerid": len(layers) + 1,
        "nextobjectid": 1,
        "numOfTileSets": 2,
        "orientation": "orthogonal",
        "renderorder": "right-down",
        "tiledversion": TILED_VERSION,
        "tileheight": TILE,
        "tilesets": [
            {"firstgid": 1, "source": "../tilesets/HouseTiles.json"},
            {"firstgid": 101, "source": "../tilesets/HouseDecor.json"},
        ],
        "tilewidth": TILE,
        "type": "map",
        "version": FORMAT_VERSION,
        "width": width,
    }


def dump(value):
    """Tiled's own layout: one key per line, each tile row of a layer's data on one line."""
    text = json.dumps(value, indent=1, sort_keys=True)
    return (text + "\n").encode()


def map_text(value):
    # Keep each layer's data compact: one line per tile row.
    layers = value["layers"]
    width = value["width"]
    placeholders = {}
    copy = dict(value)
    copy["layers"] = []
    for i, entry in enumerate(layers):
        entry = dict(entry)
        key = "@@DATA%d@@" % i
        rows = [entry["data"][k:k + width] for k in range(0, len(entry["data"]), width)]
        placeholders['"%s"' % key] = "[" + ",\n  ".join(", ".join(str(g) for g in row) for row in rows) + "]"
        entry["data"] = key
        copy["layers"].append(entry)
    text = json.dumps(copy, indent=1, sort_keys=True)
    for key, data in placeholders.items():
        text = text.replace(key, data)
    return (text + "\n").encode()


def outputs():
    for name in sorted(TILESETS):
        yield os.path.join(TILESET_DIR, name + ".json"), dump(tileset(name))
    yield os.path.join(MAP_DIR, "LivingRoom.json"), map_text(living_room())


def main(argv):
    return write_outputs(outputs(), argv)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
