#!/usr/bin/env python3
"""Whole runs of the built program that try to lose or damage files: an image named like a file
the run writes, links planted under those names, many runs at once, a full disk, a killed run,
and a console that goes away. Each case checks the inputs byte for byte afterwards and the exact
set of files left.

usage: data_safety.py VELKOR PROJECT_DIR
"""
import hashlib
import os
import random
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'roundtrip'))
from roundtrip import atari_segments  # noqa: E402

VELKOR = os.path.abspath(sys.argv[1])
PROJECT = os.path.abspath(sys.argv[2])
# What every result holds, so that a run takes a file for an earlier result and replaces it.
RESULT_HEAD = b'\topt h-\r\n;--------------------------\r\n'
BANNER = b'\r\nCPU6502 DisAsembler v2.2 by Olvek/Quorlin\r\nRead file: MNEMO.QVT\r\n'
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print('FAIL:', what)


def snapshot(folder):
    """Every file below the folder: its checksum, or where a link points."""
    files = {}
    for root, dirs, names in os.walk(folder):
        for name in names + [d for d in dirs if os.path.islink(os.path.join(root, d))]:
            path = os.path.join(root, name)
            key = os.path.relpath(path, folder)
            if os.path.islink(path):
                files[key] = 'link to ' + os.readlink(path)
            else:
                files[key] = hashlib.sha256(open(path, 'rb').read()).hexdigest()
    return files


def read(path):
    """The file's bytes, or None when there is no such file."""
    return open(path, 'rb').read() if os.path.isfile(path) else None


def new_folder(work, image=None, image_name='game.bin', labels=False):
    folder = tempfile.mkdtemp(dir=work)
    shutil.copy(os.path.join(PROJECT, 'data', 'mnemo.qvt'), folder)
    if labels:
        shutil.copy(os.path.join(PROJECT, 'data', 'memory.qvt'), folder)
    if image is not None:
        open(os.path.join(folder, image_name), 'wb').write(image)
    return folder


def velkor(folder, args, **options):
    return subprocess.run([VELKOR] + args, cwd=folder, capture_output=True, **options)


def compiled_programs(work):
    """The largest segment of four cc65 samples compiled for the atari target: real code, with
    labels inside instructions, which is where runs that mixed their files went wrong."""
    programs = {}
    for name in ['sieve', 'mandelbrot', 'ascii', 'hello']:
        out = os.path.join(work, name + '.xex')
        subprocess.run(['cl65', '-t', 'atari', '-O', '-o', out, '/usr/share/cc65/samples/%s.c' % name],
                       cwd=work, check=True, capture_output=True)
        programs[name] = max(atari_segments(open(out, 'rb').read()), key=lambda s: len(s[1]))
        os.remove(out)
    return programs


def collisions(work, image):
    """An image named like a file the run writes, or a link planted under such a name: the run
    stops with a message that names both files, and nothing is created or changed."""
    cases = [
        ('prog.asm', [], [], 'Writing the result prog.asm would overwrite the image prog.asm; '
         'rename the image.'),
        ('game.$$$', [], [], 'Writing the listing game.$$$ would overwrite the image game.$$$; '
         'rename the image.'),
        ('game.asm.partial', [], [], 'Writing the unfinished result game.asm.partial would '
         'overwrite the image game.asm.partial; rename the image.'),
        ('_tmp.bin', [], [], 'Writing the inner-label file _tmp.$$$ would overwrite the listing '
         '_tmp.$$$; rename the image or run from another folder.'),
        ('_temp.bin', ['-l'], [], 'Writing the names file _temp.$$$ would overwrite the listing '
         '_temp.$$$; rename the image or run from another folder.'),
        ('_temp.bin', ['-d', '-l'], [('link', '_temp.bin', '_temp.$$$')], 'Writing the names '
         'file _temp.$$$ would overwrite the image _temp.bin; remove _temp.$$$.'),
        ('game.bin', [], [('hard', 'mnemo.qvt', '_tmp.$$$')], 'Writing the inner-label file '
         '_tmp.$$$ would overwrite the mnemonic file mnemo.qvt; remove _tmp.$$$.'),
        ('game.bin', ['-l'], [('link', 'memory.qvt', 'game.$$$')], 'Writing the listing '
         'game.$$$ would overwrite the label file memory.qvt; remove game.$$$.'),
        ('game.bin', [], [('hard', 'game.asm', 'game.asm.partial')], 'Writing the unfinished '
         'result game.asm.partial would overwrite the result game.asm; remove game.asm.partial.'),
    ]
    for name, options, links, message in cases:
        folder = new_folder(work, image, name, labels=True)
        open(os.path.join(folder, 'game.asm'), 'wb').write(b'an earlier result\r\n')
        for kind, target, link in links:
            if kind == 'link':
                os.symlink(target, os.path.join(folder, link))
            else:
                os.link(os.path.join(folder, target), os.path.join(folder, link))
        before = snapshot(folder)
        result = velkor(folder, [name] + options)
        what = 'collision %s %s: ' % (name, ' '.join(options))
        lines = BANNER + (b'Read file: MEMORY.QVT\r\n' if '-l' in options else b'')
        check(result.stdout == lines + b'ERROR: ' + message.encode() + b'\r\n',
              what + 'console ' + repr(result.stdout))
        check(result.returncode == 1, what + 'status %d' % result.returncode)
        check(snapshot(folder) == before, what + 'files changed')
    # A link under the result's name is replaced, not written through.
    folder = new_folder(work, image)
    os.symlink('game.bin', os.path.join(folder, 'game.asm'))
    result = velkor(folder, ['game.bin'])
    check(result.returncode == 0 and not os.path.islink(os.path.join(folder, 'game.asm')) and
          read(os.path.join(folder, 'game.bin')) == image, 'result link replaced')


def hard_links_under_temporary_names(work, image):
    """A temporary name hard-linked to a file of the user's: that file keeps its contents."""
    folder = new_folder(work, image)
    for name, link in (('notes.txt', 'game.asm.partial'), ('other.txt', '_tmp.$$$'),
                       ('listing.txt', 'game.$$$')):
        open(os.path.join(folder, name), 'wb').write(name.encode())
        os.link(os.path.join(folder, name), os.path.join(folder, link))
    run = velkor(folder, ['game.bin'])
    check(run.returncode == 0, 'hard links: status %d' % run.returncode)
    for name in ('notes.txt', 'other.txt', 'listing.txt'):
        check(read(os.path.join(folder, name)) == name.encode(), 'hard links: %s changed' % name)


def planted_links(work, image):
    """A link under the name of a file the run writes in place is refused, not written through."""
    for name, options in [('_tmp.$$$', []), ('_temp.$$$', ['-l']), ('game.$$$', []),
                          ('game.asm.partial', []), ('game.asm.partial', ['-d'])]:
        folder = new_folder(work, image, labels=True)
        victim = os.path.join(work, 'victim-' + os.path.basename(folder))
        open(victim, 'wb').write(b'not yours\n')
        os.symlink(victim, os.path.join(folder, name))
        result = velkor(folder, ['game.bin'] + options)
        what = 'link %s %s: ' % (name, ' '.join(options))
        check(result.returncode == 40, what + 'status %d' % result.returncode)
        check(result.stdout.endswith(('I/O error 40: Too many levels of symbolic links (%s)\r\n'
                                      % name).encode()), what + repr(result.stdout))
        check(open(victim, 'rb').read() == b'not yours\n', what + 'written through')
        check(os.path.islink(os.path.join(folder, name)), what + 'link removed')
        check(not os.path.exists(os.path.join(folder, 'game.asm')), what + 'result made')


def serial_results(work, jobs):
    """What each (image name, image, options) gives alone: console and result."""
    results = {}
    for name, image, options in jobs:
        folder = new_folder(work, image, name + '.bin', labels=True)
        run = velkor(folder, [name + '.bin'] + options)
        results[(name, tuple(options))] = (run.stdout, run.returncode,
                                           read(os.path.join(folder, name + '.asm')))
    return results


def parallel_runs(work, programs):
    """Eight runs at once in one folder over four images (each image twice, a mix of options and
    modes), and two runs of one image from two other folders with different options; every run
    gives what it gives alone, and no temporary file is left."""
    jobs = [('sieve', []), ('mandelbrot', ['-l']), ('ascii', ['-sa']), ('hello', ['-d', '-l'])] * 2
    images = {name: image for name, (start, image) in programs.items()}
    starts = {name: '-a$%04X' % start for name, (start, image) in programs.items()}
    expected = serial_results(work, [(n, images[n], o + [starts[n]]) for n, o in jobs] +
                              [('sieve', images['sieve'], o + [starts['sieve']])
                               for o in (['-sa'], ['-m'])])
    for round_number in range(6):
        folder = new_folder(work, labels=True)
        for name, image in images.items():
            open(os.path.join(folder, name + '.bin'), 'wb').write(image)
        others = [new_folder(work, labels=True) for _ in range(2)]
        shared = os.path.join(folder, 'sieve.bin')
        runs = [(folder, [n + '.bin'] + o + [starts[n]], (n, tuple(o + [starts[n]]))) for n, o in jobs]
        runs += [(f, ['../' + os.path.basename(folder) + '/sieve.bin'] + o + [starts['sieve']],
                  ('sieve', tuple(o + [starts['sieve']]))) for f, o in zip(others, (['-sa'], ['-m']))]
        random.Random(round_number).shuffle(runs)
        with ThreadPoolExecutor(len(runs)) as pool:
            done = list(pool.map(lambda r: (velkor(r[0], r[1]), r), runs))
        for run, (where, args, key) in done:
            console, status, _ = expected[key]
            what = 'parallel round %d %s: ' % (round_number, ' '.join(args))
            shown = console.replace(b'sieve.bin ->', args[0].encode() + b' ->')
            shown = shown.replace(b'-> sieve.asm', b'-> ' + args[0][:-4].encode() + b'.asm')
            check((run.returncode, run.stdout) == (status, shown), what + repr(run.stdout))
        for name in images:
            result = read(os.path.join(folder, name + '.asm'))
            keys = [k for k in expected if k[0] == name]
            check(any(result == expected[k][2] for k in keys), 'parallel round %d: %s.asm is no '
                  'serial result' % (round_number, name))
        for f in [folder] + others:
            left = sorted(n for n in os.listdir(f) if n.endswith(('$$$', '.partial')) and
                          n != '_temp.$$$')
            check(left == [], 'parallel round %d: left %s' % (round_number, left))


def full_disk(work, image):
    """The disk fills up (or the file-size limit is reached) while the run writes: the earlier
    result stays byte for byte, no unfinished result is left, and the report names the file."""
    folder = new_folder(work, image, labels=True)
    velkor(folder, ['game.bin', '-l'])
    new_result = read(os.path.join(folder, 'game.asm'))
    shutil.rmtree(folder)
    earlier = RESULT_HEAD + b'; an earlier result, kept by hand\r\n' * 10
    # Limits that cut the listing and that cut the result.
    for limit in (len(new_result) // 4, len(new_result) - 100):
        folder = new_folder(work, image, labels=True)
        open(os.path.join(folder, 'game.asm'), 'wb').write(earlier)
        os.chmod(os.path.join(folder, 'game.asm'), 0o640)

        def cap():
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
        run = velkor(folder, ['game.bin', '-l'], preexec_fn=cap)
        what = 'size limit %d: ' % limit
        check(run.returncode == 27, what + 'status %d' % run.returncode)
        check(b'I/O error 27: File too large (' in run.stdout, what + repr(run.stdout[-80:]))
        check(read(os.path.join(folder, 'game.asm')) == earlier, what + 'result lost')
        check(not os.path.exists(os.path.join(folder, 'game.asm.partial')), what + 'partial left')
        left = sorted(set(os.listdir(folder)) - {'game.bin', 'game.asm', 'mnemo.qvt', 'memory.qvt'})
        check(not left, what + 'temporary files left: %r' % left)
        run = velkor(folder, ['game.bin', '-l'])
        check(run.returncode == 0 and read(os.path.join(folder, 'game.asm')) ==
              new_result, what + 'the next run does not finish')
        check(os.stat(os.path.join(folder, 'game.asm')).st_mode & 0o777 == 0o640, what + 'mode')
    # A real full disk, where this machine lets us mount one.
    mount = os.path.join(work, 'small-disk')
    os.mkdir(mount)
    if subprocess.run(['mount', '-t', 'tmpfs', '-o', 'size=200k', 'tmpfs', mount],
                      capture_output=True).returncode != 0:
        print('note: no tmpfs could be mounted; the file-size limit stood in for a full disk')
        return
    try:
        for name in ('mnemo.qvt', 'memory.qvt'):
            shutil.copy(os.path.join(PROJECT, 'data', name), mount)
        big = (image * (0xB000 // len(image) + 1))[:0xB000]
        open(os.path.join(mount, 'game.bin'), 'wb').write(big)
        open(os.path.join(mount, 'game.asm'), 'wb').write(earlier)
        run = velkor(mount, ['game.bin', '-l', '-a$1000'])
        check(run.returncode == 28 and b'I/O error 28: No space left on device (' in run.stdout,
              'full disk: %d %r' % (run.returncode, run.stdout[-80:]))
        check(read(os.path.join(mount, 'game.asm')) == earlier, 'full disk: result lost')
        check(not os.path.exists(os.path.join(mount, 'game.asm.partial')), 'full disk: partial left')
        left = sorted(set(os.listdir(mount)) - {'game.bin', 'game.asm', 'mnemo.qvt', 'memory.qvt'})
        check(not left, 'full disk: temporary files left: %r' % left)
    finally:
        subprocess.run(['umount', mount])


def killed_runs(work, image):
    """Runs killed at moments spread over their whole length: the earlier result is either kept
    or wholly replaced. Killed outright, a run may leave its unfinished result under the name
    that says so; stopped by Ctrl-C or a termination request, it leaves no file of its own."""
    big = (image * (0xC000 // len(image) + 1))[:0xC000]
    folder = new_folder(work, big, labels=True)
    start = time.monotonic()
    velkor(folder, ['game.bin', '-l', '-sa', '-a$1000'])
    length = time.monotonic() - start
    new_result = read(os.path.join(folder, 'game.asm'))
    earlier = RESULT_HEAD + b'; an earlier result\r\n'
    outcomes = set()
    for i in range(24):
        how = (signal.SIGKILL, signal.SIGINT, signal.SIGTERM)[i % 3]
        folder = new_folder(work, big, labels=True)
        open(os.path.join(folder, 'game.asm'), 'wb').write(earlier)
        run = subprocess.Popen([VELKOR, 'game.bin', '-l', '-sa', '-a$1000'], cwd=folder,
                               stdout=subprocess.DEVNULL)
        time.sleep(length * 1.25 * (i + 0.5) / 24)
        run.send_signal(how)
        run.wait()
        result = read(os.path.join(folder, 'game.asm'))
        what = 'killed by %s after %d/24: ' % (how.name, i)
        check(result in (earlier, new_result), what + 'result cut')
        outcomes.add(result == new_result)
        left = sorted(os.listdir(folder))
        allowed = {'game.bin', 'game.asm', 'mnemo.qvt', 'memory.qvt'}
        if how == signal.SIGKILL:
            allowed |= {'game.asm.partial', 'game.$$$', '_tmp.$$$', '_temp.$$$'}
        check(set(left) <= allowed, what + 'left %s' % left)
        if how == signal.SIGKILL:  # the next run reuses what this one left
            again = velkor(folder, ['game.bin', '-l', '-sa', '-a$1000'])
            check(again.returncode == 0 and read(os.path.join(folder, 'game.asm')) == new_result
                  and set(os.listdir(folder)) == {'game.bin', 'game.asm', 'mnemo.qvt', 'memory.qvt'},
                  what + 'the next run')
    check(len(outcomes) == 2, 'killed runs: the kills did not fall on both sides of the end')


def closed_console(work, image):
    """A console that closes early, or that cannot be written, does not stop the run."""
    folder = new_folder(work, image, labels=True)
    alone = velkor(folder, ['game.bin', '-l'])
    expected = read(os.path.join(folder, 'game.asm'))
    for how in ('closed pipe', 'full device'):
        folder = new_folder(work, image, labels=True)
        if how == 'closed pipe':  # closed before the run writes its first line
            reader, writer = os.pipe()
            os.close(reader)
            status = subprocess.run([VELKOR, 'game.bin', '-l'], cwd=folder, stdout=writer).returncode
            os.close(writer)
        else:
            with open('/dev/full', 'wb') as full:
                status = subprocess.run([VELKOR, 'game.bin', '-l'], cwd=folder, stdout=full).returncode
        check(status == alone.returncode == 0, how + ': status %d' % status)
        check(read(os.path.join(folder, 'game.asm')) == expected, how + ': result')
        check(sorted(os.listdir(folder)) == ['game.asm', 'game.bin', 'memory.qvt', 'mnemo.qvt'],
              how + ': files left %s' % sorted(os.listdir(folder)))


def main():
    with tempfile.TemporaryDirectory() as work:
        programs = compiled_programs(work)
        start, image = programs['mandelbrot']
        collisions(work, image)
        planted_links(work, image)
        hard_links_under_temporary_names(work, image)
        parallel_runs(work, programs)
        full_disk(work, image)
        killed_runs(work, image)
        closed_console(work, image)
    if failures:
        raise SystemExit('%d failures' % len(failures))
    print('all data-safety cases passed')


if __name__ == '__main__':
    main()
