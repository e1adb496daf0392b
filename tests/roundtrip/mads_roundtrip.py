#!/usr/bin/env python3
"""Reassembles VELKOR's results with MADS, the assembler of its syntax, and compares the bytes
with what it read: every raw image of the ca65 round trip's corpus, and every load file and
cartridge of it read with -x, each in the modes that change what is code and what labels say;
and an image of real code and one of random bytes with each of the other instruction sets.

    mads_roundtrip.py VELKOR PROJECT_DIR MADS
"""
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from atari_files import RELOCATION, compiled_files, picture_files, relocated_file  # noqa: E402
from atari_files import synthetic_files  # noqa: E402
from roundtrip import build_corpus  # noqa: E402

MODES = [('default', []), ('labels', ['-l']), ('strings', ['-sa']), ('mnemonics-off', ['-m']),
         ('data-blocks', ['-d'])]
TABLES = ['mnemo-undocumented.qvt', 'mnemo-65c02.qvt']


def main():
    velkor, project, mads = (os.path.abspath(a) for a in sys.argv[1:4])
    passed = failed = limited = 0
    with tempfile.TemporaryDirectory() as work:
        for reference in ('mnemo.qvt', 'memory.qvt'):
            shutil.copy(os.path.join(project, 'data', reference), work)
        runs = [(name, data, ['-x']) for name, data in
                compiled_files(work) + synthetic_files() + picture_files(work)]
        name, data = relocated_file()
        runs.append((name, data, ['-x', RELOCATION]))
        corpus = [(name, image, ['-a$%04X' % start]) for name, image, start in build_corpus(work)
                  if 0 <= start and start + len(image) <= 0x10000]
        runs += corpus
        # The other instruction sets: real code and random bytes.
        runs += [(name, data, how, table) for name, data, how in (corpus[0], corpus[-2])
                 for table in TABLES]
        for name, data, how, *table in runs:
            open(os.path.join(work, 'image.bin'), 'wb').write(data)
            shutil.copy(os.path.join(project, 'data', table[0] if table else 'mnemo.qvt'),
                        os.path.join(work, 'mnemo.qvt'))
            if table:
                name += ' with ' + table[0]
            for mode, options in (MODES[:3] if table else MODES):
                for leftover in ('image.asm', 'image.out'):
                    if os.path.exists(os.path.join(work, leftover)):
                        os.remove(os.path.join(work, leftover))
                run = subprocess.run([velkor, 'image.bin'] + how + options, cwd=work,
                                     capture_output=True)
                built = subprocess.run([mads, 'image.asm', '-o:image.out'], cwd=work,
                                       capture_output=True)
                out = os.path.join(work, 'image.out')
                if b'Branch out of range' in built.stdout and name.startswith('random'):
                    # A branch whose target wraps around $0000/$FFFF: a known limit (README).
                    limited += 1
                    continue
                if run.returncode != 0 or built.returncode != 0 or not os.path.exists(out):
                    problem = 'velkor %d, mads %d: %s' % (run.returncode, built.returncode,
                                                          built.stdout.decode('latin-1')[-300:])
                elif open(out, 'rb').read() != data:
                    problem = 'different bytes'
                else:
                    passed += 1
                    continue
                failed += 1
                print('FAIL %s %s: %s' % (name, mode, problem))
    print('%d passed, %d failed' % (passed, failed))
    if limited:
        print('(%d runs of random bytes left out: a branch wraps around the address space)' %
              limited)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
