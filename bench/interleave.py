#!/usr/bin/env python3
"""Times commands run one after another in turn, many times over, and prints the median of each
and its ratio to the first. Runs interleaved one by one are steadier on a shared machine than
rounds of one program after rounds of the other.

    python3 bench/interleave.py RUNS 'COMMAND A' 'COMMAND B' ...

Each command is split at blanks and started directly (no shell), with its output to /dev/null,
in the current folder. The order within each turn is shuffled (with a fixed seed), so that no
command always runs right after itself or right after the same other one: a run can slow the
next one down (the file it left behind is still being written out, say)."""
import os
import random
import statistics
import sys
import time


def main():
    runs = int(sys.argv[1])
    commands = [c.split() for c in sys.argv[2:]]
    times = [[] for _ in commands]
    devnull = os.open(os.devnull, os.O_WRONLY)
    shuffle = random.Random(1)
    for _ in range(runs):
        order = list(range(len(commands)))
        shuffle.shuffle(order)
        for k in order:
            start = time.perf_counter_ns()
            pid = os.posix_spawn(commands[k][0], commands[k], os.environ,
                                 file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1)])
            os.waitpid(pid, 0)
            times[k].append((time.perf_counter_ns() - start) / 1e6)
    first = statistics.median(times[0])
    for k, command in enumerate(commands):
        median = statistics.median(times[k])
        print('%7.2f ms  %5.2f  %s' % (median, median / first, ' '.join(command)))


if __name__ == '__main__':
    main()
