#!/usr/bin/env python3
"""Draws the pictures and the chime that ship next to the program, and the
application icon for the desktop's icon theme.

  make_program_files.py PROGRAM_FOLDER
      the pictures and the chime, committed under resources/program/; run this
      again only to change them
  make_program_files.py --icons ICON_FOLDER SIZE...
      the application icon "mindrel" as ICON_FOLDER/hicolor/SIZExSIZE/apps/
      mindrel.png for each SIZE; the build makes these
Event icons are 32 x 32 24-bit BMP files whose bottom-left pixel carries the
transparent colour (magenta); button pictures are 16 x 16 PNG files with alpha.
"""

import math
import os
import struct
import sys
import zlib

MAGENTA = (255, 0, 255)
SAMPLES = 4  # supersampling per axis


class Canvas:
    """RGBA floating canvas; shapes are inside-tests in pixel coordinates."""

    def __init__(self, size):
        self.size = size
        self.pixels = [[(0.0, 0.0, 0.0, 0.0) for _ in range(size)] for _ in range(size)]

    def fill(self, inside, colour, alpha=1.0):
        n = self.size
        for y in range(n):
            for x in range(n):
                hits = 0
                for sy in range(SAMPLES):
                    for sx in range(SAMPLES):
                        if inside(x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES):
                            hits += 1
                if hits:
                    cover = alpha * hits / (SAMPLES * SAMPLES)
                    r, g, b, a = self.pixels[y][x]
                    out_a = cover + a * (1 - cover)
                    mix = lambda c_new, c_old: (c_new * cover + c_old * a * (1 - cover)) / out_a
                    self.pixels[y][x] = (mix(colour[0], r), mix(colour[1], g), mix(colour[2], b), out_a)

    def keyed(self, key):
        """Rows of RGB tuples for a colour-keyed bitmap: mostly covered pixels keep
        their own colour, the rest become the key, so no key-coloured fringe shows
        once the key is made transparent."""
        return [[tuple(int(round(c)) for c in (r, g, b)) if a >= 0.5 else key for r, g, b, a in row]
                for row in self.pixels]


class ScaledCanvas(Canvas):
    """A canvas of any size whose shapes are drawn in the 32 x 32 design grid."""

    def __init__(self, size):
        super().__init__(size)
        self.scale = 32.0 / size

    def fill(self, inside, colour, alpha=1.0):
        k = self.scale
        super().fill(lambda x, y: inside(x * k, y * k), colour, alpha)


# Shape helpers -------------------------------------------------------------

def circle(cx, cy, radius):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def ring(cx, cy, outer, inner):
    return lambda x, y: inner ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= outer ** 2


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def segment(x0, y0, x1, y1, width):
    def inside(x, y):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2
    return inside


def arc(cx, cy, radius, width, start_deg, end_deg):
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - radius) > width / 2:
            return False
        angle = math.degrees(math.atan2(cy - y, x - cx)) % 360
        return (angle - start_deg) % 360 <= (end_deg - start_deg) % 360
    return inside


def heart(cx, cy, scale):
    def inside(x, y):
        u = (x - cx) / scale
        v = -(y - cy) / scale
        return (u * u + v * v - 1) ** 3 - u * u * v ** 3 <= 0
    return inside


def either(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, hole):
    return lambda x, y: shape(x, y) and not hole(x, y)


# Event icons ------------------------------------------------------------------

def birth():
    c = Canvas(32)
    c.fill(rounded_rect(5, 17, 27, 29, 2), (236, 160, 190))
    c.fill(rect(5, 21, 27, 22.5), (255, 240, 245))
    c.fill(rect(5, 25.5, 27, 27), (200, 110, 150))
    c.fill(rounded_rect(8, 12, 24, 18, 1.5), (250, 205, 220))
    for x in (11, 16, 21):
        c.fill(rect(x - 1, 6, x + 1, 12), (120, 170, 230))
        c.fill(polygon([(x, 1.5), (x + 1.8, 4.5), (x, 6.2), (x - 1.8, 4.5)]), (255, 180, 40))
    return c


def marriage():
    c = Canvas(32)
    gold, light = (212, 160, 40), (250, 220, 120)
    c.fill(ring(12, 18, 9, 6.5), gold)
    c.fill(ring(20, 18, 9, 6.5), gold)
    c.fill(arc(12, 18, 8.2, 1.2, 100, 170), light)
    c.fill(arc(20, 18, 8.2, 1.2, 100, 170), light)
    c.fill(polygon([(16, 3), (19, 6.5), (16, 10), (13, 6.5)]), (170, 220, 250))
    return c


def divorce():
    c = Canvas(32)
    crack = polygon([(15, 4), (18, 11), (14, 16), (18, 22), (16, 30), (17.5, 30), (19.5, 22), (15.5, 16), (19.5, 11), (16.5, 4)])
    c.fill(minus(heart(16, 17, 12), crack), (200, 40, 50))
    c.fill(minus(heart(12.5, 13.5, 4), crack), (235, 110, 110))
    return c


def death():
    c = Canvas(32)
    c.fill(rect(3, 27, 29, 30), (90, 140, 70))
    stone = either(circle(16, 12, 9), rect(7, 12, 25, 28))
    c.fill(stone, (150, 150, 160))
    c.fill(either(circle(14, 11, 6), rect(9, 11, 19, 27)), (175, 175, 185))
    c.fill(either(rect(15, 7, 17, 21), rect(12, 10.5, 20, 12.5)), (70, 70, 80))
    return c


def calendar(c):
    c.fill(rounded_rect(4, 6, 28, 29, 2), (245, 245, 245))
    c.fill(rounded_rect(4, 6, 28, 12, 2), (60, 110, 190))
    c.fill(rect(4, 10, 28, 12), (60, 110, 190))
    for x in (10, 22):
        c.fill(rounded_rect(x - 1.2, 3, x + 1.2, 9, 1), (90, 90, 100))
    border = minus(rounded_rect(4, 6, 28, 29, 2), rounded_rect(5, 7, 27, 28, 1.5))
    c.fill(border, (120, 120, 130))


def added_fixed():
    c = Canvas(32)
    calendar(c)
    for row in range(3):
        for col in range(4):
            x, y = 7.5 + col * 5, 15 + row * 4.3
            c.fill(rect(x, y, x + 3, y + 2.5), (190, 200, 215))
    c.fill(rect(17.5, 19.3, 20.5, 21.8), (220, 60, 60))
    c.fill(ring(19, 20.5, 4, 2.8), (220, 60, 60))
    return c


def added_annual():
    c = Canvas(32)
    calendar(c)
    c.fill(arc(16, 20.5, 5.5, 2, 40, 320), (40, 150, 90))
    c.fill(polygon([(19.5, 13.5), (24.5, 15.5), (20.5, 19)]), (40, 150, 90))
    return c


def yahrzeit():
    """A memorial candle burning in its glass."""
    c = Canvas(32)
    c.fill(rounded_rect(9, 13, 23, 30, 2), (190, 200, 215))
    c.fill(rounded_rect(10.5, 16, 21.5, 28.5, 1.5), (250, 245, 230))
    c.fill(rect(9, 28.5, 23, 30), (140, 150, 170))
    c.fill(rect(15.4, 11, 16.6, 16), (70, 70, 70))
    c.fill(polygon([(16, 1.5), (19, 7.5), (18.4, 10.5), (16, 12.5), (13.6, 10.5), (13, 7.5)]), (250, 160, 30))
    c.fill(polygon([(16, 5.5), (17.6, 9.2), (16, 11.5), (14.4, 9.2)]), (255, 235, 140))
    return c


def application(size):
    """A calendar page with a heart: anniversaries of the family."""
    c = ScaledCanvas(size)
    calendar(c)
    c.fill(heart(16, 20, 6.2), (200, 40, 50))
    c.fill(heart(14.2, 18.4, 2.2), (235, 110, 110))
    return c


def no_icon():
    c = Canvas(32)
    c.fill(circle(16, 16, 11), (200, 205, 215))
    c.fill(circle(16, 16, 9), (230, 232, 238))
    c.fill(circle(16, 16, 3), (150, 155, 170))
    return c


# Tool bar pictures ---------------------------------------------------------------

def options():
    c = Canvas(16)
    for i, knob in enumerate((5, 11, 7)):
        y = 3.5 + i * 4.5
        c.fill(rect(2, y - 0.6, 14, y + 0.6), (90, 90, 100))
        c.fill(rounded_rect(knob - 1.5, y - 2, knob + 1.5, y + 2, 0.8), (60, 110, 190))
    return c


def refresh():
    c = Canvas(16)
    c.fill(arc(8, 8.5, 5, 2, 60, 360), (40, 150, 90))
    c.fill(polygon([(9.5, 0.8), (14.5, 3.8), (9.5, 6.8)]), (40, 150, 90))
    return c


def context_help():
    c = Canvas(16)
    c.fill(polygon([(1, 1), (1, 12), (3.8, 9.5), (5.8, 14), (7.6, 13.2), (5.6, 8.8), (9, 8.8)]), (30, 30, 30))
    c.fill(arc(12, 4.5, 2.5, 1.4, 270, 180), (60, 110, 190))
    c.fill(rect(11.3, 7, 12.7, 9.5), (60, 110, 190))
    c.fill(circle(12, 12, 0.9), (60, 110, 190))
    return c


def help_book():
    c = Canvas(16)
    c.fill(rounded_rect(1.5, 1.5, 14.5, 14.5, 2.5), (60, 110, 190))
    c.fill(arc(8, 6, 2.8, 1.6, 270, 180), (255, 255, 255))
    c.fill(rect(7.2, 8.5, 8.8, 10.5), (255, 255, 255))
    c.fill(circle(8, 12.5, 1), (255, 255, 255))
    return c


def close():
    c = Canvas(16)
    c.fill(segment(3.5, 3.5, 12.5, 12.5, 2.4), (200, 50, 50))
    c.fill(segment(12.5, 3.5, 3.5, 12.5, 2.4), (200, 50, 50))
    return c


def event_formats():
    c = Canvas(16)
    c.fill(rounded_rect(1.5, 2, 11.5, 14.5, 1), (245, 245, 245))
    c.fill(minus(rounded_rect(1.5, 2, 11.5, 14.5, 1), rounded_rect(2.5, 3, 10.5, 13.5, 0.5)), (120, 120, 130))
    for y in (5, 8, 11):
        c.fill(rect(4, y - 0.5, 9, y + 0.5), (150, 150, 160))
    c.fill(segment(14, 2.5, 7.5, 9, 2.2), (212, 160, 40))
    c.fill(polygon([(6.3, 8.2), (8.3, 10.2), (5.5, 11)]), (60, 60, 70))
    return c


def added_events():
    c = Canvas(16)
    c.fill(rounded_rect(1.5, 3, 12.5, 14.5, 1), (245, 245, 245))
    c.fill(rect(1.5, 3, 12.5, 6), (60, 110, 190))
    c.fill(minus(rounded_rect(1.5, 3, 12.5, 14.5, 1), rounded_rect(2.5, 4, 11.5, 13.5, 0.5)), (120, 120, 130))
    c.fill(either(rect(10.8, 8, 12.8, 15), rect(8.3, 10.5, 15.3, 12.5)), (40, 150, 90))
    return c


def ignore_list():
    c = Canvas(16)
    c.fill(ring(8, 8, 7, 4.8), (200, 50, 50))
    c.fill(segment(3.5, 12.5, 12.5, 3.5, 2.2), (200, 50, 50))
    return c


def folder(c):
    c.fill(rounded_rect(1, 3, 7, 6, 1), (222, 170, 60))
    c.fill(rounded_rect(1, 5, 15, 14, 1), (240, 195, 80))


def add_folder():
    c = Canvas(16)
    folder(c)
    c.fill(either(rect(7.2, 6.8, 8.8, 12.8), rect(5, 9, 11, 10.6)), (40, 130, 70))
    return c


def remove_folder():
    c = Canvas(16)
    folder(c)
    c.fill(rect(5, 9, 11, 10.6), (200, 50, 50))
    return c


# Writers --------------------------------------------------------------------

def write_bmp(path, rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        data += line
    header = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + data)


def write_png(path, canvas):
    raw = bytearray()
    for row in canvas.pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes(int(round(v)) for v in (r, g, b)) + bytes((int(round(a * 255)),))

    def chunk(kind, payload):
        return struct.pack('>I', len(payload)) + kind + payload + struct.pack('>I', zlib.crc32(kind + payload) & 0xFFFFFFFF)

    size = canvas.size
    png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b'')
    with open(path, 'wb') as f:
        f.write(png)


def write_chime(path, rate=22050):
    """Two soft bell notes, a major third apart, about a second long."""
    notes = [(0.0, 1046.5), (0.16, 1318.5)]
    length = int(rate * 1.1)
    samples = []
    for i in range(length):
        t = i / rate
        value = 0.0
        for start, freq in notes:
            if t >= start:
                u = t - start
                envelope = math.exp(-4.0 * u) * min(1.0, u / 0.004)
                value += envelope * (math.sin(2 * math.pi * freq * u) + 0.35 * math.sin(2 * math.pi * 2.01 * freq * u)
                                     + 0.12 * math.sin(2 * math.pi * 3.02 * freq * u))
        fade = min(1.0, (length - i) / (0.05 * rate))
        samples.append(int(max(-1.0, min(1.0, 0.32 * value * fade)) * 32767))
    data = struct.pack('<%dh' % len(samples), *samples)
    fmt = struct.pack('<HHIIHH', 1, 1, rate, rate * 2, 2, 16)
    riff = b'WAVE' + b'fmt ' + struct.pack('<I', len(fmt)) + fmt + b'data' + struct.pack('<I', len(data)) + data
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', len(riff)) + riff)


def write_program_files(folder):
    os.makedirs(folder, exist_ok=True)
    icons = {'Birth': birth, 'Marriage': marriage, 'Divorce': divorce, 'Death': death,
             'Added fixed': added_fixed, 'Added annual': added_annual, 'Yahrzeit': yahrzeit, 'NoIcon': no_icon}
    for name, draw in icons.items():
        rows = draw().keyed(MAGENTA)
        assert rows[-1][0] == MAGENTA, name + ': the bottom-left pixel must carry the transparent colour'
        write_bmp(os.path.join(folder, name + '.bmp'), rows)
    tools = {'Options': options, 'Refresh': refresh, 'ContextHelp': context_help, 'Help': help_book, 'Close': close,
             'EventFormats': event_formats, 'AddedEvents': added_events, 'IgnoreList': ignore_list,
             'AddFolder': add_folder, 'RemoveFolder': remove_folder}
    for name, draw in tools.items():
        write_png(os.path.join(folder, 'Button ' + name + '.png'), draw())
    write_chime(os.path.join(folder, 'Alert.wav'))


def write_application_icons(icon_folder, sizes):
    for size in sizes:
        apps = os.path.join(icon_folder, 'hicolor', '%dx%d' % (size, size), 'apps')
        os.makedirs(apps, exist_ok=True)
        write_png(os.path.join(apps, 'mindrel.png'), application(size))


if __name__ == '__main__':
    if len(sys.argv) > 3 and sys.argv[1] == '--icons':
        write_application_icons(sys.argv[2], [int(size) for size in sys.argv[3:]])
    else:
        write_program_files(sys.argv[1] if len(sys.argv) > 1 else 'resources/program')
