#!/usr/bin/env python3
"""Checks each shipped instruction-set table against the assemblers.

- ca65, opcode by opcode: every pattern of the table, with an operand put in and spelled as
  ca65 spells it, gives that opcode byte and the length the pattern implies; and no byte value
  that the table leaves out is one that ca65 produces for the CPU (apart from the ones the table
  says it cannot express).
- The whole way: an image that calls every opcode of the table once, disassembled by VELKOR
  with that table, must come back byte for byte from ca65 and, where it is installed, from
  MADS, the assembler of the result's syntax; and each opcode must be listed as the
  instruction of its table at its address.

usage: check_tables.py PROJECT_DIR VELKOR [MADS]
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from to_ca65 import translate, translate_statement  # noqa: E402

# Operand text per placeholder, and the instruction length it implies.
OPERANDS = {'N': ('$12', 2), 'Z': ('$12', 2), 'Q': ('$1234', 3), 'L': ('*', 2)}
# Addressing forms tried for every mnemonic when looking for opcodes a table leaves out.
FORMS = ['', ' a', ' #$12', ' $12', ' $12,x', ' $12,y', ' $1234', ' $1234,x', ' $1234,y',
         ' ($12,x)', ' ($12),y', ' ($12)', ' ($1234)', ' ($1234,x)', ' *']
EXTRA_NAMES = ('jam kil ane xaa las lae tas shs sha ahx shx sxa shy sya lxa axs sbx dop top isb '
               'asr alr anc arr sax lax dcp isc slo rla sre rra bra phx phy plx ply stz trb tsb '
               'stp wai ' + ' '.join('rmb%d smb%d' % (i, i) for i in range(8))).split()

TABLES = [
    ('mnemo.qvt', '6502', set()),
    # ca65 builds $04 and $14 for a no-operation on page zero; the table holds the opcodes MADS
    # builds for them, $44 and $54.
    ('mnemo-undocumented.qvt', '6502X', {0x04, 0x14}),
    # bbr and bbs take a zero-page address and a branch: no pattern can hold two operands; MADS
    # knows no rmb and smb.
    ('mnemo-65c02.qvt', '65C02', {0x0F + 0x10 * i for i in range(16)} |
     {0x07 + 0x10 * i for i in range(16)}),
]
START = 0x2000


def read_table(path):
    """Opcode -> pattern, by the rules of the mnemonic file (for the lines our tables use)."""
    table = {}
    for line in open(path, encoding='latin-1').read().splitlines():
        if '$' not in line or ';' in line or line.startswith('directive'):
            continue
        opcode, _, rest = line.partition(',')
        table[int(opcode.strip()[1:], 16) & 0xFF] = rest.split("'")[1]
    return table


def run(command, folder):
    return subprocess.run(command, cwd=folder, capture_output=True)


def ca65_bytes(folder, cpu, source, start=0x1000):
    """The bytes ca65 and ld65 make of the source at the address, or None."""
    open(os.path.join(folder, 't.s'), 'w', encoding='latin-1').write(
        '.setcpu "%s"\n.org $%04X\n%s\n' % (cpu, start, source))
    open(os.path.join(folder, 't.cfg'), 'w').write(
        'MEMORY { M: start = $%04X, size = $%X, file = %%O; }\nSEGMENTS { CODE: load = M; }\n'
        % (start, 0x10000 - start))
    for command in (['ca65', '-o', 't.o', 't.s'], ['ld65', '-C', 't.cfg', '-o', 't.bin', 't.o']):
        if run(command, folder).returncode != 0:
            return None
    return open(os.path.join(folder, 't.bin'), 'rb').read()


def check_opcodes(table, cpu, inexpressible, folder):
    problems = []
    for opcode, pattern in sorted(table.items()):
        statement, length = pattern, 1
        for letter, (operand, size) in OPERANDS.items():
            if letter in pattern:
                statement, length = pattern.replace(letter, operand), size
                break
        made = ca65_bytes(folder, cpu, '\n'.join(translate_statement(statement)))
        if made is None or made[0] != opcode or len(made) != length:
            problems.append('$%02X %r: ca65 gives %s' % (opcode, pattern, made.hex() if made else 'an error'))
    names = {p.split(' ')[0] for p in table.values()} | set(EXTRA_NAMES)
    for name in sorted(names):
        for form in FORMS:
            made = ca65_bytes(folder, cpu, name + form)
            if made and made[0] not in table and made[0] not in inexpressible:
                problems.append('ca65 makes $%02X of %r, which the table leaves out' % (made[0], name + form))
    return problems


def every_opcode_image(table):
    """A program at START that calls one routine per opcode of the table: the instruction, then
    rts; and the start address of each routine. Absolute operands take turns between page zero
    (which must be written with .w) and bytes of the image (which get labels); jumps and calls
    go to the rts after them, branches to the next instruction."""
    opcodes = sorted(table)
    lengths = [3 if 'Q' in table[op] else 2 if any(c in table[op] for c in 'NZL') else 1
               for op in opcodes]
    chain = 3 * len(opcodes) + 1
    routines = []
    address = START + chain
    for length in lengths:
        routines.append(address)
        address += length + 1
    data = address
    image = bytearray()
    for routine in routines:
        image += bytes([0x20, routine & 0xFF, routine >> 8])
    image.append(0x60)
    for i, (opcode, length) in enumerate(zip(opcodes, lengths)):
        pattern, after = table[opcode], routines[i] + length
        image.append(opcode)
        if 'Q' in pattern:
            if pattern.split(' ')[0] in ('jmp', 'jsr') and '(' not in pattern:
                value = after
            elif '(' in pattern or i % 2:
                value = data + i % 8
            else:
                value = 0x0012
            image += bytes([value & 0xFF, value >> 8])
        elif 'L' in pattern:
            image.append(0)
        elif length == 2:
            image.append(0x80 if 'Z' in pattern else 0x12)
        image.append(0x60)
    image += bytes(range(1, 9))
    return bytes(image), dict(zip(routines, opcodes))


def check_whole_way(velkor, project, name, table, cpu, mads, folder):
    problems = []
    image, routines = every_opcode_image(table)
    work = os.path.join(folder, 'run')
    os.mkdir(work)
    shutil.copy(os.path.join(project, 'data', name), os.path.join(work, 'mnemo.qvt'))
    shutil.copy(os.path.join(project, 'data', 'memory.qvt'), work)
    open(os.path.join(work, 'every.bin'), 'wb').write(image)
    result = run([velkor, 'every.bin', '-a$%04X' % START], work)
    if result.returncode != 0 or b'Done.' not in result.stdout:
        return ['velkor failed: %s' % result.stdout[-300:]]
    source = open(os.path.join(work, 'every.asm'), 'rb').read().decode('latin-1')
    listed = {}
    for line in source.split('\r\n'):
        match = re.match(r'E_([0-9A-F]{4})\t(\S+)', line)
        if match:
            listed[int(match.group(1), 16)] = match.group(2)
    for address, opcode in sorted(routines.items()):
        mnemonic = table[opcode].split(' ')[0]
        if listed.get(address) not in (mnemonic, mnemonic[:3] + '.w' + mnemonic[3:]):
            problems.append('$%02X at $%04X is listed as %r' % (opcode, address, listed.get(address)))
    made = ca65_bytes(folder, cpu, translate(source, cpu), START)
    if made != image:
        problems.append('ca65 builds other bytes from the result')
    if mads:
        built = run([mads, 'every.asm', '-o:every.out'], work)
        out = os.path.join(work, 'every.out')
        if built.returncode != 0 or not os.path.exists(out):
            problems.append('MADS: %s' % built.stdout.decode('latin-1')[-400:])
        elif open(out, 'rb').read() != image:
            problems.append('MADS builds other bytes from the result')
    shutil.rmtree(work)
    return problems


def main():
    project, velkor = sys.argv[1], os.path.abspath(sys.argv[2])
    mads = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 else None
    failed = 0
    with tempfile.TemporaryDirectory() as folder:
        for name, cpu, inexpressible in TABLES:
            table = read_table(os.path.join(project, 'data', name))
            problems = check_opcodes(table, cpu, inexpressible, folder)
            problems += check_whole_way(velkor, project, name, table, cpu, mads, folder)
            for problem in problems:
                print('%s: %s' % (name, problem))
            print('%s: %d opcodes checked against ca65 --cpu %s%s, %d problems' % (
                name, len(table), cpu, ' and MADS' if mads else '', len(problems)))
            failed += bool(problems)
    print('%d passed, %d failed' % (len(TABLES) - failed, failed))
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
