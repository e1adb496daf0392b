"""Translates a VELKOR result file into ca65 source.

The translation is mechanical and keeps every byte where VELKOR put it:
  name= $value ; comment    ->  NAME = $value ; comment   (operands use upper-case names)
  org $0400                 ->  .org $0400          (so that labels are absolute; org $0700,$AAD7
                                                   for code that runs elsewhere: .org $0700)
  E_XXXX<TAB>...            ->  E_XXXX: ...
  :n<TAB>instruction        ->  .repeat n / instruction / .endrepeat
  dta $12,c'AB',a(E_0400)   ->  .byte / .word items (strings as byte values; d'AB' and
                                d'AB'* in the internal screen code)
  lda.w $0012,x             ->  lda a:$0012,x    (forced absolute)
  sta E_0080                ->  sta z:E_0080     (a label below $0100 without .w is zero page)
  aso $12, isb $12, ...     ->  slo $12, isc $12, ... (ca65's names for the undocumented
                                instructions; dop $12 and dop $12,x, whose opcodes ca65 builds
                                no name for, as .byte $44/$54 and the operand)
  opt c+ (any opt)          ->  nothing (the processor comes from the caller)
  dta a($FFFF),a($2000),...   ->  .word ...        (a load file's headers come out as they stand)
Labels of later layers (E1_XXXX, ...) are translated like E_XXXX. Every label the file uses is
defined in it, by a line or by an equate at the top.
"""
import re
import sys

# ca65's names for the undocumented instructions that the result spells as MADS does.
SPELLING = {'aso': 'slo', 'rln': 'rla', 'lse': 'sre', 'rrd': 'rra', 'isb': 'isc', 'cim': 'jam',
            'top': 'nop', 'shs': 'tas', 'anx': 'lax', 'sbx': 'axs'}
BRANCHES = {'bpl', 'bmi', 'bvc', 'bvs', 'bcc', 'bcs', 'bne', 'beq', 'bra'}
HEX_BYTE = re.compile(r'\$[0-9A-Fa-f]{2}$')


def split_items(text):
    """Splits a dta list at the commas that stand outside strings and parentheses."""
    items, current, depth, in_string = [], '', 0, False
    i = 0
    while i < len(text):
        c = text[i]
        if in_string:
            current += c
            if c == "'":
                in_string = False
        elif c == "'":
            in_string = True
            current += c
        elif c == '(':
            depth += 1
            current += c
        elif c == ')':
            depth -= 1
            current += c
        elif c == ',' and depth == 0:
            items.append(current)
            current = ''
        else:
            current += c
        i += 1
    items.append(current)
    return items


def internal(character):
    """The internal screen code of an ATASCII character."""
    return character - 0x20 if 0x20 <= character < 0x60 else (
        character + 0x40 if character < 0x20 else character)


def translate_data(text):
    """The items of a dta line as ca65 .byte and .word lines."""
    out = []
    for item in split_items(text):
        if item.startswith("c'") and item.endswith("'"):
            out.append('.byte ' + ','.join('$%02X' % b for b in item[2:-1].encode('latin-1')))
        elif item.startswith("d'") and (item.endswith("'") or item.endswith("'*")):
            # The internal character code of the screen, inverse video with "*".
            inverse = 0x80 if item.endswith('*') else 0
            text = item[2:-2] if inverse else item[2:-1]
            out.append('.byte ' + ','.join('$%02X' % (internal(b) | inverse)
                                           for b in text.encode('latin-1')))
        elif item.startswith('a(') and item.endswith(')'):
            out.append('.word ' + item[2:-1])
        elif item.startswith('(') and item.endswith(')'):
            out.append('.byte ' + item[1:-1])
        else:
            out.append('.byte ' + item)
    return out


def translate_instruction(text):
    mnemonic, _, operand = text.partition(' ')
    forced = mnemonic.endswith('.w')
    if forced:
        mnemonic = mnemonic[:-2]
    if mnemonic == 'dop' and not operand.startswith('#'):
        # ca65 builds $04/$14 for these forms; MADS, and so the table, $44/$54.
        return '.byte $%02X,%s' % (0x54 if operand.endswith(',x') else 0x44, operand.split(',')[0])
    mnemonic = 'nop' if mnemonic == 'dop' else SPELLING.get(mnemonic, mnemonic)
    if operand and forced:
        operand = 'a:' + operand
    elif operand and mnemonic not in ('jmp', 'jsr') and mnemonic not in BRANCHES:
        match = re.match(r'E\d*_([0-9A-F]{4})', operand)
        if match and int(match.group(1), 16) < 0x100:
            operand = 'z:' + operand
    return (mnemonic + ' ' + operand).rstrip()


def translate_statement(text):
    if text.startswith('dta '):
        return translate_data(text[4:])
    if text.startswith('opt '):
        return []
    if text.startswith('org '):
        # Labels become absolute addresses; "org RUN,LOAD" (code that runs elsewhere) is
        # assembled for RUN, its bytes where they stand.
        return ['.org ' + text[4:].split(',')[0]]
    return [translate_instruction(text)]


def translate(source, cpu='6502'):
    lines = source.split('\r\n')
    if lines and lines[-1] == '':
        lines.pop()
    out = ['.setcpu "%s"' % cpu, '.segment "CODE"']
    in_equates = '\topt h-' in lines
    for line in lines:
        if line == '\topt h-':
            in_equates = False
        if in_equates:
            if '= $' in line:
                name, _, rest = line.partition('= $')
                out.append('%s = $%s' % (name.strip().upper(), rest))
            else:
                out.append(line)
            continue
        if line == '' or line.startswith(';'):
            out.append(line)
            continue
        label, _, rest = line.partition('\t')
        if label:
            out.append(label + ':')
        repeat = re.match(r':(\d+)\t+(.*)$', rest)
        statements = translate_statement(repeat.group(2) if repeat else rest)
        if repeat:
            out.append('.repeat %s' % repeat.group(1))
        out.extend('\t' + s for s in statements)
        if repeat:
            out.append('.endrepeat')
    return '\n'.join(out) + '\n'


if __name__ == '__main__':
    data = open(sys.argv[1], 'rb').read().decode('latin-1')
    sys.stdout.write(translate(data))
