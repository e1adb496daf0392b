#!/usr/bin/env python3
"""How well VELKOR reads multi-segment Atari load files with -x, against the truth their own
assembler gives: ca65 and ld65 build each program of bench/pictures/ into a load file, and ld65's
debug information (--dbgfile) tells for every loaded byte, by its offset in the file, whether
the source wrote an instruction or data there.

Two figures for each file and in total, for each VELKOR given:
  agreement  the share of those bytes that VELKOR writes as the source did (instruction or data);
  code found the share of the source's instruction bytes that VELKOR writes as instructions.

usage: picture_share.py PROJECT_DIR VELKOR [VELKOR ...]   (e.g. the build before a change, then
       the one after it)
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from code_share import result_items  # noqa: E402

PROGRAMS = ['game', 'layers3', 'mixed']


def build(folder, name):
    source = os.path.join(HERE, 'pictures', name)
    subprocess.run(['ca65', '-g', source + '.s', '-o', name + '.o'], cwd=folder, check=True)
    subprocess.run(['ld65', '-C', source + '.cfg', '--dbgfile', name + '.dbg', '-o', name + '.xex',
                    name + '.o'], cwd=folder, check=True)
    return os.path.join(folder, name + '.xex'), os.path.join(folder, name + '.dbg')


def truth(dbg):
    """File offset -> True (instruction) or False (data), from the spans of source lines: a
    typed span is data (.byte, .word), an untyped one an instruction, unless it is longer than
    any instruction (.res). Spans of scopes alone say nothing."""
    segments, spans, lines = {}, {}, set()
    for line in open(dbg):
        kind, _, rest = line.rstrip('\n').partition('\t')
        fields = dict(f.split('=', 1) for f in rest.split(',') if '=' in f)
        if kind == 'seg' and 'ooffs' in fields:
            segments[fields['id']] = int(fields['ooffs'])
        elif kind == 'span':
            spans[fields['id']] = (fields['seg'], int(fields['start']), int(fields['size']),
                                   'type' in fields)
        elif kind == 'line' and 'span' in fields:
            lines.update(fields['span'].split('+'))
    kinds = {}
    for span in lines:
        seg, start, size, typed = spans[span]
        if seg in segments:
            for offset in range(segments[seg] + start, segments[seg] + start + size):
                kinds[offset] = not typed and size <= 3
    return kinds


def segment_offsets(data):
    """The file offset of each segment's first byte, and its first address, in file order."""
    result, offset = [], 0
    while offset + 4 <= len(data):
        if data[offset:offset + 2] == b'\xFF\xFF':
            offset += 2
            continue
        first, last = struct.unpack_from('<HH', data, offset)
        result.append((offset + 4, first))
        offset += 4 + last - first + 1
    return result


def classified(asm, segments):
    """File offset -> True (written as an instruction) or False (as data), from a result."""
    kinds, offset, base = {}, None, None
    for item in result_items(asm):
        if item[0] == 'segment':
            base, offset = segments[item[1] - 1], None  # the header bytes load nowhere
        elif item[0] == 'org':
            offset = base[0] + item[2] - base[1]
        elif offset is not None:
            for k in range(offset, offset + item[2]):
                kinds[k] = item[1]
            offset += item[2]
    return kinds


def main():
    project = os.path.abspath(sys.argv[1])
    binaries = [os.path.abspath(b) for b in sys.argv[2:]]
    work = tempfile.mkdtemp()
    shutil.copy(os.path.join(project, 'data', 'mnemo.qvt'), work)
    totals = [[0, 0, 0, 0] for _ in binaries]
    print('| file | bytes | code | ' + ' | '.join('agreement, code found (%d)' % (i + 1)
                                                 for i in range(len(binaries))) + ' |')
    print('|---|---|---|' + '---|' * len(binaries))
    for name in PROGRAMS:
        xex, dbg = build(work, name)
        known = truth(dbg)
        segments = segment_offsets(open(xex, 'rb').read())
        code = [k for k, v in known.items() if v]
        cells = []
        for i, binary in enumerate(binaries):
            subprocess.run([binary, name + '.xex', '-x'], cwd=work, check=True, capture_output=True)
            found = classified(os.path.join(work, name + '.asm'), segments)
            agree = sum(1 for k, v in known.items() if found.get(k) == v)
            hit = sum(1 for k in code if found.get(k))
            for j, value in enumerate((agree, len(known), hit, len(code))):
                totals[i][j] += value
            cells.append('%.1f %%, %.1f %%' % (100.0 * agree / len(known), 100.0 * hit / len(code)))
        print('| %s | %d | %d | %s |' % (name, len(known), len(code), ' | '.join(cells)))
    print('| all | %d | %d | %s |' % (totals[0][1], totals[0][3], ' | '.join(
        '%.1f %%, %.1f %%' % (100.0 * a / n, 100.0 * h / c) for a, n, h, c in totals)))
    shutil.rmtree(work)


if __name__ == '__main__':
    main()
