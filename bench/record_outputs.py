#!/usr/bin/env python3
"""Records the result file of every benchmark image and of every round-trip corpus image and
Atari file in every mode, so that a change meant only for speed can be checked to leave every output byte
as it was:

    record_outputs.py VELKOR PROJECT_DIR OUT_DIR       (then: diff -r OLD_OUT NEW_OUT)
"""
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'tests', 'roundtrip'))
import roundtrip  # noqa: E402
import make_inputs  # noqa: E402
from atari_files import compiled_files, main_block, picture_files, synthetic_files  # noqa: E402


def record(velkor, project, image, start, options, target, labels=None, inputs=None):
    with tempfile.TemporaryDirectory() as folder:
        for reference in ('mnemo.qvt', 'memory.qvt'):
            shutil.copy(os.path.join(project, 'data', reference), folder)
        for option in options:  # options files beside the inputs
            if option.startswith('@') and inputs:
                shutil.copy(os.path.join(inputs, option[1:]), folder)
        if labels:
            shutil.copy(labels, os.path.join(folder, 'memory.qvt'))
        open(os.path.join(folder, 'image.bin'), 'wb').write(image)
        result = subprocess.run([velkor, 'image.bin', '-a$%04X' % start] + options, cwd=folder,
                                capture_output=True)
        open(target + '.console', 'wb').write(result.stdout)
        if os.path.exists(os.path.join(folder, 'image.asm')):
            shutil.copy(os.path.join(folder, 'image.asm'), target + '.asm')


def main():
    velkor, project, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        for name, image, start in roundtrip.build_corpus(work):
            for mode, options in roundtrip.modes(image, start):
                record(velkor, project, image, start, options, os.path.join(out, name + '.' + mode))
        for name, data in compiled_files(work) + synthetic_files() + picture_files(work):
            first, length = main_block(name, data)
            for mode, options in roundtrip.modes(bytes(length), first):
                record(velkor, project, data, first, ['-x'] + options,
                       os.path.join(out, 'x-' + name + '.' + mode))
        inputs = os.path.join(work, 'bench')
        make_inputs.main_into(inputs, project, many_pass_blocks=1500, big=False)
        for line in open(os.path.join(inputs, 'cases.txt')).read().splitlines():
            name, start, *options = line.split()
            labels = None
            if options and options[0].startswith('-l:'):
                labels = os.path.join(inputs, options[0][3:] + '.qvt')
                options = ['-l']
            image = open(os.path.join(inputs, name + '.bin'), 'rb').read()
            record(velkor, project, image, int(start, 16), options, os.path.join(out, 'bench-' + name),
                   labels, inputs)


if __name__ == '__main__':
    main()
