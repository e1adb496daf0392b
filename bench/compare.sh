#!/usr/bin/env bash
# Times whole runs of velkor and of da65 (cc65's disassembler) on the same images, side by side,
# with hyperfine, and prints a table of medians, the ratio velkor/da65, velkor's pass count and
# the peak memory of each. Needs: cmake, g++, python3, cc65, hyperfine, GNU time.
#   bash bench/compare.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-30}"
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DVELKOR_TESTS=OFF >/dev/null
cmake --build build-release -j2 >/dev/null
velkor="$PWD/build-release/velkor"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 bench/make_inputs.py "$work" "$PWD"
cd "$work"

median() {  # median, in ms, of command $2's times in all the hyperfine JSON exports $1*.json
  python3 -c "
import glob, json, statistics, sys
times = [t for f in sorted(glob.glob(sys.argv[1] + '*.json'))
         for t in json.load(open(f))['results'][int(sys.argv[2])]['times']]
print('%.1f' % (statistics.median(times) * 1000))" "$1" "$2"
}
peak() {  # peak resident set of a command, in KB
  /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1
}

printf '| image | options | velkor median (ms) | da65 median (ms) | velkor/da65 | passes | velkor peak (KB) | da65 peak (KB) |\n'
printf '|---|---|---|---|---|---|---|---|\n'
while read -r name start options; do
  args=("$name.bin" "-a\$$start")
  case "$options" in
    -l:*) cp "${options#-l:}.qvt" memory.qvt; args+=(-l) ;;
    *) cp "$OLDPWD/data/memory.qvt" memory.qvt; for o in $options; do args+=("$o"); done ;;
  esac
  quoted="$velkor $(printf '%q ' "${args[@]}")"
  # Rounds that alternate the two programs, so that a slow spell of the machine hits both.
  for round in 1 2 3 4 5; do
    hyperfine -N --warmup 2 --runs "$(( (runs + 4) / 5 ))" --export-json "$name.$round.json" \
      "$quoted" "da65 -i $name.info" >/dev/null 2>&1
  done
  v=$(median "$name." 0)
  d=$(median "$name." 1)
  progress=$("$velkor" "${args[@]}" | tr -d '\r' | grep '^Pass ' || true)
  passes="none (data blocks)"
  [ -n "$progress" ] && passes=$(( ${#progress} - 7 ))  # "Pass " and a dot per pass, then two
  printf '| %s | %s | %s | %s | %s | %s | %s | %s |\n' "$name" "${args[*]:1}" "$v" "$d" \
    "$(python3 -c "print('%.2f' % ($v / $d))")" "$passes" \
    "$(peak "$velkor" "${args[@]}")" "$(peak da65 -i "$name.info")"
done < cases.txt
