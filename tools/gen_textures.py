#!/usr/bin/env python3
"""Draws the game's textures and writes their descriptions.

Every image is drawn here from simple shapes (no image comes from anywhere else) and written as an
RGBA PNG to assets/textures/<name>.png; each gets its description assets/data/textures/<name>.json
("FileType" and, for sprite sheets, the frame layout). Standard library only, except that texts and
digits are rasterised from the DejaVu font by ImageMagick's "convert". Pictures are drawn at (or
above) the size the game shows them, and a fixture's picture spans its collider.

    python3 tools/gen_textures.py [--check]

--check exits with status 1 when a written file would differ (nothing is written then).
"""
import json
import math
import os
import struct
import subprocess
import sys
import zlib

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
IMAGE_DIR = os.path.join(ROOT, "assets", "textures")
DATA_DIR = os.path.join(ROOT, "assets", "data", "textures")


# ---------------------------------------------------------------- PNG output

def png_bytes(width, height, pixels):
    """pixels: list of rows (top row first), each a list of (r, g, b, a) tuples of 0..255."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter: none
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8 bits, RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


# ---------------------------------------------------------------- drawing

class Canvas:
    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.px = [[fill for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, color, coverage=1.0):
        if not (0 <= x < self.width and 0 <= y < self.height) or coverage <= 0:
            return
        r, g, b, a = color
        a = a / 255.0 * min(coverage, 1.0)
        dr, dg, db, da = self.px[y][x]
        da /= 255.0
        out_a = a + da * (1 - a)
        if out_a <= 0:
            return
        mix = lambda s, d: int(round((s * a + d * da * (1 - a)) / out_a))
        self.px[y][x] = (mix(r, dr), mix(g, dg), mix(b, db), int(round(out_a * 255)))

    def shape(self, inside, color, x0=0, y0=0, x1=None, y1=None, samples=4):
        """Fills where inside(x, y) is true (pixel-space floats), anti-aliased by supersampling."""
        x1 = self.width if x1 is None else x1
        y1 = self.height if y1 is None else y1
        step = 1.0 / samples
        for y in range(max(0, int(y0)), min(self.height, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.width, int(math.ceil(x1)))):
                hits = 0
                for sy in range(samples):
                    for sx in range(samples):
                        if inside(x + (sx + 0.5) * step, y + (sy + 0.5) * step):
                            hits += 1
                if hits:
                    self.blend(x, y, color, hits / float(samples * samples))

    def circle(self, cx, cy, radius, color, ring=None):
        def inside(x, y):
            d = math.hypot(x - cx, y - cy)
            return d <= radius and (ring is None or d >= radius - ring)
        self.shape(inside, color, cx - radius - 1, cy - radius - 1, cx + radius + 1, cy + radius + 1)

    def rect(self, x0, y0, x1, y1, color):
        self.shape(lambda x, y: x0 <= x < x1 and y0 <= y < y1, color, x0, y0, x1, y1, samples=1)

    def polygon(self, points, color):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.shape(lambda x, y: inside_polygon(points, x, y), color, min(xs), min(ys), max(xs) + 1, max(ys) + 1)

    def glow(self, cx, cy, radius, color, power=2.0):
        r, g, b, a = color
        for y in range(self.height):
            for x in range(self.width):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy) / radius
                if d < 1:
                    self.blend(x, y, (r, g, b, int(a * (1 - d) ** power)))

    def paste(self, other, ox, oy):
        for y in range(other.height):
            for x in range(other.width):
                r, g, b, a = other.px[y][x]
                if a:
                    self.blend(ox + x, oy + y, (r, g, b, 255), a / 255.0)


def cover(c, sdf, color, x0, y0, x1, y1):
    """Fills where the signed distance sdf(x, y) (pixel units, negative inside) is below 0, with the
    edge anti-aliased over one pixel: one evaluation per pixel, so large pictures stay quick."""
    for y in range(max(0, int(y0)), min(c.height, int(math.ceil(y1)))):
        for x in range(max(0, int(x0)), min(c.width, int(math.ceil(x1)))):
            k = 0.5 - sdf(x + 0.5, y + 0.5)
            if k > 0:
                c.blend(x, y, color, min(1.0, k))


def disc(c, cx, cy, radius, color):
    cover(c, lambda x, y: math.hypot(x - cx, y - cy) - radius, color, cx - radius - 1, cy - radius - 1,
          cx + radius + 1, cy + radius + 1)


def ring(c, cx, cy, radius, width, color):
    cover(c, lambda x, y: abs(math.hypot(x - cx, y - cy) - (radius - width / 2.0)) - width / 2.0, color,
          cx - radius - 1, cy - radius - 1, cx + radius + 1, cy + radius + 1)


def round_box(c, x0, y0, x1, y1, radius, color):
    """A rounded rectangle (pixel edges x0..x1, y0..y1), anti-aliased."""
    cx, cy, hw, hh = (x0 + x1) / 2.0, (y0 + y1) / 2.0, (x1 - x0) / 2.0, (y1 - y0) / 2.0

    def sdf(x, y):
        qx, qy = abs(x - cx) - hw + radius, abs(y - cy) - hh + radius
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - radius
    cover(c, sdf, color, x0 - 1, y0 - 1, x1 + 1, y1 + 1)


def inside_polygon(points, x, y):
    hit = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def star_points(cx, cy, outer, inner, spikes=5, turn=-math.pi / 2):
    pts = []
    for i in range(spikes * 2):
        radius = outer if i % 2 == 0 else inner
        angle = turn + i * math.pi / spikes
        pts.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    return pts


WHITE = (255, 255, 255, 255)
GOLD = (246, 196, 58, 255)
DARK_GOLD = (176, 120, 20, 255)


# ---------------------------------------------------------------- the textures

def treasure_coin(size=96):
    """A gold coin with a star, filling its picture edge to edge (the collectables' hit box)."""
    c = Canvas(size, size)
    k = size / 64.0
    disc(c, 32 * k, 32 * k, 32 * k, DARK_GOLD)
    disc(c, 32 * k, 32 * k, 27 * k, GOLD)
    disc(c, 29 * k, 29 * k, 21 * k, (252, 214, 96, 255))
    c.polygon(star_points(32 * k, 33 * k, 15 * k, 6.5 * k), DARK_GOLD)
    return c


# The score display draws "coin" on a square 15 digit widths across (the quad spans twice its scale
# of 7.5 digit widths), centred one digit width left of the first digit and 0.075 world units below
# the digits. The coin takes up only the middle of that square, about the size of a digit, so it sits
# in line with the number and leaves the rest of the square clear.
SCORE_COIN_SPAN = 15.0
SCORE_DIGIT_WIDTH = 1.0     # twice the ChuteScoreDisplay's scale


def coin():
    size = 896
    c = Canvas(size, size)
    unit = size / SCORE_COIN_SPAN                      # pixels per digit width
    cy = size / 2.0 - 0.075 / SCORE_DIGIT_WIDTH * unit  # level with the digits
    icon = treasure_coin(int(unit * 0.8))
    c.paste(icon, int(round(size / 2.0 - icon.width / 2.0)), int(round(cy - icon.height / 2.0)))
    return c


def pickup_word():
    """The end screen's treasure picture (shown 1.5 times as wide as tall): a small pile of coins."""
    c = Canvas(384, 256)
    for cx, cy, r in ((140, 150, 70), (250, 160, 62), (196, 110, 76)):
        coin_ = treasure_coin(int(2 * r))
        c.paste(coin_, int(cx - r), int(cy - r))
    return c


def single_glyph(ch):
    """One character on a square, drawn like the digits of the "Number" sheet."""
    return outlined_glyphs(ch, 160, 160, 150)


def colon_glyph():
    """The end screen's colon, set 4 pixels right of its square's middle: the time places the colon a
    little nearer the minutes than the seconds, and this brings it midway between the digits."""
    c = Canvas(160, 160)
    c.paste(single_glyph(":"), 4, 0)
    return c


def room_name(n):
    """The room's name for the ping display, which shows it twice as wide as tall."""
    return outlined_glyphs("Room %d" % n, 512, 256, 120)


def number_sheet():
    """Digits 0..9 set in the game's font with a dark outline: 10 square frames in 5 columns and 2 rows,
    0 at the top left. Score digits are drawn on squares, so each digit keeps its shape."""
    cell = 160
    c = Canvas(cell * 5, cell * 2)
    for digit in range(10):
        c.paste(outlined_glyphs(str(digit), cell, cell, 150), (digit % 5) * cell, (digit // 5) * cell)
    return c


def rotated(src, angle):
    """The picture turned by `angle` (radians, clockwise on screen) about its centre, sampled
    bilinearly with alpha weighting."""
    w, h = src.width, src.height
    out = Canvas(w, h)
    ca, sa = math.cos(angle), math.sin(angle)
    for y in range(h):
        for x in range(w):
            dx, dy = x + 0.5 - w / 2.0, y + 0.5 - h / 2.0
            sx, sy = ca * dx + sa * dy + w / 2.0 - 0.5, -sa * dx + ca * dy + h / 2.0 - 0.5
            x0, y0 = int(math.floor(sx)), int(math.floor(sy))
            fx, fy = sx - x0, sy - y0
            acc = [0.0, 0.0, 0.0, 0.0]
            for xx, yy, wt in ((x0, y0, (1 - fx) * (1 - fy)), (x0 + 1, y0, fx * (1 - fy)),
                               (x0, y0 + 1, (1 - fx) * fy), (x0 + 1, y0 + 1, fx * fy)):
                if 0 <= xx < w and 0 <= yy < h and wt > 0:
                    r, g, b, a = src.px[yy][xx]
                    k = wt * a
                    acc[0] += r * k
                    acc[1] += g * k
                    acc[2] += b * k
                    acc[3] += k
            if acc[3] > 0:
                out.px[y][x] = (int(round(acc[0] / acc[3])), int(round(acc[1] / acc[3])),
                                int(round(acc[2] / acc[3])), int(round(min(255.0, acc[3]))))
    return out


def pemmet_frame(angle, moving, phase):
    """The player robot (body and eyes, as in the level) for the closing dance, facing `angle`
    (radians, clockwise on screen from +x), with dust puffs behind it while it moves."""
    size = 128
    c = Canvas(size, size)
    if moving:
        k = size / 64.0
        bx, by = 32 - 27 * math.cos(angle), 32 - 27 * math.sin(angle)
        off = 6 if phase % 2 else -6
        disc(c, (bx - off * math.sin(angle)) * k, (by + off * math.cos(angle)) * k, 5 * k, (200, 190, 170, 200))
    c.paste(rotated(title_robot_at(size), angle), 0, 0)
    return c


def sheet(frames, cols, rows):
    w, h = frames[0].width, frames[0].height
    out = Canvas(w * cols, h * rows)
    for i, frame in enumerate(frames):
        out.paste(frame, (i % cols) * w, (i // cols) * h)
    return out


def pemmet_rotation():
    return sheet([pemmet_frame(i * math.pi / 4, False, i) for i in range(8)], 4, 2)


def pemmet_moving():
    return sheet([pemmet_frame(-math.pi / 2, True, i) for i in range(8)], 4, 2)


def p2sketch():
    """The second player's robot: the player's body with an orange shell (its eyes are a child object)."""
    return player_body(64, (230, 120, 90, 255), (250, 180, 150, 255))


def smoke():
    """A soft puff: overlapping blobs, lighter on top, fading out at the rim."""
    c = Canvas(32, 32)
    blobs = [(16, 18, 11, 150), (11, 15, 8, 170), (21, 14, 8, 170), (15, 10, 7, 180), (20, 21, 7, 140),
             (10, 21, 6, 140)]
    for cx, cy, radius, alpha in blobs:
        c.glow(cx, cy, radius, (200, 200, 205, alpha), 1.2)
    for cx, cy, radius, alpha in blobs[1:4]:
        c.glow(cx - 1.5, cy - 1.5, radius * 0.6, (255, 255, 255, alpha // 2), 1.8)
    return c


def shimmer():
    c = Canvas(32, 32)
    c.glow(16, 16, 15, (255, 255, 255, 200), 3.0)
    c.polygon(star_points(16, 16, 15, 2.5, spikes=4, turn=0), WHITE)
    return c


def circle_ring():
    c = Canvas(64, 64)
    c.circle(32, 32, 31, WHITE, ring=4)
    return c


def circle_full():
    c = Canvas(64, 64)
    c.circle(32, 32, 31, WHITE)
    return c


def star():
    c = Canvas(32, 32)
    c.polygon(star_points(16, 17, 15, 6.5), WHITE)
    return c


def title_robot_at(size):
    """The player robot, body and eyes, facing right, on a square `size` pixels across."""
    c = player_body(size)
    eyes = player_eyes(size // 2)
    # The eyes sit 0.19 ahead of the body's centre at half its size, as in the game.
    c.paste(eyes, int(size / 2 + 0.19 / 0.6 * size - eyes.width / 2), int(size / 2 - eyes.height / 2))
    return c


def title_robot():
    """The player robot for the title screen, drawn at the size it is shown."""
    return title_robot_at(256)


def title_star():
    """A gold star with a rim and a highlight, at the size the title screen shows it (white: it is tinted)."""
    size = 192
    c = Canvas(size, size)
    c.shape(lambda x, y: inside_polygon(star_points(96, 101, 92, 40), x, y), (200, 200, 200, 255), 0, 0, size,
            size, samples=3)
    c.shape(lambda x, y: inside_polygon(star_points(96, 101, 76, 33), x, y), WHITE, 0, 0, size, size, samples=3)
    return c


def title_sparkle():
    """A soft four-pointed sparkle at the size the title screen shows it."""
    size = 384
    c = Canvas(size, size)
    mid, reach = size / 2.0, size / 2.0 - 2

    def glow(x, y):
        return max(0.0, 1 - math.hypot(x - mid, y - mid) / (reach * 0.55)) ** 2.5

    def spikes(x, y):
        ax, ay = abs(x - mid) / reach, abs(y - mid) / reach
        return math.sqrt(ax) + math.sqrt(ay) <= 1.0

    for y in range(size):
        for x in range(size):
            g = glow(x + 0.5, y + 0.5)
            if g > 0:
                c.blend(x, y, (255, 255, 255, 255), g * 0.8)
    c.shape(spikes, WHITE, 0, 0, size, size, samples=2)
    return c


def volume_button(plus):
    c = Canvas(64, 64)
    c.circle(32, 32, 30, (40, 40, 60, 255))
    c.circle(32, 32, 30, WHITE, ring=3)
    c.rect(16, 28, 48, 36, WHITE)
    if plus:
        c.rect(28, 16, 36, 48, WHITE)
    return c


# ---------------------------------------------------------------- the player and its battery

def player_body(size=64, shell=(92, 170, 220, 255), light=(150, 210, 240, 255)):
    """The player robot from above, facing +x (right): a round shell on two treads, a bumper at the
    front and an antenna at the back. It spans the middle 0.8125 of the picture each way, its collider's
    0.8 within a pixel. The eyes are a separate object drawn over it."""
    c = Canvas(size, size)
    k = size / 64.0
    tread = (50, 50, 58, 255)
    round_box(c, 12 * k, 6 * k, 52 * k, 15 * k, 2 * k, tread)
    round_box(c, 12 * k, 49 * k, 52 * k, 58 * k, 2 * k, tread)
    for m in range(14, 52, 6):
        c.rect(m * k, 6 * k, (m + 2) * k, 15 * k, (90, 90, 100, 255))
        c.rect(m * k, 49 * k, (m + 2) * k, 58 * k, (90, 90, 100, 255))
    disc(c, 32 * k, 32 * k, 24 * k, (40, 60, 90, 255))
    disc(c, 32 * k, 32 * k, 21 * k, shell)
    disc(c, 28 * k, 28 * k, 9 * k, light)
    c.polygon([(50 * k, 20 * k), (58 * k, 26 * k), (58 * k, 38 * k), (50 * k, 44 * k)], (230, 180, 60, 255))
    c.rect(10 * k, 31 * k, 18 * k, 33 * k, (200, 200, 210, 255))
    disc(c, 9 * k, 32 * k, 3 * k, (240, 80, 80, 255))
    return c


def player_eyes(size=32):
    """Two round eyes side by side, looking right (+x)."""
    c = Canvas(size, size)
    k = size / 32.0
    for cy in (9, 23):
        disc(c, 16 * k, cy * k, 7 * k, WHITE)
        disc(c, 19 * k, cy * k, 4 * k, (20, 20, 30, 255))
        disc(c, 20 * k, (cy - 1.5) * k, 1.3 * k, WHITE)
    return c


def battery_bar():
    """A battery cell in white (the game tints it): a rounded body, a terminal and charge marks."""
    c = Canvas(64, 16)
    c.rect(1, 1, 59, 15, WHITE)
    c.rect(59, 5, 63, 11, WHITE)
    for k in range(12, 59, 12):
        c.rect(k, 3, k + 1, 13, (200, 200, 200, 255))
    return c


def buffer_segment():
    """One segment of the pickup buffer's ring: a soft white arc piece."""
    c = Canvas(32, 32)
    c.glow(16, 16, 15, (255, 255, 255, 120), 1.0)
    c.circle(16, 16, 12, WHITE, ring=4)
    return c


# ---------------------------------------------------------------- fixtures

LASER_RED = (255, 40, 40, 255)


LASER_W, LASER_H = 512, 128
LASER_BEAM = 0.3          # the beam's height as a share of the picture (the collider's height)


def laser_frame(power, flicker=0):
    """A horizontal laser beam between two emitters. At full power the beam (an opaque red band with a
    white-hot core) fills exactly the middle LASER_BEAM of the picture's height, where it hurts; the
    emitters are as tall as the beam. Lower power thins the beam (while it switches on or off)."""
    c = Canvas(LASER_W, LASER_H)
    mid = LASER_H / 2.0
    half = LASER_BEAM * LASER_H / 2.0
    nozzle = 40
    if power > 0:
        beam = half * power
        cover(c, lambda x, y: abs(y - mid) - beam, (230, 30, 40, 255), nozzle, mid - beam - 1,
              LASER_W - nozzle, mid + beam + 1)
        core = beam * (0.45 + (0.06 if flicker % 2 else 0))
        cover(c, lambda x, y: abs(y - mid) - core, (255, 150, 140, 255), nozzle, mid - core - 1,
              LASER_W - nozzle, mid + core + 1)
        cover(c, lambda x, y: abs(y - mid) - core * 0.45, (255, 245, 240, 255), nozzle, mid - core,
              LASER_W - nozzle, mid + core)
    for x0 in (0, LASER_W - nozzle):
        round_box(c, x0, mid - half, x0 + nozzle, mid + half, 6, (70, 70, 80, 255))
        round_box(c, x0 + 5, mid - half + 5, x0 + nozzle - 5, mid + half - 5, 4, (115, 115, 130, 255))
        disc(c, x0 + nozzle / 2.0, mid, 8, LASER_RED if power > 0 else (90, 30, 30, 255))
    return c


def laser_on():
    return sheet([laser_frame(p) for p in (0.25, 0.5, 0.75, 1.0)], 2, 2)


def laser_loop():
    return sheet([laser_frame(1.0, i) for i in range(4)], 2, 2)


def laser_off():
    return sheet([laser_frame(p) for p in (0.75, 0.4, 0.15, 0.0)], 2, 2)


def counter_frame(n):
    """The exit's countdown light: a rounded dark panel with a number."""
    size = 128
    c = Canvas(size, size)
    round_box(c, 0, 0, size, size, 22, (30, 30, 40, 255))
    round_box(c, 6, 6, size - 6, size - 6, 17, (60, 22, 22, 255))
    color = (255, 130, 60, 255) if n else (120, 255, 120, 255)
    w, h, mask = font_box(str(n), size, size, 104)
    for y in range(h):
        for x in range(w):
            if mask[y][x]:
                c.blend(x, y, color, mask[y][x] / 255.0)
    return c


def counter_anim():
    return sheet([counter_frame(n) for n in (3, 2, 1, 0)], 4, 1)


def elevator_frame(opening):
    """Elevator doors from the front, opening 0..1 (the frame fills the picture: the hit box)."""
    size = 192
    k = size / 64.0
    c = Canvas(size, size)
    round_box(c, 0, 0, size, size, 4 * k, (80, 80, 90, 255))
    c.rect(4 * k, 8 * k, 60 * k, 64 * k, (20, 20, 24, 255))
    gap = 26 * opening * k
    door = (170, 175, 185, 255)
    c.rect(4 * k, 8 * k, 32 * k - gap, 64 * k, door)
    c.rect(32 * k + gap, 8 * k, 60 * k, 64 * k, door)
    c.rect(31 * k - gap, 8 * k, 32 * k - gap, 64 * k, (120, 120, 130, 255))
    c.rect(32 * k + gap, 8 * k, 33 * k + gap, 64 * k, (120, 120, 130, 255))
    c.polygon([(26 * k, 1 * k), (32 * k, 6 * k), (38 * k, 1 * k)], (120, 255, 120, 255))
    return c


def elevator_anim():
    return sheet([elevator_frame(k / 3.0) for k in range(4)], 2, 2)


def charging_station():
    """A charging pad: a dark plate (edge to edge: the hit box) with a glowing ring and a lightning bolt."""
    size = 160
    k = size / 64.0
    c = Canvas(size, size)
    round_box(c, 0, 0, size, size, 10 * k, (40, 44, 52, 255))
    ring(c, 32 * k, 32 * k, 27 * k, 4 * k, (90, 220, 255, 255))
    c.polygon([(p[0] * k, p[1] * k) for p in [(36, 10), (20, 36), (31, 36), (27, 54), (44, 26), (33, 26)]],
              (255, 230, 80, 255))
    return c


def chute():
    """The drop-off chute from above: a metal hatch (edge to edge: the hit box) with a dark opening and
    an arrow into it."""
    size = 160
    k = size / 64.0
    c = Canvas(size, size)
    round_box(c, 0, 0, size, size, 6 * k, (120, 124, 132, 255))
    round_box(c, 8 * k, 8 * k, 56 * k, 56 * k, 3 * k, (20, 20, 26, 255))
    for m in range(13, 52, 8):
        c.rect(11 * k, m * k, 53 * k, (m + 2) * k, (44, 44, 52, 255))
    c.polygon([(p[0] * k, p[1] * k) for p in [(32, 47), (19, 31), (27, 31), (27, 15), (37, 15), (37, 31), (45, 31)]],
              GOLD)
    return c


def puddle():
    """A water puddle: blue blobs with a light sheen, spanning the middle 0.8 of the picture (its hit box)."""
    size = 160
    k = size / 64.0
    c = Canvas(size, size)
    blue = (60, 130, 220, 210)
    # Blobs inside 6.4..57.6 each way, touching all four sides of that square.
    for cx, cy, r in ((27, 36, 20.6), (42, 27, 15.6), (20, 18.4, 12), (40, 45, 12.6), (47, 36, 10.6)):
        disc(c, cx * k, cy * k, r * k, blue)
    disc(c, 30 * k, 27 * k, 6 * k, (200, 230, 255, 170))
    disc(c, 44 * k, 37 * k, 3 * k, (200, 230, 255, 170))
    return c


def stairs():
    """A flight of stairs from above: steps that lighten upwards (shown 3 or 4 units wide, 2 tall)."""
    w, h = 256, 128
    c = Canvas(w, h)
    for k in range(8):
        shade = 90 + k * 16
        c.rect(0, h - (k + 1) * 16, w, h - k * 16, (shade, int(shade * 0.8), int(shade * 0.6), 255))
        c.rect(0, h - (k + 1) * 16, w, h - (k + 1) * 16 + 2, (50, 40, 30, 255))
    return c


def ledge():
    """A one-way ledge, shown three times as wide as tall: a striped edge along the top and arrows down
    to the bottom edge (edge to edge: the hit box)."""
    w, h = 384, 128
    c = Canvas(w, h)
    c.rect(0, 0, w, 40, (110, 90, 70, 255))
    for x in range(0, w, 32):
        c.polygon([(x, 40), (x + 16, 40), (x + 32, 0), (x + 16, 0)], (230, 200, 60, 255))
    for x in range(32, w, 64):
        c.polygon([(x - 18, 56), (x + 18, 56), (x, 128)], (230, 200, 60, 235))
    c.rect(0, 40, w, 128, (110, 90, 70, 90))
    return c


# ---------------------------------------------------------------- tilesets (32 x 32 tiles, row 0 at the top)

TILE = 32


def house_tiles():
    """8 x 2 tiles. Row 0: floors (wood, wood across, carpet, kitchen checks, bathroom, hall, dark wood,
    threshold). Row 1: walls (solid, brick, top edge, bottom edge, left edge, right edge, pillar, window)."""
    c = Canvas(TILE * 8, TILE * 2)

    def at(i):
        return (i % 8) * TILE, (i // 8) * TILE

    def planks(i, base, seam, across=False):
        x0, y0 = at(i)
        c.rect(x0, y0, x0 + TILE, y0 + TILE, base)
        for k in range(0, TILE, 8):
            if across:
                c.rect(x0, y0 + k, x0 + TILE, y0 + k + 1, seam)
            else:
                c.rect(x0 + k, y0, x0 + k + 1, y0 + TILE, seam)

    planks(0, (150, 104, 62, 255), (112, 74, 40, 255))
    planks(1, (160, 112, 68, 255), (118, 80, 44, 255), across=True)
    x0, y0 = at(2)
    c.rect(x0, y0, x0 + TILE, y0 + TILE, (120, 46, 56, 255))
    for k in range(2, TILE, 6):
        for m in range(2, TILE, 6):
            c.rect(x0 + k, y0 + m, x0 + k + 2, y0 + m + 2, (140, 62, 70, 255))
    x0, y0 = at(3)
    for k in range(4):
        for m in range(4):
            shade = (228, 228, 220, 255) if (k + m) % 2 == 0 else (70, 84, 104, 255)
            c.rect(x0 + k * 8, y0 + m * 8, x0 + k * 8 + 8, y0 + m * 8 + 8, shade)
    x0, y0 = at(4)
    c.rect(x0, y0, x0 + TILE, y0 + TILE, (170, 206, 214, 255))
    c.rect(x0, y0 + 15, x0 + TILE, y0 + 16, (130, 170, 180, 255))
    c.rect(x0 + 15, y0, x0 + 16, y0 + TILE, (130, 170, 180, 255))
    x0, y0 = at(5)
    c.rect(x0, y0, x0 + TILE, y0 + TILE, (196, 184, 150, 255))
    c.rect(x0 + 2, y0 + 2, x0 + TILE - 2, y0 + TILE - 2, (206, 194, 160, 255))
    planks(6, (96, 64, 40, 255), (70, 46, 28, 255))
    x0, y0 = at(7)
    c.rect(x0, y0, x0 + TILE, y0 + TILE, (150, 104, 62, 255))
    c.rect(x0, y0 + 12, x0 + TILE, y0 + 20, (110, 110, 110, 255))

    wall, edge = (58, 54, 70, 255), (92, 88, 110, 255)
    x0, y0 = at(8)
    c.rect(x0, y0, x0 + TILE, y0 + TILE, wall)
    x0, y0 = at(9)
    c.rect(x0, y0, x0 + TILE, y0 + TILE, (140, 70, 52, 255))
    for m in range(0, TILE, 8):
        c.rect(x0, y0 + m, x0 + TILE, y0 + m + 1, (200, 190, 180, 255))
        shift = 0 if (m // 8) % 2 == 0 else 8
        for k in range(shift, TILE, 16):
            c.rect(x0 + k, y0 + m, x0 + k + 1, y0 + m + 8, (200, 190, 180, 255))
    for i, (ex0, ey0, ex1, ey1) in zip(range(10, 14), [(0, 0, 32, 6), (0, 26, 32, 32), (0, 0, 6, 32), (26, 0, 32, 32)]):
        x0, y0 = at(i)
        c.rect(x0, y0, x0 + TILE, y0 + TILE, wall)
        c.rect(x0 + ex0, y0 + ey0, x0 + ex1, y0 + ey1, edge)
    x0, y0 = at(14)
    c.rect(x0, y0, x0 + TILE, y0 + TILE, wall)
    c.circle(x0 + 16, y0 + 16, 11, edge)
    x0, y0 = at(15)
    c.rect(x0, y0, x0 + TILE, y0 + TILE, wall)
    c.rect(x0 + 4, y0 + 10, x0 + 28, y0 + 22, (150, 200, 240, 255))
    c.rect(x0 + 15, y0 + 10, x0 + 17, y0 + 22, wall)
    return c


def house_decor():
    """8 x 1 tiles drawn over the player: lamp, plant, shelf, table corner, curtain, ceiling fan,
    hanging light, cobweb. Transparent around each."""
    c = Canvas(TILE * 8, TILE)
    c.circle(16, 16, 12, (250, 226, 150, 230))
    c.circle(16, 16, 5, (255, 250, 220, 255))
    x0 = TILE
    for k in range(5):
        a = k * 2 * math.pi / 5
        c.circle(x0 + 16 + 8 * math.cos(a), 16 + 8 * math.sin(a), 6, (60, 150, 70, 255))
    c.circle(x0 + 16, 16, 4, (40, 110, 50, 255))
    x0 = TILE * 2
    c.rect(x0 + 2, 4, x0 + 30, 12, (120, 84, 50, 255))
    c.rect(x0 + 5, 0, x0 + 10, 4, (200, 60, 60, 255))
    c.rect(x0 + 12, 1, x0 + 16, 4, (60, 90, 200, 255))
    x0 = TILE * 3
    c.rect(x0 + 4, 4, x0 + 32, 32, (132, 92, 56, 255))
    c.rect(x0 + 4, 4, x0 + 32, 7, (160, 118, 76, 255))
    x0 = TILE * 4
    for k in range(0, TILE, 6):
        c.rect(x0 + k, 0, x0 + k + 4, TILE, (110, 60, 120, 200))
    x0 = TILE * 5
    for k in range(4):
        a = k * math.pi / 2 + 0.3
        c.polygon([(x0 + 16, 16), (x0 + 16 + 14 * math.cos(a), 16 + 14 * math.sin(a)),
                   (x0 + 16 + 14 * math.cos(a + 0.4), 16 + 14 * math.sin(a + 0.4))], (200, 200, 210, 220))
    c.circle(x0 + 16, 16, 3, (90, 90, 100, 255))
    x0 = TILE * 6
    c.rect(x0 + 15, 0, x0 + 17, 14, (60, 60, 60, 255))
    c.circle(x0 + 16, 20, 7, (255, 240, 170, 240))
    x0 = TILE * 7
    for k in range(5):
        a = k * math.pi / 8
        c.polygon([(x0, 0), (x0 + 24 * math.cos(a), 24 * math.sin(a)),
                   (x0 + 24 * math.cos(a) + 1, 24 * math.sin(a) + 1)], (230, 230, 230, 160))
    return c


# ---------------------------------------------------------------- menu art (text from the DejaVu font)

FONT_FILE = os.path.join(ROOT, "assets", "fonts", "DejaVuSans.ttf")


def font_box(string, width, height, size, stroke=0):
    """Coverage rows (0..255) of a width x height picture with the text centred in it, set in DejaVu Sans
    at `size` pixels; stroke > 0 thickens the letters by that many pixels (for an outline)."""
    args = ["convert", "-size", "%dx%d" % (width, height), "xc:black", "-font", FONT_FILE, "-pointsize",
            str(size), "-fill", "white"]
    if stroke:
        args += ["-stroke", "white", "-strokewidth", str(stroke)]
    args += ["-gravity", "center", "-annotate", "+0+0", string, "-depth", "8", "pgm:-"]
    out = subprocess.run(args, check=True, stdout=subprocess.PIPE).stdout
    header = out.split(b"\n", 3)             # "P5", "w h", "255", data
    data = header[3]
    return width, height, [list(data[y * width:(y + 1) * width]) for y in range(height)]


def outlined_glyphs(string, width, height, size, fill=WHITE, outline=(24, 24, 34, 255)):
    """Text in white (the game tints it) with a dark outline, so it reads on any floor or screen."""
    c = Canvas(width, height)
    for color, stroke in ((outline, max(4, size // 9)), (fill, 0)):
        _, _, mask = font_box(string, width, height, size, stroke)
        for y in range(height):
            for x in range(width):
                if mask[y][x]:
                    c.blend(x, y, color, mask[y][x] / 255.0)
    return c


def font_mask(string, size):
    """Coverage (0..255) rows of the text set in DejaVu Sans at `size` pixels, rasterised by ImageMagick's
    font renderer (the one outside tool used here)."""
    out = subprocess.run(["convert", "-background", "black", "-fill", "white", "-font", FONT_FILE,
                          "-pointsize", str(size), "label:" + string, "-depth", "8", "pgm:-"],
                         check=True, stdout=subprocess.PIPE).stdout
    fields, at = [], 0
    while len(fields) < 4:  # "P5", width, height, maxval
        while out[at:at + 1].isspace():
            at += 1
        start = at
        while not out[at:at + 1].isspace():
            at += 1
        fields.append(out[start:at])
    at += 1
    w, h = int(fields[1]), int(fields[2])
    data = out[at:at + w * h]
    return w, h, [list(data[y * w:(y + 1) * w]) for y in range(h)]


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def draw_text(c, string, size, cx, cy, top, bottom, shadow=(0, 0, 0, 200)):
    """Centred text with a vertical colour gradient and a soft drop shadow."""
    w, h, mask = font_mask(string, size)
    ox, oy = int(cx - w / 2), int(cy - h / 2)
    off = max(2, size // 14)
    for y in range(h):
        for x in range(w):
            if mask[y][x]:
                c.blend(ox + x + off, oy + y + off, shadow, mask[y][x] / 255.0)
    for y in range(h):
        color = lerp(top, bottom, y / max(1, h - 1))
        for x in range(w):
            if mask[y][x]:
                c.blend(ox + x, oy + y, color, mask[y][x] / 255.0)


def rounded_panel(c, x0, y0, x1, y1, radius, top, bottom, border=None, width=3):
    """A rounded rectangle with a vertical gradient and an optional border."""
    def inside(px, py, inset=0.0):
        ax0, ay0, ax1, ay1, r = x0 + inset, y0 + inset, x1 - inset, y1 - inset, max(0.0, radius - inset)
        qx = min(max(px, ax0 + r), ax1 - r)
        qy = min(max(py, ay0 + r), ay1 - r)
        return math.hypot(px - qx, py - qy) <= r and ax0 <= px <= ax1 and ay0 <= py <= ay1
    for y in range(int(y0), int(y1)):
        color = lerp(top, bottom, (y - y0) / max(1.0, y1 - y0 - 1))
        for x in range(int(x0), int(x1)):
            hits = sum(inside(x + sx, y + sy) for sx in (0.25, 0.75) for sy in (0.25, 0.75))
            if hits:
                c.blend(x, y, color, hits / 4.0)
            if border and hits:
                edge = 4 - sum(inside(x + sx, y + sy, width) for sx in (0.25, 0.75) for sy in (0.25, 0.75))
                if edge:
                    c.blend(x, y, border, edge / 4.0)


def menu_button(string, width=504, height=112):
    c = Canvas(width, height)
    rounded_panel(c, 2, 2, width - 2, height - 2, 26, (58, 86, 150, 240), (22, 30, 70, 240),
                  border=(250, 205, 90, 255), width=4)
    # A sheen across the upper half.
    for y in range(8, height // 2):
        for x in range(24, width - 24):
            c.blend(x, y, (255, 255, 255, 255), 0.10 * (1 - (y - 8) / (height / 2 - 8)))
    draw_text(c, string, 50, width / 2, height / 2, (255, 250, 225, 255), (255, 196, 92, 255))
    return c


def menu_label(string, size, width, height, top, bottom):
    c = Canvas(width, height)
    draw_text(c, string, size, width / 2, height / 2, top, bottom)
    return c


def title_label():
    c = Canvas(1536, 270)
    draw_text(c, "Pemmet's Dustrun", 150, 768, 135, (255, 236, 140, 255), (235, 120, 40, 255))
    return c


def logo():
    """The splash screen's logo: the robot driving out of a trail of dust beside the game's name."""
    c = Canvas(1300, 560)
    for i, (x, y, r) in enumerate(((60, 330, 22), (104, 300, 30), (150, 350, 26), (190, 310, 36))):
        disc(c, x, y, r, (200, 190, 170, 90 + 30 * i))
    robot = title_robot()
    c.paste(robot, 200, 200)
    for x, y, r in ((1180, 120, 26), (520, 470, 18), (1230, 430, 14)):
        c.polygon(star_points(x, y, r, r * 0.45), GOLD)
    draw_text(c, "Pemmet's", 150, 840, 200, (255, 236, 140, 255), (235, 120, 40, 255))
    draw_text(c, "Dustrun", 190, 840, 380, (255, 236, 140, 255), (235, 120, 40, 255))
    return c


def credits_line(string, heading):
    if heading:
        return menu_label(string, 52, 1152, 80, (255, 214, 110, 255), (240, 150, 60, 255))
    return menu_label(string, 38, 1152, 64, (235, 240, 255, 255), (150, 190, 255, 255))


def checkbox(checked):
    c = Canvas(64, 64)
    rounded_panel(c, 3, 3, 61, 61, 10, (60, 70, 110, 255), (25, 30, 60, 255), border=(250, 205, 90, 255))
    if checked:
        c.polygon([(14, 33), (22, 25), (29, 33), (46, 14), (54, 22), (29, 48)], (120, 235, 120, 255))
    return c


def blank():
    return Canvas(4, 4)


def dark_panel(width=810, height=864):
    """The pause panel, at the size it is shown. An interface picture is stamped through the fog wherever
    it is not see-through, so every texel is either opaque or clear: the rounded edge is smoothed by
    shading its pixels towards the fog's dark colour instead of by transparency."""
    c = Canvas(width, height)
    radius, border = 60.0, 8.0
    gold, fog = (250, 205, 90), (13, 13, 13)
    cx, cy, hw, hh = width / 2.0, height / 2.0, width / 2.0 - 1, height / 2.0 - 1
    for y in range(height):
        top = lerp((30, 36, 70), (12, 14, 30), y / (height - 1.0))
        for x in range(width):
            qx, qy = abs(x + 0.5 - cx) - hw + radius, abs(y + 0.5 - cy) - hh + radius
            d = math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - radius
            inner = max(0.0, min(1.0, 0.5 - (d + border)))   # 1 inside the border, 0 on it
            color = lerp(gold, top, inner)
            edge = max(0.0, min(1.0, 0.5 - d))
            if edge >= 0.25:
                r, g, b = lerp(fog, color, edge)
                c.px[y][x] = (r, g, b, 255)
    return c


def volume_bar():
    c = Canvas(16, 64)
    for y in range(64):
        color = lerp((140, 255, 160, 255), (30, 140, 80, 255), y / 63.0)
        for x in range(16):
            c.blend(x, y, color)
    return c


MENU_BUTTONS = {
    "Btn_Play": "Play", "Btn_Options": "Options", "Btn_Credits": "Credits", "Btn_Quit": "Quit",
    "Btn_Resume": "Resume", "Btn_MainMenu": "Main Menu", "Btn_PlayAgain": "Play Again", "Btn_Back": "Back",
    "Btn_Start": "Start", "Ambience_On": "Ambience: On", "Ambience_Muted": "Ambience: Muted",
    "Ambience_Quiet": "Ambience: Low",
}
MENU_LABELS = {
    # name: (text, size, width, height, top colour, bottom colour)
    "Label_Studio": ("The Quorvex team presents", 64, 1152, 110, (230, 235, 255, 255), (140, 160, 230, 255)),
    "Label_PressAnyKey": ("Press any key or click to continue", 44, 1024, 80, (255, 255, 255, 255), (190, 200, 220, 255)),
    "Label_Paused": ("Paused", 96, 640, 150, (255, 240, 170, 255), (240, 160, 60, 255)),
    "Label_YouWin": ("You win!", 110, 768, 170, (200, 255, 170, 255), (60, 200, 90, 255)),
    "Label_GameOver": ("Game over", 110, 768, 170, (255, 190, 160, 255), (220, 60, 50, 255)),
    "Label_Options": ("Options", 96, 640, 150, (255, 240, 170, 255), (240, 160, 60, 255)),
    "Label_Credits": ("Credits", 96, 640, 150, (255, 240, 170, 255), (240, 160, 60, 255)),
    "Label_Fullscreen": ("Fullscreen", 48, 512, 80, (255, 255, 255, 255), (200, 210, 235, 255)),
    "Label_MusicVolume": ("Music volume", 48, 512, 80, (255, 255, 255, 255), (200, 210, 235, 255)),
    "Label_SFXVolume": ("Sound effects", 48, 512, 80, (255, 255, 255, 255), (200, 210, 235, 255)),
    "Label_MasterVolume": ("Master volume", 48, 512, 80, (255, 255, 255, 255), (200, 210, 235, 255)),
    "Label_Ambience": ("Room ambience", 48, 512, 80, (255, 255, 255, 255), (200, 210, 235, 255)),
    "Label_Hint": ("Esc: pause", 36, 384, 64, (255, 255, 255, 255), (200, 210, 235, 255)),
    "Label_Time": ("Time", 64, 320, 96, (255, 255, 255, 255), (200, 210, 235, 255)),
    "Label_Treasure": ("Treasure", 64, 320, 96, (255, 255, 255, 255), (200, 210, 235, 255)),
}
CREDITS_LINES = [
    ("Pemmet's Dustrun", True),
    ("built by the Quorvex team", False),
    ("Game design and code", True),
    ("The Quorvex team", False),
    ("Engine", True),
    ("Our own C++20 component engine", False),
    ("OpenGL 3.3, GLFW, RapidJSON, Lua 5.4, FreeType", False),
    ("Tools", True),
    ("Art, sounds and maps drawn by our own scripts", False),
    ("Font", True),
    ("DejaVu Sans, DejaVu fonts licence", False),
    ("(Bitstream Vera derived, free to use and share)", False),
    ("Thank you for playing!", True),
]


# name -> (draw function, extra description keys)
TEXTURES = {
    "coin": (coin, {}),
    "Treasure": (treasure_coin, {}),
    "TitleRobot": (title_robot, {}),
    "TitleStar": (title_star, {}),
    "TitleSparkle": (title_sparkle, {}),
    "Logo": (logo, {}),
    "Pickup": (pickup_word, {}),
    "colon_character": (colon_glyph, {}),
    "slash_character": (lambda: single_glyph("/"), {}),
    # Frame 0 is the top-left cell: a sheet without "bottomToTop" counts its rows from the top.
    "Number": (number_sheet, {"numFrames": 10, "numRows": 2, "numCols": 5, "frameTime": 0.1}),
    "PemmetRotationSpritesheet": (pemmet_rotation, {"numFrames": 8, "numRows": 2, "numCols": 4,
                                                    "frameTime": 0.1, "bottomToTop": True}),
    "PemmetMovingSpritesheet": (pemmet_moving, {"numFrames": 8, "numRows": 2, "numCols": 4,
                                                "frameTime": 0.08, "bottomToTop": True}),
    "p2sketch": (p2sketch, {}),
    "smoke_par": (smoke, {}),
    "ShimmerParticle": (shimmer, {}),
    "Circle_Par": (circle_ring, {}),
    "Circle_Full": (circle_full, {}),
    "StarParticle": (star, {}),
    "Volume_CoolVersion_Plus": (lambda: volume_button(True), {}),
    "Volume_CoolVersion_Minus": (lambda: volume_button(False), {}),
    "HouseTiles": (house_tiles, {"numFrames": 16, "numRows": 2, "numCols": 8, "frameTime": 0.1}),
    "HouseDecor": (house_decor, {"numFrames": 8, "numRows": 1, "numCols": 8, "frameTime": 0.1}),
    "PlayerBody": (player_body, {}),
    "PlayerEyes": (player_eyes, {}),
    "BatteryBar": (battery_bar, {}),
    "BufferSegment": (buffer_segment, {}),
    "Sprite_LaserOn": (laser_on, {"numFrames": 4, "numRows": 2, "numCols": 2, "frameTime": 0.05,
                                  "bottomToTop": True}),
    "Sprite_Laser": (laser_loop, {"numFrames": 4, "numRows": 2, "numCols": 2, "frameTime": 0.08,
                                  "bottomToTop": True}),
    "Sprite_LaserOff": (laser_off, {"numFrames": 4, "numRows": 2, "numCols": 2, "frameTime": 0.05,
                                    "bottomToTop": True}),
    "Sprite_counterANI": (counter_anim, {"numFrames": 4, "numRows": 1, "numCols": 4, "frameTime": 0.5,
                                         "bottomToTop": True}),
    "Sprite_ElevatorANI": (elevator_anim, {"numFrames": 4, "numRows": 2, "numCols": 2, "frameTime": 0.25,
                                           "bottomToTop": True}),
    "ChargingStation": (charging_station, {}),
    "Chute": (chute, {}),
    "Puddle": (puddle, {}),
    "Stairs": (stairs, {}),
    "Ledge": (ledge, {}),
}
for _n in range(1, 9):
    TEXTURES["Room%d" % _n] = ((lambda n=_n: room_name(n)), {})
for _name, _text in MENU_BUTTONS.items():
    TEXTURES[_name] = ((lambda t=_text: menu_button(t)), {})
for _name, _args in MENU_LABELS.items():
    TEXTURES[_name] = ((lambda a=_args: menu_label(*a)), {})
for _i, (_text, _heading) in enumerate(CREDITS_LINES):
    TEXTURES["Credits_%02d" % (_i + 1)] = ((lambda t=_text, h=_heading: credits_line(t, h)), {})
TEXTURES["Label_GameTitle"] = (title_label, {})
TEXTURES["Check_Checked"] = (lambda: checkbox(True), {})
TEXTURES["Check_Unchecked"] = (lambda: checkbox(False), {})
TEXTURES["Check"] = (lambda: checkbox(False), {})
TEXTURES["VolumeBar"] = (volume_bar, {})
TEXTURES["Blank"] = (blank, {})
TEXTURES["Panel_Dark"] = (dark_panel, {})


# ---------------------------------------------------------------- level fixtures placed by the scenes

def wall_pillar():
    """A stone pillar seen from above, filling its picture (its hit box): a square plinth with bevelled
    edges and a round column top."""
    size = 128
    k = size / 64.0
    c = Canvas(size, size)
    c.rect(0, 0, size, size, (120, 112, 104, 255))
    e = 7 * k
    c.polygon([(0, 0), (size, 0), (size - e, e), (e, e)], (168, 160, 150, 255))
    c.polygon([(0, 0), (e, e), (e, size - e), (0, size)], (150, 142, 132, 255))
    c.polygon([(size, 0), (size, size), (size - e, size - e), (size - e, e)], (88, 82, 76, 255))
    c.polygon([(0, size), (size, size), (size - e, size - e), (e, size - e)], (72, 66, 60, 255))
    disc(c, 32 * k, 32 * k, 21 * k, (70, 64, 58, 255))
    disc(c, 32 * k, 32 * k, 19 * k, (190, 182, 170, 255))
    ring(c, 32 * k, 32 * k, 19 * k, 3 * k, (150, 142, 132, 255))
    disc(c, 27 * k, 27 * k, 7 * k, (222, 216, 206, 200))
    return c


def eyes_happy_frame(k):
    """The player's eyes in the PlayerEyes layout (looking right, +x), squeezed shut into happy arcs
    that bulge forwards: frame 0 half shut, then the arcs with a sparkle that grows and fades."""
    c = Canvas(32, 32)
    for cy in (9, 23):
        if k == 0:
            c.circle(16, cy, 7, WHITE)
            c.circle(19, cy, 4, (20, 20, 30, 255))
            # The lid comes down over the back half of the eye.
            c.shape(lambda x, y, cy=cy: math.hypot(x - 16, y - cy) <= 7.2 and x < 17, (92, 170, 220, 255))
            c.shape(lambda x, y, cy=cy: math.hypot(x - 16, y - cy) <= 7.2 and 15.5 <= x < 17.5,
                    (40, 60, 90, 255))
        else:
            c.shape(lambda x, y, cy=cy: 4.5 <= math.hypot(x - 11, y - cy) <= 7.5 and x >= 11,
                    (255, 255, 255, 255))
            c.shape(lambda x, y, cy=cy: 5.5 <= math.hypot(x - 11, y - cy) <= 6.5 and x >= 11,
                    (20, 20, 30, 255))
    if k:
        size = (1.5, 3.0, 2.0)[k - 1]
        c.polygon(star_points(26, 16, size * 1.6, size * 0.6, 4, 0), (255, 240, 150, 255))
    return c


def eyes_happy():
    return sheet([eyes_happy_frame(k) for k in range(4)], 4, 1)


TEXTURES["WallPillar"] = (wall_pillar, {})
TEXTURES["EyesHappy"] = (eyes_happy, {"numFrames": 4, "numRows": 1, "numCols": 4, "frameTime": 0.3,
                                      "bottomToTop": True})


def outputs():
    for name, (draw, extra) in sorted(TEXTURES.items()):
        canvas = draw()
        description = {"FileType": "png"}
        description.update(extra)
        yield (os.path.join(IMAGE_DIR, name + ".png"), png_bytes(canvas.width, canvas.height, canvas.px))
        yield (os.path.join(DATA_DIR, name + ".json"), (json.dumps(description, indent=4) + "\n").encode())


def write_outputs(files, argv):
    """Writes each (path, bytes) pair whose file differs from it. With "--check" in argv nothing is
    written: the out-of-date files are listed and the result is 1."""
    check = "--check" in argv
    stale = []
    for path, data in files:
        try:
            with open(path, "rb") as f:
                same = f.read() == data
        except OSError:
            same = False
        if same:
            continue
        stale.append(path)
        if not check:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
    if check and stale:
        for path in stale:
            print("out of date: " + os.path.relpath(path, ROOT))
        return 1
    return 0


def main(argv):
    return write_outputs(outputs(), argv)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
