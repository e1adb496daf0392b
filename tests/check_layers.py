#!/usr/bin/env python3
"""Checks that the folders of src/ stand in layers that only look down:

    files < core < reference < engine < output < driver

A file may include headers of its own folder and of the folders below it, never of one above
(so no two folders include each other). And a header keeps its promises in its own folder: every
free routine a header declares is defined in a source file of the header's folder, never in one
above it.

    check_layers.py SOURCE_DIR      (exits 1 and lists what is wrong)
"""
import os
import re
import sys

LAYERS = ['files', 'core', 'reference', 'engine', 'output', 'driver']
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def strip_comments(text):
    text = re.sub(r'/\*.*?\*/', ' ', text, flags=re.S)
    text = re.sub(r'//[^\n]*', '', text)
    # String and character literals may hold braces, parentheses and semicolons.
    text = re.sub(r'"(?:\\.|[^"\\\n])*"', '""', text)
    return re.sub(r"'(?:\\.|[^'\\\n])'", "''", text)


def top_level_statements(text):
    """The statements at file level (namespaces opened), each up to its ';' or its '{'."""
    statements, depth, start, namespaces = [], 0, 0, []
    i = 0
    while i < len(text):
        c = text[i]
        if c == '{':
            head = text[start:i]
            if depth == 0 and re.search(r'\bnamespace\b[\w\s:]*$', head):
                namespaces.append(True)
                start = i + 1
            else:
                if depth == 0:
                    statements.append((head.strip(), '{'))
                depth += 1
                namespaces.append(False)
        elif c == '}':
            if namespaces and namespaces.pop() is False:
                depth -= 1
            if depth == 0:
                start = i + 1
        elif c == ';' and depth == 0:
            statements.append((text[start:i].strip(), ';'))
            start = i + 1
        i += 1
    return statements


ROUTINE = re.compile(r'(?:^|[\s\*&>])([A-Za-z_]\w*)\s*\([^()]*(?:\([^()]*\)[^()]*)*\)\s*'
                     r'(?:const\s*)?(?:noexcept\s*)?$', re.S)


def routine_name(statement):
    """The name of the free routine a statement declares or defines, or None."""
    if re.match(r'(?:template|typedef|using|class|struct|enum|extern\s+"C"|#)', statement):
        return None
    if '=' in statement.split('(')[0]:
        return None
    match = ROUTINE.search(statement)
    if not match or match.group(1) in ('if', 'for', 'while', 'switch', 'return', 'sizeof'):
        return None
    if statement[:match.start(1)].endswith('::'):
        return None  # a member of a class
    return match.group(1)


def main():
    source = sys.argv[1] if len(sys.argv) > 1 else 'src'
    problems = []
    declared, defined = {}, {}
    for folder in sorted(os.listdir(source)):
        path = os.path.join(source, folder)
        if not os.path.isdir(path):
            continue
        if folder not in LAYERS:
            problems.append('%s: a folder that stands in no layer' % path)
            continue
        for name in sorted(os.listdir(path)):
            file = os.path.join(path, name)
            text = open(file, encoding='utf-8').read()
            for included in INCLUDE.findall(text):
                target = included.split('/')[0]
                if '/' not in included:
                    continue
                if target not in LAYERS:
                    problems.append('%s includes %s, which stands in no layer' % (file, included))
                elif LAYERS.index(target) > LAYERS.index(folder):
                    problems.append('%s includes %s: %s stands above %s' %
                                    (file, included, target, folder))
            for statement, end in top_level_statements(strip_comments(text)):
                routine = routine_name(statement)
                if routine is None or re.search(r'\binline\b|\bconstexpr\b', statement):
                    continue
                if end == ';' and name.endswith('.h'):
                    declared.setdefault(routine, []).append((folder, file))
                elif end == '{' and name.endswith('.cpp'):
                    defined.setdefault(routine, []).append((folder, file))
    for routine, places in sorted(declared.items()):
        for folder, header in places:
            for where, file in defined.get(routine, []):
                if LAYERS.index(where) > LAYERS.index(folder):
                    problems.append('%s declares %s, which %s defines above it' %
                                    (header, routine, file))
    checked = sum(len(p) for p in declared.values())
    for line in problems:
        print(line)
    print('%d routines declared in headers, %d problems' % (checked, len(problems)))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
