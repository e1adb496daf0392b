#!/usr/bin/env python3
"""Writes the benchmark inputs into a folder: images, label files and da65 info files.

usage: make_inputs.py FOLDER PROJECT_DIR
Each image NAME.bin comes with NAME.info for da65 (its start address) and a line in cases.txt:
NAME START OPTIONS...
"""
import os
import random
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'roundtrip'))
from roundtrip import atari_segments  # noqa: E402

SAMPLES = ['mousedemo', 'tgidemo', 'mandelbrot', 'gunzip65', 'sieve', 'ascii', 'hello']


def realistic(folder):
    """The code segments of cc65's samples compiled for the atari target, one after another."""
    image = b''
    for name in SAMPLES:
        out = os.path.join(folder, name + '.xex')
        subprocess.run(['cl65', '-t', 'atari', '-O', '-o', out, '/usr/share/cc65/samples/%s.c' % name],
                       cwd=folder, check=True, capture_output=True)
        image += max(atari_segments(open(out, 'rb').read()), key=lambda s: len(s[1]))[1]
        os.remove(out)
    return image[:0xC000]


def compiled_load_file(folder, name='mousedemo'):
    """A whole Atari load file: cc65's largest sample, with its system check, init and run."""
    out = os.path.join(folder, name + '.xex')
    subprocess.run(['cl65', '-t', 'atari', '-O', '-o', out, '/usr/share/cc65/samples/%s.c' % name],
                   cwd=folder, check=True, capture_output=True)
    data = open(out, 'rb').read()
    os.remove(out)
    return data


def segment(first, data, marker=False):
    """A load-file segment: an optional $FF,$FF marker, its first and last address, its bytes."""
    return (b'\xFF\xFF' if marker else b'') + struct.pack('<HH', first, first + len(data) - 1) + data


def three_layers(folder, code):
    """A load file in three layers: a title routine at $2000 run through INITAD, cc65's largest
    sample loaded over it (its system check run through INITAD too, its program with the run
    address), and 4 KB of other code loaded over the program at $3000 afterwards."""
    title = segment(0x2000, code[:0x400], True) + segment(0x02E2, struct.pack('<H', 0x2000))
    return title + compiled_load_file(folder) + segment(0x3000, code[0x400:0x1400], True)


def one_address(count):
    """count one-byte segments that all load at $5000, then a run address: as many layers."""
    return b'\xFF\xFF' + b''.join(segment(0x5000, bytes([0x60 - (i & 1) * 0x20]))
                                   for i in range(count)) + segment(0x02E0, b'\x00\x50')


def names_file(count):
    """An options file naming count addresses."""
    return ''.join('-n$%04X=name%d\n' % (0x4000 + 7 * i, i) for i in range(count))


def many_passes(blocks=(0x10000 - 3) // 3):
    """Each pass uncovers one more backward branch into bytes taken for data: the image starts
    with a jump to its last block; every block is an undefined byte (data up to the next entry
    point) and a branch back into the block before it. The largest that fits 64 KB by default."""
    image = bytearray(b'\x4C\x00\x00')
    for _ in range(blocks):
        image += b'\x02\xD0\xFB'  # undefined byte; bne back to the branch of the block before
    last = 3 + 3 * (blocks - 1)
    image[1:3] = struct.pack('<H', last + 1)
    return bytes(image), blocks


def label_file(count):
    """Names for count addresses spread over memory."""
    return ''.join('lbl%05d $%04x ; entry %d\n' % (i, (i * 13) & 0xFFFF, i) for i in range(count))


def main():
    main_into(sys.argv[1], sys.argv[2])


def main_into(folder, project, many_pass_blocks=(0x10000 - 3) // 3, big=True):
    os.makedirs(folder, exist_ok=True)
    cases = []

    def add(name, image, start, options=''):
        open(os.path.join(folder, name + '.bin'), 'wb').write(image)
        open(os.path.join(folder, name + '.info'), 'w').write(
            'global { inputname "%s.bin"; outputname "%s.s"; startaddr $%04X; };\n' % (name, name, start))
        cases.append('%s %04X %s' % (name, start, options))

    code = realistic(folder)
    add('realistic', code, 0x1000)
    add('realistic-labels', code, 0x1000, '-l')
    add('realistic-page', code, 0x1000, '-w')  # the same run with the page (-w)
    add('random', bytes(random.Random(64).randrange(256) for _ in range(0x10000)), 0x0000)
    add('undefined', b'\x02' * 0x10000, 0x0000)
    image, _ = many_passes(many_pass_blocks)
    add('many-passes', image, 0x0000)  # pass count: see many_passes()
    add('labels-5000', code, 0x1000, '-l:labels5000')
    table = b''.join(struct.pack('<H', 0x1000 + (i * 7) % len(code)) for i in range(len(code) // 4))
    add('address-table', table + code[len(table):], 0x1000, '-d -bad$1000')
    add('load-file', compiled_load_file(folder), 0x0000, '-x')  # da65 reads it as one block
    add('three-layers', three_layers(folder, code), 0x0000, '-x')
    add('one-address-40000', one_address(40000), 0x0000, '-x')
    add('one-address-13000-names', one_address(13000), 0x0000, '-x @names300.opt')
    open(os.path.join(folder, 'names300.opt'), 'w').write(names_file(300))
    if big:
        add('many-passes-1mb', image + b'\xEA' * (1 << 20), 0x0000)  # the bytes past $FFFF
        add('random-16mb', random.Random(16).randbytes(16 << 20), 0x0000)
    open(os.path.join(folder, 'labels5000.qvt'), 'w').write(label_file(5000))
    for reference in ('mnemo.qvt', 'memory.qvt'):
        open(os.path.join(folder, reference), 'wb').write(
            open(os.path.join(project, 'data', reference), 'rb').read())
    open(os.path.join(folder, 'cases.txt'), 'w').write('\n'.join(cases) + '\n')


if __name__ == '__main__':
    main()
