#!/usr/bin/env python3
"""Builds one VELKOR result again with ca65 and compares the bytes with what VELKOR read.

    rebuild.py RESULT EXPECTED START      (START: the address of a raw image in hex digits,
                                           or "atari" for a whole Atari file)

Exit status 0 when the bytes are the same (a branch that wraps around the address space, which
no assembler can write, is built as bytes and counts as the same), 1 with the difference on
standard output when not.
"""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roundtrip import rebuild_with_ca65  # noqa: E402


def main():
    result, expected, where = sys.argv[1:4]
    source = open(result, 'rb').read().decode('latin-1')
    image = open(expected, 'rb').read()
    start = None if where == 'atari' else int(where.lstrip('$'), 16)
    with tempfile.TemporaryDirectory() as folder:
        problem, _ = rebuild_with_ca65(folder, source, '6502', start)
        if problem:
            print(problem)
            return 1
        rebuilt = open(os.path.join(folder, 'rebuilt.bin'), 'rb').read()
    if rebuilt != image:
        first = next((i for i in range(min(len(rebuilt), len(image))) if rebuilt[i] != image[i]),
                     min(len(rebuilt), len(image)))
        print('bytes differ at offset %d (%d bytes read, %d built)' % (first, len(image), len(rebuilt)))
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
