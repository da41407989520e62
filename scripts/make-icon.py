#!/usr/bin/env python3
"""Draws the utility's icon: 32 x 32 pixels, 16 colours, a yellow folder
with a green tick (the folder's access rights set right). Writes an .ico.

usage: make-icon.py OUT.ico
"""
import struct
import sys

# The 16 colours of the standard Windows palette, by the letter used below.
PALETTE = {
    'k': (0x00, 0x00, 0x00), 'm': (0x80, 0x00, 0x00), 'g': (0x00, 0x80, 0x00),
    'o': (0x80, 0x80, 0x00), 'n': (0x00, 0x00, 0x80), 'p': (0x80, 0x00, 0x80),
    't': (0x00, 0x80, 0x80), 's': (0xC0, 0xC0, 0xC0), 'd': (0x80, 0x80, 0x80),
    'r': (0xFF, 0x00, 0x00), 'l': (0x00, 0xFF, 0x00), 'y': (0xFF, 0xFF, 0x00),
    'b': (0x00, 0x00, 0xFF), 'f': (0xFF, 0x00, 0xFF), 'c': (0x00, 0xFF, 0xFF),
    'w': (0xFF, 0xFF, 0xFF),
}
ORDER = 'kmgonptsdrlybfcw'

# '.' is transparent.
PICTURE = """\
................................
................................
................................
................................
................................
..kkkkkkkkk.....................
.koyyyyyyyyk....................
.koyyyyyyyyykkkkkkkkkkkkkkkk....
.koyyyyyyyyyyyyyyyyyyyyyyyyok...
.kooooooooooooooooooooooooook...
.kowwwwwwwwwwwwwwwwwwwwwwwwwok..
.kowyyyyyyyyyyyyyyyyyyyyyyyyok..
.kowyyyyyyyyyyyyyyyyyyyyyyyyok..
.kowyyyyyyyyyyyyyyyyyyyyykkyok..
.kowyyyyyyyyyyyyyyyyyyyykllkok..
.kowyyyyyyyyyyyyyyyyyyykllgkok..
.kowyyyyyyyyyyyyyyyyyykllgkyok..
.kowyyyyyyyyyyyyyyyyykllgkyyok..
.kowyyyykkyyyyyyyyyykllgkyyyok..
.kowyyykllkyyyyyyyykllgkyyyyok..
.kowyyyykllkyyyyyykllgkyyyyyok..
.kowyyyyykllkyyyykllgkyyyyyyok..
.kowyyyyyykllkyykllgkyyyyyyyok..
.kowyyyyyyykllkkllgkyyyyyyyyok..
.kowyyyyyyyykllllgkyyyyyyyyyok..
.kowyyyyyyyyykllgkyyyyyyyyyyok..
.kowyyyyyyyyyykgkyyyyyyyyyyyok..
.kowyyyyyyyyyyykyyyyyyyyyyyyok..
.koooooooooooooooooooooooooook..
..kkkkkkkkkkkkkkkkkkkkkkkkkkk...
................................
................................
"""


def main(out_path):
    rows = PICTURE.splitlines()
    assert len(rows) == 32 and all(len(r) == 32 for r in rows), 'picture must be 32 x 32'
    index = {letter: i for i, letter in enumerate(ORDER)}

    # Bottom-up rows, two pixels a byte; the AND mask one bit a pixel.
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        pixels = [0 if c == '.' else index[c] for c in row]
        for x in range(0, 32, 2):
            xor.append(pixels[x] << 4 | pixels[x + 1])
        bits = 0
        for x, c in enumerate(row):
            if c == '.':
                bits |= 1 << (31 - x)
        mask += struct.pack('>I', bits)

    palette = b''.join(struct.pack('BBBB', *reversed(PALETTE[c]), 0) for c in ORDER)
    header = struct.pack('<IiiHHIIiiII', 40, 32, 64, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', 32, 32, 16, 0, 1, 4,
                                                           len(image), 6 + 16)
    with open(out_path, 'wb') as out:
        out.write(directory + image)


if __name__ == '__main__':
    main(sys.argv[1])
