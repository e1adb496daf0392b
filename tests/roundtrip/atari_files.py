"""Whole Atari files for the round trip: load files and cartridges compiled from cc65's samples,
and load files made here that hold the odd cases (layers of overlapping segments, repeated
$FF,$FF markers, adjacent segments, a zero-page segment, many init segments, one-byte
segments, a call from one segment into another), plus a raw ROM image with CPU vectors."""
import os
import random
import struct
import subprocess

SAMPLES_DIR = '/usr/share/cc65/samples'
XEX_SAMPLES = ['hello', 'sieve', 'mandelbrot', 'ascii', 'gunzip65', 'tgidemo', 'mousedemo']
CART_SAMPLES = [('hello', 0x2000), ('ascii', 0x2000), ('mandelbrot', 0x2000), ('hello', 0x4000)]
RUNAD, INITAD = 0x02E0, 0x02E2


def segment(first, data, marker=False):
    """A load-file segment: an optional $FF,$FF marker, the first and last address, the bytes."""
    return (b'\xFF\xFF' if marker else b'') + struct.pack('<HH', first, first + len(data) - 1) + data


def word_segment(address, value, marker=False):
    return segment(address, struct.pack('<H', value), marker)


def cartridge(rom, kind):
    """A .car file: "CART", the type, the checksum of the ROM (both big-endian), four zeros."""
    return b'CART' + struct.pack('>II', kind, sum(rom) & 0xFFFFFFFF) + b'\0' * 4 + rom


def routine(address, calls=(), fill=16):
    """Some code at the address: a load, a store, calls to the given addresses, a loop, rts."""
    code = b'\xA9\x01\x8D\x00\x06'  # lda #$01, sta $0600
    for target in calls:
        code += b'\x20' + struct.pack('<H', target)  # jsr
    code += b'\xA2\x04\xCA\xD0\xFD'  # ldx #$04, dex, bne back
    code += b'\x60'  # rts
    generator = random.Random(address)
    return code + bytes(generator.randrange(256) for _ in range(fill))


RELOCATION = '-r$A020-$A03F=$0700'


def relocated_file():
    """A loader at $A000 that copies its second half to $0700 and jumps there, for -r with
    RELOCATION: the copied routine calls and jumps within itself at $0700."""
    copy = bytes.fromhex('A200BD20A09D0007E8E020D0F54C0007')
    copy += bytes(0x20 - len(copy))
    moved = bytes.fromhex('A9002010074C0007') + bytes(8) + bytes.fromhex('E860')
    moved += bytes(0x20 - len(moved))
    return ('relocated.xex', segment(0xA000, copy + moved, True) +
            word_segment(RUNAD, 0xA000))


def synthetic_files():
    files = []
    # Two segments calling each other, the first one's routine as init, the second as run.
    files.append(('calls', b''.join([
        segment(0x3000, routine(0x3000, [0x4000]), True),
        segment(0x4000, routine(0x4000, [0x3000])),
        word_segment(INITAD, 0x3000),
        word_segment(RUNAD, 0x4000)])))
    # A loader overwritten by the program: two layers at the same address.
    files.append(('layers', b''.join([
        segment(0x3000, routine(0x3000, [0x3010], 40), True),
        word_segment(INITAD, 0x3000),
        segment(0x3000, routine(0x3000 + 1, [0x3020], 60)),
        segment(0x5000, routine(0x5000, [0x3000])),
        word_segment(RUNAD, 0x5000)])))
    # $FF,$FF before every segment, twice before one; adjacent segments kept apart.
    files.append(('markers-adjacent', b''.join([
        segment(0x4000, routine(0x4000, [0x4100], 230), True),
        segment(0x4100, routine(0x4100, [], 100), True),
        b'\xFF\xFF' + segment(0x4200, routine(0x4200, [0x4000]), True),
        word_segment(RUNAD, 0x4200, True)])))
    # A zero-page segment, one-byte segments, run and init in one four-byte segment.
    files.append(('zero-page-one-byte', b''.join([
        segment(0x0080, bytes(range(16)), True),
        segment(0x5000, b'\x60'),
        segment(0x5001, b'\xEA'),
        segment(0x2000, routine(0x2000, [0x5000])),
        segment(RUNAD, struct.pack('<HH', 0x2000, 0x5000))])))
    # Many init segments, each calling the one before.
    parts = [b'\xFF\xFF']
    for i in range(6):
        first = 0x6000 + 0x100 * i
        parts.append(segment(first, routine(first, [first - 0x100] if i else [])))
        parts.append(word_segment(INITAD, first))
    files.append(('many-inits', b''.join(parts)))
    # A cartridge of type 21 (8 KB right slot at $8000), its own trailer: init, run flag set.
    rom = bytearray(random.Random(21).randrange(256) for _ in range(0x2000))
    rom[0:len(routine(0x8000))] = routine(0x8000)
    rom[0x1FFA:0x2000] = struct.pack('<HBBH', 0x8000, 0, 0x04, 0x8000)
    files.append(('right-slot.car', cartridge(bytes(rom), 21)))
    # A raw ROM image at $E000 with its CPU vectors (read with -x and -a$E000).
    rom = bytearray(random.Random(7).randrange(256) for _ in range(0x2000))
    rom[0:len(routine(0xE000))] = routine(0xE000)
    rom[0x1FFA:0x2000] = struct.pack('<HHH', 0xE000, 0xE000, 0xE005)
    files.append(('os-rom.rom', bytes(rom)))
    return files


def compiled_files(work):
    """cc65's samples as whole load files (several segments, init and run), and some as
    cartridges (cc65's cartridge configuration gives the ROM; the header is added here)."""
    files = []
    for name in XEX_SAMPLES:
        out = os.path.join(work, name + '.xex')
        subprocess.run(['cl65', '-t', 'atari', '-O', '-o', out, os.path.join(SAMPLES_DIR, name + '.c')],
                       cwd=work, check=True, capture_output=True)
        files.append((name + '.xex', open(out, 'rb').read()))
        os.remove(out)
    for name, size in CART_SAMPLES:
        out = os.path.join(work, '%s-%d.rom' % (name, size))
        subprocess.run(['cl65', '-t', 'atari', '-C', 'atari-cart.cfg', '-Wl', '-D,__CARTSIZE__=%d' % size,
                        '-O', '-o', out, os.path.join(SAMPLES_DIR, name + '.c')],
                       cwd=work, check=True, capture_output=True)
        files.append(('%s-%dk.car' % (name, size // 1024), cartridge(open(out, 'rb').read(),
                                                                      1 if size == 0x2000 else 2)))
        os.remove(out)
    return files


PICTURES_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'bench', 'pictures')


def picture_files(work):
    """The load files of bench/pictures, built with ca65 and ld65: layers, init routines loaded
    over, interrupt routines installed by code, fonts and screens in segments of their own."""
    files = []
    for source in sorted(os.listdir(PICTURES_DIR)):
        if not source.endswith('.s'):
            continue
        name = source[:-2]
        base = os.path.join(PICTURES_DIR, name)
        subprocess.run(['ca65', base + '.s', '-o', name + '.o'], cwd=work, check=True,
                       capture_output=True)
        subprocess.run(['ld65', '-C', base + '.cfg', '-o', name + '.xex', name + '.o'], cwd=work,
                       check=True, capture_output=True)
        files.append((name + '.xex', open(os.path.join(work, name + '.xex'), 'rb').read()))
    return files


def load_segments(data):
    """The segments of a load file: (first address, bytes)."""
    segments, i = [], 0
    while i + 4 <= len(data):
        first, = struct.unpack_from('<H', data, i)
        if first == 0xFFFF:
            i += 2
            continue
        last, = struct.unpack_from('<H', data, i + 2)
        segments.append((first, data[i + 4:i + 5 + last - first]))
        i += 5 + last - first
    return segments


def main_block(name, data):
    """Where the largest piece of code of the file lies: (first address, length)."""
    if data.startswith(b'CART'):
        kind, = struct.unpack_from('>I', data, 4)
        return (0xA000 if kind == 1 else 0x8000), len(data) - 16
    if data.startswith(b'\xFF\xFF'):
        first, body = max(load_segments(data), key=lambda s: len(s[1]))
        return first, len(body)
    return 0xE000, len(data)
