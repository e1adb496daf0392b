#!/usr/bin/env python3
"""Checks the page that -w writes against the result of the same run, for raw images, load files
of several segments and pictures, the data-block mode, and comments in UTF-8 and in Latin-1.

The page as written: its listing holds the result's lines in order, each with the text it has
there; the map's table of lines gives, for an address that a label names, that label's line.

(The same for a listing too long to be kept in memory while the result is written, and a result
read in pieces that cut some of its characters.)

The page as headless Chromium shows it, once its script has run (its links, cross references and
map are made there):
- every link of the page leads to an element that is there;
- the listing still holds the result's lines, as they stand;
- every label and name the result defines has its anchor;
- every cross reference leads to a line that refers to the label in the way it says.

usage: check_page.py VELKOR PROJECT_DIR
"""
import html.parser
import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'roundtrip'))
from atari_files import compiled_files, picture_files, synthetic_files  # noqa: E402
from check_page_in_browser import Browser  # noqa: E402

NAME = r'[A-Za-z_@?][A-Za-z0-9_@?]*'
KINDS = {'jsr': 'call', 'jmp': 'jump', 'dta': 'table'}
BRANCHES = {'bpl', 'bmi', 'bvc', 'bvs', 'bcc', 'bcs', 'bne', 'beq', 'bra'}
WRITES = {'sta', 'stx', 'sty', 'stz', 'sax', 'sha', 'shx', 'shy', 'shs', 'tas'}
READ_WRITES = {'inc', 'dec', 'asl', 'lsr', 'rol', 'ror', 'trb', 'tsb', 'dcp', 'aso', 'rln', 'lse',
               'rrd', 'isb', 'slo', 'rla', 'sre', 'rra', 'isc'}


class Page(html.parser.HTMLParser):
    """The ids, the links, the listing's text (without the cross references beside its lines),
    and the cross-reference links by the label they belong to."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.ids, self.links = set(), []
        self.references = {}   # label key -> {(kind, line)}, beside its line and in the list
        self.stack = []        # the open elements: (tag, attributes)
        self.listing = None    # the listing's text, once it starts
        self.label = None      # the label whose references come next
        self.pending = None    # the line number of the reference link being read
        self.script = ''

    def inside(self, test):
        return any(test(tag, attrs) for tag, attrs in self.stack)

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if 'id' in attrs:
            assert attrs['id'] not in self.ids, 'id twice: %s' % attrs['id']
            self.ids.add(attrs['id'])
        if tag == 'pre' and attrs.get('id') == 'listing':
            self.listing = ''
        if tag == 'a' and 'id' in attrs and self.inside(lambda t, a: a.get('id') == 'listing'):
            self.label = attrs['id']
        if tag == 'dt':
            self.label = attrs['id'][2:]
        if tag == 'a' and 'href' in attrs:
            self.links.append(attrs['href'])
            beside = self.inside(lambda t, a: a.get('class') == 'x')
            listed = self.inside(lambda t, a: t == 'dd')
            if attrs['href'].startswith('#l') and (beside or listed):
                self.pending = attrs['href'][2:]
        if tag != 'meta':
            self.stack.append((tag, attrs))

    def handle_endtag(self, tag):
        while self.stack:
            if self.stack.pop()[0] == tag:
                break

    def handle_data(self, data):
        if self.stack and self.stack[-1][0] == 'script':
            self.script += data
        elif self.pending is not None:
            kind, number = data.rsplit(' ', 1)
            assert number == self.pending, (data, self.pending)
            self.references.setdefault(self.label, set()).add((kind, int(number)))
            self.pending = None
        elif self.inside(lambda t, a: a.get('id') == 'listing') and \
                not self.inside(lambda t, a: a.get('class') == 'x'):
            self.listing += data


def statement(line):
    """The mnemonic and operand of a result line, without its label, comment or repeat count."""
    if not line or line[0] == ';' or re.match(NAME + r' *=', line):
        return '', ''
    text = line.split('\t', 1)[1] if '\t' in line else ''
    text = re.sub(r'^[\t ]*(:\d+[\t ]+)?', '', text)
    mnemonic, _, operand = text.partition(' ')
    out, quoted = '', False
    for c in operand:
        if c == "'":
            quoted = not quoted
        elif c == ';' and not quoted:
            break
        out += ' ' if quoted else c
    return mnemonic, out


def kind_of(mnemonic):
    m = mnemonic[:3].lower()
    if m in KINDS:
        return KINDS[m]
    if m in BRANCHES:
        return 'branch'
    return 'write' if m in WRITES else 'read-modify-write' if m in READ_WRITES else 'read'


def parse(text):
    page = Page()
    page.feed(text)
    return page


def line_table(script):
    """The map's table of lines: (region, address, line number) for each line that holds bytes."""
    table = re.search(r'var T="(.*?)",A=(\[.*?\]);', script, re.S)
    if not table:
        return None
    text, starts = table.group(1), json.loads(table.group(2))
    entries, region, address, number, i = [], 0, 0, 0, 0
    while i < len(text):
        c = text[i]
        if c in '~!':
            end = text.index(';', i)
            values = [int(v) for v in text[i + 1:end].split(',')]
            i = end + 1
            if c == '~':
                region, address, number = values[0], starts[values[0]] + values[1], values[2]
            else:
                address, number = address + values[0], number + values[1]
        else:
            address, number, i = address + (ord(c) - 65 if c < 'a' else ord(c) - 71), number + 1, i + 1
        entries.append((region, address, number))
    return entries


def check(velkor, browser, folder, image, options):
    problems = []
    result = subprocess.run([velkor, image] + options + ['-w'], cwd=folder, capture_output=True)
    if result.returncode != 0:
        return ['velkor: %s' % result.stdout.decode('latin-1')[-300:]]
    base = image.split('.')[0]
    raw = open(os.path.join(folder, base + '.asm'), 'rb').read()
    try:
        text = raw.decode('utf-8')
    except UnicodeDecodeError:
        text = raw.decode('latin-1')
    lines = text.split('\r\n')
    if lines[-1] == '':
        lines.pop()  # the last line's end
    path = os.path.join(folder, base + '.html')
    written = parse(open(path, encoding='utf-8').read())
    pages = [('written', written)]
    if browser:
        browser.open(path)
        problems += ['console: ' + m for m in browser.console_errors()]
        pages.append(('shown', parse(browser.script('return document.documentElement.outerHTML'))))
    page = pages[-1][1]
    for name, seen in pages:
        listing = (seen.listing or '').replace('\r\n', '\n').split('\n')
        if listing != lines:
            first = next((i for i in range(min(len(lines), len(listing)))
                          if lines[i] != listing[i]), None)
            problems.append('the listing %s differs from the result (%d and %d lines; line %s: '
                            '%r / %r)' % (name, len(listing), len(lines), first,
                                         listing[first] if first is not None else '',
                                         lines[first] if first is not None else ''))
            return problems
    if not browser:
        page.references = {}  # made by the script: the lists are checked in the browser
    for link in page.links:
        if re.match(r'#l\d+$', link):
            if not 1 <= int(link[2:]) <= len(lines):
                problems.append('a link to a line that is not there: %s' % link)
        elif link.startswith('#') and link[1:] not in page.ids:
            problems.append('a link without a target: %s' % link)
    defined = {}
    for number, line in enumerate(lines if browser else [], 1):
        match = re.match(NAME, line)
        if match and (len(line) == match.end() or line[match.end()] in '\t =') and line[0] != ';':
            defined.setdefault(match.group(0).upper(), number)
    for key in defined:
        if key not in page.ids:
            problems.append('no anchor for %s' % key)
    for key, references in page.references.items():
        pattern = re.compile(r'(?<![A-Za-z0-9_@?$])%s(?![A-Za-z0-9_@?(\'])' % re.escape(key), re.I)
        for kind, number in references:
            mnemonic, operand = statement(lines[number - 1])
            if not pattern.search(operand) or kind_of(mnemonic) != kind:
                problems.append('line %d does not %s %s: %r' % (number, kind, key, lines[number - 1]))
    # The map's table of lines leads the address of each line that a generated label of the first
    # layer starts to that line, and no further.
    table = line_table(written.script)
    if table is None:
        problems.append('no table of lines')
    addresses = {}
    for region, address, number in table or []:
        if not 1 <= number <= len(lines):
            problems.append('the map leads $%04X to line %d of %d' % (address, number, len(lines)))
            continue
        addresses.setdefault(number, set()).add(address)
    for number, line in enumerate(lines, 1):
        match = re.match(r'E_([0-9A-F]{4})\t', line)
        if match and addresses.get(number) != {int(match.group(1), 16)}:
            problems.append('the map leads %s to line %d: %r' % (
                ', '.join('$%04X' % a for a in sorted(addresses.get(number, ()))) or 'nothing',
                number, line))
    return problems


def main():
    velkor, project = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    failed = runs = 0
    with tempfile.TemporaryDirectory() as work:
        for reference in ('mnemo.qvt', 'memory.qvt'):
            shutil.copy(os.path.join(project, 'data', reference), work)
        shutil.copy(os.path.join(project, 'examples', 'hello.bin'), work)
        cases = [('hello.bin', ['-a$0600', '-l', '-sa']),
                 ('hello.bin', ['-a$0600', '-c$0602=caf\u00e9 au lait', '-n$0624=Message']),
                 ('hello.bin', ['-a$0600', b'-c$0602=caf\xe9']),  # a comment in Latin-1
                 ('hello.bin', ['-a$0600', '-d', '-bad$0620']),
                 ('hello.bin', ['-a$0600', '-m'])]
        for name, data in compiled_files(work)[:3] + synthetic_files()[:2] + picture_files(work):
            open(os.path.join(work, name + '.xex'), 'wb').write(data)
            cases.append((name + '.xex', ['-x', '-l', '-sa']))
        # An image whose listing is too long to be kept in memory while the result is written
        # (4 MB): 64 KB of calls, each to the next (a label and an empty line after each), then a
        # megabyte of data past $FFFF. Checked as written only: a browser would take long.
        calls = b''.join(bytes([0x20, (a + 3) & 0xFF, (a + 3) >> 8]) for a in range(0, 0xFFF0, 3))
        rng = random.Random(29)
        open(os.path.join(work, 'long.bin'), 'wb').write(
            calls + bytes(rng.randrange(256) for _ in range(1 << 20)))
        cases.append(('long.bin', ['-a$0000']))
        # The same with long comments in UTF-8 (about 2 MB of them): the result is read in pieces,
        # and some of its characters are cut by the pieces' ends.
        shutil.copy(os.path.join(work, 'long.bin'), os.path.join(work, 'long2.bin'))
        open(os.path.join(work, 'long2.opt'), 'w', encoding='utf-8').write(''.join(
            '-c$%04X=%s%s\n' % (3 * (k * 14 + 1), 'x' * (k % 3), '\u00e9' * 700)
            for k in range(1500)))
        cases.append(('long2.bin', ['-a$0000', '@long2.opt']))
        browser = Browser(os.path.join(work, 'profile'))
        try:
            for image, options in cases:
                runs += 1
                problems = check(velkor, browser if not image.startswith('long') else None,
                                 work, image, options)
                for problem in problems[:10]:
                    print('FAIL %s %s: %s' % (image, options, problem))
                failed += bool(problems)
        finally:
            browser.close()
    print('%d pages checked, %d failed' % (runs, failed))
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
