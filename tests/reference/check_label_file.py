#!/usr/bin/env python3
"""Checks the shipped label file against the Atari hardware map: every address it names twice is
a register that reads as one thing and is written as another, and its two entries are marked,
(w) on the name the map gives for writing and (r) on the one for reading. An address named twice
without marks, a mark on the wrong name, or a pair the map does not know is reported.

    check_label_file.py MEMORY_QVT
"""
import re
import sys

# The registers of GTIA, POKEY and ANTIC with a name for writing and another for reading.
PAIRS = {
    0xD000: ('hposp0', 'm0pf'), 0xD001: ('hposp1', 'm1pf'), 0xD002: ('hposp2', 'm2pf'),
    0xD003: ('hposp3', 'm3pf'), 0xD004: ('hposm0', 'p0pf'), 0xD005: ('hposm1', 'p1pf'),
    0xD006: ('hposm2', 'p2pf'), 0xD007: ('hposm3', 'p3pf'), 0xD008: ('sizep0', 'm0pl'),
    0xD009: ('sizep1', 'm1pl'), 0xD00A: ('sizep2', 'm2pl'), 0xD00B: ('sizep3', 'm3pl'),
    0xD00C: ('sizem', 'p0pl'), 0xD00D: ('grafp0', 'p1pl'), 0xD00E: ('grafp1', 'p2pl'),
    0xD00F: ('grafp2', 'p3pl'), 0xD010: ('grafp3', 'trig0'), 0xD011: ('grafm', 'trig1'),
    0xD012: ('colpm0', 'trig2'), 0xD013: ('colpm1', 'trig3'), 0xD014: ('colpm2', 'pal'),
    0xD200: ('audf1', 'pot0'), 0xD201: ('audc1', 'pot1'), 0xD202: ('audf2', 'pot2'),
    0xD203: ('audc2', 'pot3'), 0xD204: ('audf3', 'pot4'), 0xD205: ('audc3', 'pot5'),
    0xD206: ('audf4', 'pot6'), 0xD207: ('audc4', 'pot7'), 0xD208: ('audctl', 'allpot'),
    0xD209: ('stimer', 'kbcode'), 0xD20A: ('skres', 'random'), 0xD20D: ('serout', 'serin'),
    0xD20E: ('irqen', 'irqst'), 0xD20F: ('skctl', 'skstat'), 0xD40F: ('nmires', 'nmist'),
}


def main():
    entries = {}
    for number, line in enumerate(open(sys.argv[1], encoding='latin-1'), 1):
        match = re.match(r'^([^\s;$]+)[ \t]+\$([0-9A-Fa-f]{4})[^;]*(?:;[ \t]*(.*))?$', line.rstrip('\n'))
        if not match or '+' in match.group(1):
            continue
        mark = re.match(r'\(([rRwW])\)', match.group(3) or '')
        entries.setdefault(int(match.group(2), 16), []).append(
            (number, match.group(1).lower(), mark.group(1).lower() if mark else None))
    problems = []
    for address, names in sorted(entries.items()):
        marked = [n for n in names if n[2]]
        if len(names) < 2 and not marked:
            continue
        pair = PAIRS.get(address)
        if pair is None:
            problems.append('$%04X: %s, but the hardware map has no read/write pair there' %
                            (address, ', '.join(n[1] for n in names)))
            continue
        for number, name, mark in names:
            expected = 'w' if name == pair[0] else 'r' if name == pair[1] else None
            if mark != expected:
                problems.append('line %d: %s at $%04X is marked %s, the map says %s' %
                                (number, name, address, mark, expected))
    for address, pair in sorted(PAIRS.items()):
        if len(entries.get(address, [])) < 2:
            problems.append('$%04X: the pair %s/%s is not named twice' % ((address,) + pair))
    for problem in problems:
        print(problem)
    print('%d pairs checked, %d problems' % (len(PAIRS), len(problems)))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
