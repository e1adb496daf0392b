#!/usr/bin/env python3
"""How much of a compiled program VELKOR takes for what it is: the share of bytes that it writes
as instructions where the compiler wrote instructions, and as data where the compiler wrote data.

The truth comes from ld65's debug information (--dbgfile). A span with a type is data, a span
without one is an instruction; bytes outside every span (the runtime library carries no debug
information) count by their segment: CODE, STARTUP, ONCE and LOWCODE hold instructions, RODATA
and DATA hold data, and the rest (SYSCHK mixes code and text) is left out.

Two ways are measured on each of cc65's atari samples:
  segment  the largest segment alone, as a raw image at its address (as before -x existed);
  -x       the whole load file with -x; the share over the same segment's bytes, and over every
           loaded byte whose kind is known.

usage: code_share.py VELKOR PROJECT_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'tests', 'roundtrip'))
from atari_files import SAMPLES_DIR, XEX_SAMPLES, load_segments  # noqa: E402

CODE_SEGMENTS = {'CODE', 'STARTUP', 'ONCE', 'LOWCODE'}
DATA_SEGMENTS = {'RODATA', 'DATA'}
BRANCHES = {'bpl', 'bmi', 'bvc', 'bvs', 'bcc', 'bcs', 'bne', 'beq'}


def truth(dbg):
    """Address -> True (instruction) or False (data), from a debug-information file."""
    segments, spans = {}, []
    for line in open(dbg):
        kind, _, rest = line.rstrip('\n').partition('\t')
        fields = dict(f.split('=', 1) for f in rest.split(',') if '=' in f)
        if kind == 'seg':
            segments[fields['id']] = (fields['name'].strip('"'), int(fields['start'], 16),
                                      int(fields['size'], 16))
        elif kind == 'span':
            spans.append((fields['seg'], int(fields['start']), int(fields['size']), 'type' in fields))
    kinds = {}
    for name, start, size in segments.values():
        if name in CODE_SEGMENTS or name in DATA_SEGMENTS:
            for a in range(start, start + size):
                kinds[a] = name in CODE_SEGMENTS
    for seg, start, size, typed in spans:
        base = segments[seg][1]
        for a in range(base + start, base + start + size):
            kinds[a] = not typed
    return kinds


def operand_length(mnemonic, operand):
    """The length of an instruction written by VELKOR with the shipped instruction set."""
    if not operand:
        return 1
    if mnemonic.endswith('.w') or mnemonic in ('jmp', 'jsr'):
        return 3
    if operand.startswith('#') or operand.startswith('(') or mnemonic in BRANCHES:
        return 2
    match = re.match(r'(?:E\d*_|\$)([0-9A-F]{4})', operand)
    return 2 if match and int(match.group(1), 16) < 0x100 else 3


def dta_items(text):
    """The bytes of a dta line, counted (strings are not used in the default mode)."""
    count = 0
    for item in re.split(r',(?![^(]*\))', text):
        count += 2 if item.startswith('a(') else 1
    return count


def result_items(asm):
    """What a result file places, line by line: ('segment', N) at a segment's comment line (0 for
    a cartridge's), ('org', RUN, LOAD) at an origin (LOAD differs for code that runs elsewhere),
    and ('bytes', IS_CODE, COUNT) for the bytes of each line, repeats counted."""
    for line in open(asm, 'rb').read().decode('latin-1').split('\r\n'):
        match = re.match(r'; (?:segment (\d+):|cartridge)', line)
        if match:
            yield ('segment', int(match.group(1) or 0))
        if not line or line.startswith(';'):
            continue
        _, _, statement = line.partition('\t')
        repeat = 1
        match = re.match(r':(\d+)\t(.*)$', statement)
        if match:
            repeat, statement = int(match.group(1)), match.group(2)
        if statement.startswith('org '):
            addresses = [int(a.strip()[1:], 16) for a in statement[4:].split(',')]
            yield ('org', addresses[0], addresses[-1])
            continue
        if statement.startswith('opt'):
            continue
        if statement.startswith('dta '):
            is_code, length = False, dta_items(statement[4:])
        else:
            mnemonic, _, operand = statement.partition(' ')
            is_code, length = True, operand_length(mnemonic, operand)
        for _ in range(repeat):
            yield ('bytes', is_code, length)


def classified(asm):
    """Address -> True (written as an instruction) or False (as data), from a result file."""
    kinds, address = {}, None
    for item in result_items(asm):
        if item[0] == 'segment':
            address = None  # the header bytes before the next org load nowhere
        elif item[0] == 'org':
            address = item[1]
        elif address is not None:
            for a in range(address, address + item[2]):
                kinds[a] = item[1]
            address += item[2]
    return kinds


def share(known, found, addresses):
    counted = [a for a in addresses if a in known and a in found]
    agree = sum(1 for a in counted if known[a] == found[a])
    return agree, len(counted)


def velkor(binary, folder, args):
    subprocess.run([binary] + args, cwd=folder, check=True, capture_output=True)


def main():
    binary, project = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    work = tempfile.mkdtemp()
    for name in ('mnemo.qvt', 'memory.qvt'):
        shutil.copy(os.path.join(project, 'data', name), work)
    totals = {'segment': [0, 0], '-x, same segment': [0, 0], '-x, every byte': [0, 0]}
    print('| program | largest segment alone | -x, the same segment | -x, every loaded byte |')
    print('|---|---|---|---|')
    for name in XEX_SAMPLES:
        xex = os.path.join(work, name + '.xex')
        subprocess.run(['cl65', '-t', 'atari', '-O', '-g', '-Wl', '--dbgfile,%s.dbg' % name, '-o', xex,
                        os.path.join(SAMPLES_DIR, name + '.c')], cwd=work, check=True, capture_output=True)
        known = truth(os.path.join(work, name + '.dbg'))
        data = open(xex, 'rb').read()
        segments = load_segments(data)
        first, body = max(segments, key=lambda s: len(s[1]))
        main_addresses = range(first, first + len(body))
        open(os.path.join(work, name + '.bin'), 'wb').write(body)
        velkor(binary, work, [name + '.bin', '-a$%04X' % first])
        alone = share(known, classified(os.path.join(work, name + '.asm')), main_addresses)
        velkor(binary, work, [name + '.xex', '-x'])
        found = classified(os.path.join(work, name + '.asm'))
        same = share(known, found, main_addresses)
        loaded = sorted({a for f, b in segments for a in range(f, f + len(b))})
        every = share(known, found, loaded)
        cells = []
        for key, (agree, counted) in zip(totals, (alone, same, every)):
            totals[key][0] += agree
            totals[key][1] += counted
            cells.append('%.2f %% of %d' % (100.0 * agree / counted, counted))
        print('| %s | %s |' % (name, ' | '.join(cells)))
    print('| all | %s |' % ' | '.join('%.2f %% of %d' % (100.0 * a / c, c) for a, c in totals.values()))
    shutil.rmtree(work)


if __name__ == '__main__':
    main()
