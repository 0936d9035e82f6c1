#!/usr/bin/env python3
"""Writes FLI movies and 8-bit run-length AVI movies from the formats'
published layouts, for the movie reader tests (ffmpeg reads both but
writes neither).

  movie_files.py fli OUT WIDTH HEIGHT FRAMES
  movie_files.py rle8avi OUT WIDTH HEIGHT FRAMES

The pictures are colour indices of a moving pattern; the palette is a
colour ramp with black at entry 0.
"""
import struct
import sys


def palette():
    # Entry 0 is black: the black chunk gives index 0 to every pixel in
    # some readers and black to every pixel in others.
    return [(0, 0, 0)] + [((i * 4) % 256, 255 - i, (i * 37) % 256) for i in range(1, 256)]


def picture(w, h, k):
    """Colour indices, top line first, of frame k: bands that move with k
    and a square that travels, so that later frames change only in part."""
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            v = ((x // 3 + y // 2) % 7) * 9 + 1
            if (k // 3) * 2 <= y < (k // 3) * 2 + 5 and k * 3 <= x < k * 3 + 6:
                v = 200 + k
            row.append(v)
        rows.append(row)
    return rows


# --- FLI -----------------------------------------------------------------

def chunk(kind, data):
    return struct.pack('<IH', 6 + len(data), kind) + data


def colour_chunk(pal, kind):
    data = struct.pack('<HBB', 1, 0, 0) + bytes(c for rgb in pal for c in rgb)
    return chunk(kind, data)


def byte_run_line(line):
    packets = []
    i = 0
    while i < len(line):
        j = i
        while j < len(line) and line[j] == line[i] and j - i < 127:
            j += 1
        if j - i >= 3:
            packets.append(struct.pack('<bB', j - i, line[i]))
            i = j
            continue
        j = i
        while j < len(line) and j - i < 127 and not (j + 2 < len(line) and line[j] == line[j + 1] == line[j + 2]):
            j += 1
        packets.append(struct.pack('<b', -(j - i)) + bytes(line[i:j]))
        i = j
    assert len(packets) < 256
    return bytes([len(packets)]) + b''.join(packets)


def line_delta_line(line, before):
    packets = []
    x = 0
    while x < len(line):
        skip = 0
        while x < len(line) and line[x] == before[x] and skip < 255:
            x += 1
            skip += 1
        if x >= len(line):
            break
        j = x
        while j < len(line) and line[j] != before[j] and j - x < 127:
            j += 1
        if all(v == line[x] for v in line[x:j]) and j - x > 1:
            packets.append(struct.pack('<BbB', skip, -(j - x), line[x]))
        else:
            packets.append(struct.pack('<Bb', skip, j - x) + bytes(line[x:j]))
        x = j
    assert len(packets) < 256
    return bytes([len(packets)]) + b''.join(packets)


def line_delta(now, before):
    changed = [y for y in range(len(now)) if now[y] != before[y]]
    if not changed:
        return struct.pack('<hh', 0, 0)
    first, last = changed[0], changed[-1]
    body = b''.join(line_delta_line(now[y], before[y]) for y in range(first, last + 1))
    return struct.pack('<hh', first, last - first + 1) + body


def fli_frame(chunks):
    body = b''.join(chunks)
    return struct.pack('<IHH8x', 16 + len(body), 0xF1FA, len(chunks)) + body


def write_fli(path, w, h, count):
    pal = palette()
    frames = []
    shown = None
    for k in range(count):
        now = picture(w, h, k)
        if k == 0:
            chunks = [colour_chunk(pal, 4), chunk(15, b''.join(byte_run_line(l) for l in now))]
        elif k == 2:
            chunks = [chunk(16, b''.join(bytes(l) for l in now))]
        elif k == 3:
            now = shown  # a frame without chunks repeats the one before
            chunks = []
        elif k == 4:
            black = [[0] * w for _ in range(h)]
            # The palette again, black, then the picture as a delta over
            # black.
            chunks = [colour_chunk(pal, 4), chunk(13, b''), chunk(12, line_delta(now, black))]
        else:
            chunks = [chunk(12, line_delta(now, shown))]
        frames.append(fli_frame(chunks))
        shown = now
    body = b''.join(frames)
    header = struct.pack('<IHHHHHHH', 128 + len(body), 0xAF11, count, w, h, 8, 3, 5)
    header += bytes(128 - len(header))
    with open(path, 'wb') as f:
        f.write(header + body)


# --- RLE8 AVI --------------------------------------------------------------

def rle8_key(rows):
    out = bytearray()
    for line in reversed(rows):  # bottom line first
        i = 0
        while i < len(line):
            j = i
            while j < len(line) and line[j] == line[i] and j - i < 255:
                j += 1
            if j - i >= 2 or len(line) - i < 3:
                out += bytes([j - i, line[i]])
                i = j
                continue
            j = i
            while j < len(line) and j - i < 255 and not (j + 1 < len(line) and line[j] == line[j + 1]):
                j += 1
            if j - i < 3:
                out += bytes([1, line[i]])
                i += 1
                continue
            out += bytes([0, j - i]) + bytes(line[i:j])
            if (j - i) & 1:
                out += b'\x00'
            i = j
        out += b'\x00\x00'
    out += b'\x00\x01'
    return bytes(out)


def rle8_delta(rows, before):
    h = len(rows)
    out = bytearray()
    y = 0
    x = 0
    bottom_up = list(reversed(rows))
    bottom_before = list(reversed(before))
    for row in range(h):
        line, old = bottom_up[row], bottom_before[row]
        for c in range(len(line)):
            if line[c] == old[c]:
                continue
            # Move to (c, row) from (x, y): never down, never left on a row.
            if row > y:
                if c < x:
                    out += b'\x00\x00'  # end of line
                    y += 1
                    x = 0
                if row > y:
                    out += bytes([0, 2, 0, row - y])
                    y = row
            if c > x:
                out += bytes([0, 2, c - x, 0])
                x = c
            out += bytes([1, line[c]])
            x += 1
    out += b'\x00\x01'
    return bytes(out)


def riff_chunk(fourcc, data):
    pad = b'\x00' if len(data) & 1 else b''
    return fourcc + struct.pack('<I', len(data)) + data + pad


def riff_list(kind, fourcc, data):
    return kind + struct.pack('<I', 4 + len(data)) + fourcc + data


def write_rle8_avi(path, w, h, count):
    pal = palette()
    samples = []
    before = None
    for k in range(count):
        now = picture(w, h, k)
        key = k % 5 == 0
        samples.append((rle8_key(now) if key else rle8_delta(now, before), key))
        before = now
    avih = struct.pack('<10I4x4x4x4x', 40000, 0, 0, 0x10, count, 0, 1, 0, w, h)
    strh = b'vids' + b'mrle' + struct.pack('<IHHIIIIIIII4h', 0, 0, 0, 0, 1, 25, 0, count, 0, 0xFFFFFFFF, 0, 0, 0, w, h)
    strf = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 8, 1, w * h, 0, 0, 256, 0)
    strf += b''.join(bytes([b, g, r, 0]) for (r, g, b) in pal)
    hdrl = riff_list(b'LIST', b'hdrl', riff_chunk(b'avih', avih) +
                     riff_list(b'LIST', b'strl', riff_chunk(b'strh', strh) + riff_chunk(b'strf', strf)))
    movi_data = b''
    index = b''
    for data, key in samples:
        index += b'00dc' + struct.pack('<III', 0x10 if key else 0, 4 + len(movi_data), len(data))
        movi_data += riff_chunk(b'00dc', data)
    movi = riff_list(b'LIST', b'movi', movi_data)
    body = b'AVI ' + hdrl + movi + riff_chunk(b'idx1', index)
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', len(body)) + body)


if __name__ == '__main__':
    kind, out, w, h, n = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
    {'fli': write_fli, 'rle8avi': write_rle8_avi}[kind](out, w, h, n)
