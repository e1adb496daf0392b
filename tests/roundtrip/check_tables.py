#!/usr/bin/env python3
"""Checks a shipped instruction-set table against ca65, an independent assembler:
every opcode of the table, assembled from its pattern, gives that opcode byte and the length
the pattern implies; and no byte value that the table leaves out is one that ca65 produces for
the CPU (apart from the ones the table says it cannot express).

usage: check_tables.py PROJECT_DIR
"""
import os
import subprocess
import sys
import tempfile

# ca65 spells a few mnemonics differently.
CA65_NAMES = {'sbx': 'axs'}
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
    ('mnemo-undocumented.qvt', '6502X', set()),
    # bbr and bbs take a zero-page address and a branch: no pattern can hold two operands.
    ('mnemo-65c02.qvt', '65C02', {0x0F + 0x10 * i for i in range(16)}),
]


def read_table(path):
    """Opcode -> pattern, by the rules of the mnemonic file (for the lines our tables use)."""
    table = {}
    for line in open(path, encoding='latin-1').read().splitlines():
        if '$' not in line or ';' in line:
            continue
        opcode, _, rest = line.partition(',')
        table[int(opcode.strip()[1:], 16) & 0xFF] = rest.split("'")[1]
    return table


def assemble(folder, cpu, statement):
    """The bytes ca65 and ld65 make of one statement at $1000, or None."""
    open(os.path.join(folder, 't.s'), 'w').write('.setcpu "%s"\n.org $1000\n%s\n' % (cpu, statement))
    open(os.path.join(folder, 't.cfg'), 'w').write(
        'MEMORY { M: start = $1000, size = $1000, file = %O; }\nSEGMENTS { CODE: load = M; }\n')
    for command in (['ca65', '-o', 't.o', 't.s'], ['ld65', '-C', 't.cfg', '-o', 't.bin', 't.o']):
        if subprocess.run(command, cwd=folder, capture_output=True).returncode != 0:
            return None
    return open(os.path.join(folder, 't.bin'), 'rb').read()


def check(path, cpu, inexpressible, folder):
    problems = []
    table = read_table(path)
    for opcode, pattern in sorted(table.items()):
        statement, length = pattern, 1
        for letter, (operand, size) in OPERANDS.items():
            if letter in pattern:
                statement, length = pattern.replace(letter, operand), size
                break
        mnemonic, _, rest = statement.partition(' ')
        statement = ' '.join(filter(None, [CA65_NAMES.get(mnemonic, mnemonic), rest]))
        made = assemble(folder, cpu, statement)
        if made is None or made[0] != opcode or len(made) != length:
            problems.append('$%02X %r: ca65 gives %s' % (opcode, pattern, made.hex() if made else 'an error'))
    names = {p.split(' ')[0] for p in table.values()} | set(EXTRA_NAMES)
    for name in sorted(names):
        for form in FORMS:
            made = assemble(folder, cpu, name + form)
            if made and made[0] not in table and made[0] not in inexpressible:
                problems.append('ca65 makes $%02X of %r, which the table leaves out' % (made[0], name + form))
    return len(table), problems


def main():
    project = sys.argv[1]
    failed = 0
    with tempfile.TemporaryDirectory() as folder:
        for name, cpu, inexpressible in TABLES:
            count, problems = check(os.path.join(project, 'data', name), cpu, inexpressible, folder)
            for problem in problems:
                print('%s: %s' % (name, problem))
            print('%s: %d opcodes checked against ca65 --cpu %s, %d problems' % (name, count, cpu, len(problems)))
            failed += bool(problems)
    print('%d passed, %d failed' % (len(TABLES) - failed, failed))
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
