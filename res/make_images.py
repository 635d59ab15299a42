#!/usr/bin/env python3
"""Draws the program's pictures from the character grids below and writes them as PNG files.

Each character is one pixel of the 16-colour palette; '.' is transparent. Run it from anywhere:
    python3 res/make_images.py
"""
import os
import struct
import zlib

PALETTE = {
    '.': None,
    'k': (0, 0, 0), 'K': (128, 128, 128), 'w': (192, 192, 192), 'W': (255, 255, 255),
    'y': (255, 255, 0), 'Y': (128, 128, 0), 'r': (255, 0, 0), 'R': (128, 0, 0),
    'g': (0, 255, 0), 'G': (0, 128, 0), 'b': (0, 0, 255), 'B': (0, 0, 128),
    'c': (0, 255, 255), 'C': (0, 128, 128), 'm': (255, 0, 255), 'M': (128, 0, 128),
}


def grid(text, width, height):
    rows = [r for r in text.strip('\n').split('\n')]
    assert len(rows) == height, (len(rows), height, text)
    for r in rows:
        assert len(r) == width, (len(r), width, r)
    return rows


def side_by_side(*grids):
    return [''.join(parts) for parts in zip(*grids)]


def doubled(rows):
    out = []
    for r in rows:
        wide = ''.join(c * 2 for c in r)
        out += [wide, wide]
    return out


def write_png(path, rows):
    height, width = len(rows), len(rows[0])
    raw = b''
    for r in rows:
        raw += b'\0'
        for c in r:
            rgb = PALETTE[c]
            raw += bytes((0, 0, 0, 0)) if rgb is None else bytes(rgb + (255,))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

    png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')
    with open(path, 'wb') as f:
        f.write(png)


FOLDER_CLOSED = grid('''
................
.YYYY...........
YyyyyY..........
YyyyyyYYYYYYYY..
YWWWWWWWWWWWWYk.
YWyyyyyyyyyyyYk.
YWyyyyyyyyyyyYk.
YWyyyyyyyyyyyYk.
YWyyyyyyyyyyyYk.
YWyyyyyyyyyyyYk.
YWyyyyyyyyyyyYk.
YWyyyyyyyyyyyYk.
YYYYYYYYYYYYYYk.
.kkkkkkkkkkkkkk.
................
''', 16, 15)

FOLDER_OPEN = grid('''
................
.YYYY...........
YWWWWY..........
YWyyyWYYYYYYY...
YWyyyyyyyyyyY...
YWyYYYYYYYYYYYYk
YWYWWWWWWWWWWWYk
YYWyyyyyyyyyyYk.
YYWyyyyyyyyyyYk.
YWyyyyyyyyyyYk..
YWyyyyyyyyyyYk..
YyyyyyyyyyyYk...
YYYYYYYYYYYYk...
.kkkkkkkkkkk....
................
''', 16, 15)

ARCHIVE = grid('''
.kkkkkkkkk......
.kWWWWWWWkk.....
.kWWWWWWWkWk....
.kWWWWWWWkWWk...
.kWWWWWWWkkkkk..
.kWWWWWWWWWWWkK.
.kWWrrrWgggWWkK.
.kWWrrrWgggWWkK.
.kWWrrrWgggWWkK.
.kWWWWWWWWWWWkK.
.kWWbbbWyyyWWkK.
.kWWbbbWyyyWWkK.
.kWWbbbWyyyWWkK.
.kWWWWWWWWWWWkK.
.kkkkkkkkkkkkkK.
..KKKKKKKKKKKKK.
''', 16, 16)

PAGE = grid('''
..kkkkkkkk......
..kWWWWWWkk.....
..kWWWWWWkWk....
..kWWWWWWkkkk...
..kWKKKKWWWWk...
..kWWWWWWWWWk...
..kWKKKKKKKWk...
..kWWWWWWWWWk...
..kWKKKKKKKWk...
..kWWWWWWWWWk...
..kWKKKKKKKWk...
..kWWWWWWWWWk...
..kWKKKKKWWWk...
..kWWWWWWWWWk...
..kkkkkkkkkkk...
................
''', 16, 16)

BUTTON_EXTRACT = grid('''
.......GGGG.......
.......GggG.......
.......GggG.......
.......GggG.......
....GGGGggGGGG....
.....GggggggG.....
......GggggG......
.......GggG.......
..YYYY..GG........
.YyyyyY...........
.YyyyyyYYYYYYYY...
.YWWWWWWWWWWWWYk..
.YWyyyyyyyyyyyYk..
.YYYYYYYYYYYYYYk..
..kkkkkkkkkkkkkk..
''', 18, 15)

BUTTON_ABOUT = grid('''
.......BBBB.......
.....BBbbbbBB.....
....BbbWWWWbbB....
...BbbWWbbWWbbB...
...BbbbbbbWWbbB...
..BbbbbbbWWbbbbB..
..BbbbbbWWbbbbbB..
..BbbbbbWWbbbbbB..
..BbbbbbbbbbbbbB..
...BbbbbWWbbbbB...
...BbbbbWWbbbbB...
....BbbbbbbbbB....
.....BBbbbbBB.....
.......BBBB.......
..................
''', 18, 15)


def padded(rows, width):
    left = (width - len(rows[0])) // 2
    return ['.' * left + r + '.' * (width - len(r) - left) for r in rows]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = lambda name: os.path.join(here, name)
    write_png(out('folder_closed.png'), FOLDER_CLOSED)
    write_png(out('folder_open.png'), FOLDER_OPEN)
    write_png(out('archive.png'), ARCHIVE)
    write_png(out('archive_selected.png'), ARCHIVE)
    small_folder = FOLDER_CLOSED + ['.' * 16]
    write_png(out('list_small.png'), side_by_side(small_folder, PAGE))
    write_png(out('list_large.png'), side_by_side(doubled(small_folder), doubled(PAGE)))
    write_png(out('toolbar.png'), side_by_side(padded(FOLDER_OPEN, 18), BUTTON_EXTRACT, BUTTON_ABOUT))
    write_png(out('vorpex.png'), doubled(ARCHIVE))


if __name__ == '__main__':
    main()
