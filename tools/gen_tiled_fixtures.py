#!/usr/bin/env python3
"""Writes the small Tiled maps the tile-map picture test draws, and their pictures as Tiled renders them.

Under tests/world/tiled/: the tileset images (assets/textures/), the tilesets and maps as Tiled 1.8
saves them in JSON (assets/data/tilesets/, assets/data/tilemaps/; each map is written here, then
saved again by Tiled's command line), and for each map the PNG that
Tiled's own `tmxrasterizer` renders from it (expected/<map>.png). The test compares the game's
frame with those PNGs cell by cell, so it needs no Tiled; run this again (Debian's `tiled` and
`zstd` installed) only to change the maps.

    python3 tools/gen_tiled_fixtures.py
"""
import base64
import gzip
import json
import os
import struct
import subprocess
import sys
import zlib

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
OUT = os.path.join(ROOT, "tests", "world", "tiled")
TILE = 8  # pixels a side, of the tiles and the maps' cells

# Four tiles, each of four quarters of distinct colours (top left, top right, bottom left, bottom
# right), so that every flip and rotation shows.
QUARTERS = [
    [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)],
    [(255, 255, 0), (0, 255, 255), (255, 0, 255), (128, 128, 128)],
    [(255, 128, 0), (128, 0, 255), (0, 128, 128), (255, 128, 192)],
    [(128, 0, 0), (0, 128, 0), (0, 0, 128), (128, 128, 0)],
]
GAP = (64, 32, 16)  # the margin and spacing of the second image


def png_bytes(width, height, pixels):
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            chunk(b"IEND", b""))


def tile_sheet(margin, spacing, tile=TILE, paint=None):
    """Two columns by two rows of tiles, with the margin and spacing in the gap colour. paint(k, x, y)
    gives the colour of tile k's pixel; by default each tile shows its four QUARTERS."""
    def quarters(k, x, y):
        return QUARTERS[k][(2 if y >= tile // 2 else 0) + (1 if x >= tile // 2 else 0)]
    paint = paint or quarters
    side = 2 * margin + 2 * tile + spacing
    pixels = [[GAP + (255,) for _ in range(side)] for _ in range(side)]
    for k in range(4):
        left = margin + (k % 2) * (tile + spacing)
        top = margin + (k // 2) * (tile + spacing)
        for y in range(tile):
            for x in range(tile):
                pixels[top + y][left + x] = paint(k, x, y) + (255,)
    return side, pixels


def write(relative, data):
    path = os.path.join(OUT, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data if isinstance(data, bytes) else data.encode())


def tileset(name, margin, spacing, tile=TILE, paint=None):
    side, pixels = tile_sheet(margin, spacing, tile, paint)
    write("assets/textures/%s.png" % name, png_bytes(side, side, pixels))
    write("assets/data/tilesets/%s.json" % name, json.dumps({
        "columns": 2, "image": "../../textures/%s.png" % name, "imageheight": side, "imagewidth": side,
        "margin": margin, "name": name, "spacing": spacing, "tilecount": 4, "tiledversion": "1.8.2",
        "tileheight": tile, "tilewidth": tile, "type": "tileset", "version": "1.8"}, indent=1))


def stripes(k, x, y):
    """One-pixel stripes: upright in tiles 0 and 2, across in 1 and 3, each pair of its own colours."""
    pairs = [((255, 0, 0), (0, 0, 255)), ((0, 255, 0), (255, 255, 255)), ((255, 255, 0), (128, 0, 255)),
             ((0, 255, 255), (0, 0, 0))]
    return pairs[k][(x if k % 2 == 0 else y) % 2]


def big_quarters(k, x, y):
    """Tiles twice the cells' size, of quarters unlike the small tiles' ones."""
    return QUARTERS[3 - k][(1 if y >= TILE else 3) - (1 if x >= TILE else 0)]


H, V, D = 0x80000000, 0x40000000, 0x20000000


def tile_layer(ident, name, gids, width, height, **extra):
    layer = {"data": gids, "height": height, "id": ident, "name": name, "opacity": 1, "type": "tilelayer",
             "visible": True, "width": width, "x": 0, "y": 0}
    layer.update(extra)
    return layer


def encoded(layer, compression):
    raw = b"".join(struct.pack("<I", gid) for gid in layer["data"])
    packed = {"": raw, "zlib": zlib.compress(raw), "gzip": gzip.compress(raw, mtime=0)}.get(compression)
    if compression == "zstd":
        packed = subprocess.run(["zstd", "-q", "-c"], input=raw, stdout=subprocess.PIPE, check=True).stdout
    layer = dict(layer, data=base64.b64encode(packed).decode(), encoding="base64")
    if compression:
        layer["compression"] = compression
    return layer


def map_file(name, width, height, layers, sheet="Quarters", infinite=False, next_id=None, extra_sheets=()):
    def count(entries):
        return sum(1 + count(entry.get("layers", [])) for entry in entries)

    document = {"compressionlevel": -1, "height": height, "infinite": infinite, "layers": layers,
                "nextlayerid": next_id or count(layers) + 1, "nextobjectid": 1, "orientation": "orthogonal",
                "renderorder": "right-down", "tiledversion": "1.8.2", "tileheight": TILE,
                "tilesets": [{"firstgid": 1, "source": "../tilesets/%s.json" % sheet}] +
                            [{"firstgid": 1 + 4 * (k + 1), "source": "../tilesets/%s.json" % extra}
                             for k, extra in enumerate(extra_sheets)], "tilewidth": TILE,
                "type": "map", "version": "1.8", "width": width}
    write("assets/data/tilemaps/%s.json" % name, json.dumps(document, indent=1))


def main():
    tileset("Quarters", 0, 0)
    tileset("Spaced", 2, 1)
    tileset("Stripes", 0, 0, paint=stripes)
    tileset("Big", 0, 0, tile=2 * TILE, paint=big_quarters)

    # Every flip of every tile: row r holds tile r + 1, column c the flags of c's three bits.
    flips = [(r + 1) | (H if c & 4 else 0) | (V if c & 2 else 0) | (D if c & 1 else 0)
             for r in range(4) for c in range(8)]
    walls = [gid if gid % 3 == 0 else 0 for gid in flips]
    map_file("Flips", 8, 4, [tile_layer(1, "FloorLayer", flips, 8, 4), tile_layer(2, "WallLayer", walls, 8, 4)])

    mixed = [0 if k % 7 == 3 else flips[(k * 5) % 32] for k in range(32)]
    for compression, name in (("", "Base64"), ("zlib", "Zlib"), ("gzip", "Gzip"), ("zstd", "Zstd")):
        map_file(name, 8, 4, [encoded(tile_layer(1, "WallLayer", mixed, 8, 4), compression)])

    floor = [1 + (k % 4) for k in range(32)]
    upper = [0 if k % 3 == 0 else 2 + (k % 3) for k in range(32)]
    map_file("Grouped", 8, 4, [
        tile_layer(1, "FloorLayer", floor, 8, 4),
        {"id": 2, "layers": [
            tile_layer(3, "Rug", upper, 8, 4, opacity=0.6, offsetx=4),
            tile_layer(4, "Hidden", [4] * 32, 8, 4, visible=False),
            {"id": 5, "layers": [tile_layer(6, "WallLayer", [0] * 31 + [3], 8, 4)], "name": "Inner",
             "opacity": 1, "type": "group", "visible": True, "x": 0, "y": 0}],
         "name": "Upstairs", "offsetx": 0, "offsety": 8, "opacity": 0.5, "type": "group", "visible": True,
         "x": 0, "y": 0}])

    map_file("Spacing", 8, 4, [tile_layer(1, "WallLayer", flips, 8, 4)], sheet="Spaced")

    map_file("Opacity", 8, 4, [tile_layer(1, "FloorLayer", floor, 8, 4),
                               tile_layer(2, "WallLayer", upper, 8, 4, opacity=0.5, offsetx=4, offsety=-8)])

    # An infinite map of three 4 x 4 chunks, one left of and above the origin.
    def chunk(x, y, first):
        return {"data": [0 if (first + k) % 5 == 0 else flips[(first + k) % 32] for k in range(16)],
                "height": 4, "width": 4, "x": x, "y": y}
    # The last chunk fills the rightmost column of the box Tiled's 16 x 16 chunks make.
    chunks = [chunk(-4, -4, 0), chunk(0, 0, 7), chunk(4, -4, 13),
              {"data": [flips[(k * 3) % 32] for k in range(16)], "height": 4, "width": 4, "x": 12, "y": -4}]
    layer = {"chunks": chunks, "height": 8, "id": 1, "name": "WallLayer", "opacity": 1, "startx": -4,
             "starty": -4, "type": "tilelayer", "visible": True, "width": 12, "x": 0, "y": 0}
    map_file("Chunks", 12, 8, [layer], infinite=True)

    # Thin stripes, every flip of them, for drawing at one pixel a texel.
    map_file("Stripes", 8, 4, [tile_layer(1, "WallLayer", flips, 8, 4)], sheet="Stripes")

    # Tiles of twice the cells' size among the cells' own: a big tile reaches over the cell right of
    # it, the one above and the one above right; Tiled draws the cells right-down, so a later cell's
    # tile covers an earlier one's overhang.
    overlap = [5 + (k * 3) % 4 if k % 3 == 0 else 1 + k % 4 for k in range(8 * 6)]
    map_file("Overlap", 8, 6, [tile_layer(1, "WallLayer", overlap, 8, 6)], extra_sheets=("Big",))

    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    maps = os.path.join(OUT, "assets", "data", "tilemaps")
    # The shipped map as Tiled saves it.
    subprocess.run(["tiled", "--export-map", "json", os.path.join(ROOT, "assets", "data", "tilemaps", "LivingRoom.json"),
                    os.path.join(maps, "LivingRoomSaved.json")], env=env, check=True, stderr=subprocess.DEVNULL)
    for name in sorted(os.listdir(maps)):
        # Saved again by Tiled itself (its JSON export), as a designer's save would write it: an infinite
        # map's chunks become Tiled's 16 x 16 ones.
        path = os.path.join(maps, name)
        subprocess.run(["tiled", "--export-map", "json", path, path], env=env, check=True, stderr=subprocess.DEVNULL)
        target = os.path.join(OUT, "expected", name.replace(".json", ".png"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        subprocess.run(["tmxrasterizer", "--no-smoothing", os.path.join(maps, name), target], env=env, check=True,
                       stderr=subprocess.DEVNULL)
        print("rendered", os.path.relpath(target, ROOT))
    return 0


if __name__ == "__main__":
    sys.exit(main())
