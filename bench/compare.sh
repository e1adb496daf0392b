#!/usr/bin/env bash
# Times whole runs of velkor and of da65 (cc65's disassembler) on the same images, side by side,
# with hyperfine, the console going to /dev/null and to a pipe; prints a table of medians, the
# ratio velkor/da65 for each, velkor's pass count and the peak memory of each, then the realistic
# image against a floor program (bench/floor.c: it only reads the image and writes a file of the
# result's size). Needs: cmake, g++, python3, cc65, hyperfine, GNU time.
#   bash bench/compare.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-30}"
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DVELKOR_TESTS=OFF >/dev/null
cmake --build build-release -j2 >/dev/null
velkor="$PWD/build-release/velkor"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
gcc -O2 -static -o "$work/floor" bench/floor.c
python3 bench/make_inputs.py "$work" "$PWD"
cd "$work"

median() {  # median, in ms, of command $2's times in all the hyperfine JSON exports $1*.json
  python3 -c "
import glob, json, statistics, sys
times = [t for f in sorted(glob.glob(sys.argv[1] + '*.json'))
         for t in json.load(open(f))['results'][int(sys.argv[2])]['times']]
print('%.1f' % (statistics.median(times) * 1000))" "$1" "$2"
}
ratio() { python3 -c "print('%.2f' % ($1 / $2))"; }
peak() {  # peak resident set of a command, in KB
  /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1
}

printf '| image | options | velkor (ms) | da65 (ms) | velkor/da65 | velkor, pipe (ms) | da65, pipe (ms) | velkor/da65, pipe | passes | velkor peak (KB) | da65 peak (KB) |\n'
printf '|---|---|---|---|---|---|---|---|---|---|---|\n'
while read -r name start options; do
  args=("$name.bin" "-a\$$start")
  case "$options" in
    -l:*) cp "${options#-l:}.qvt" memory.qvt; args+=(-l) ;;
    *) cp "$OLDPWD/data/memory.qvt" memory.qvt; for o in $options; do args+=("$o"); done ;;
  esac
  quoted="$velkor $(printf '%q ' "${args[@]}")"
  size=$(stat -c %s "$name.bin")
  each=$(( (runs + 4) / 5 ))
  [ "$size" -gt 1000000 ] && each=2  # the huge images: fewer runs
  # Rounds that alternate the two programs, so that a slow spell of the machine hits both.
  for round in 1 2 3 4 5; do
    for output in null pipe; do
      hyperfine -N --warmup 1 --runs "$each" --output "$output" \
        --export-json "$name.$output.$round.json" "$quoted" "da65 -i $name.info" >/dev/null 2>&1
    done
  done
  v=$(median "$name.null." 0); d=$(median "$name.null." 1)
  vp=$(median "$name.pipe." 0); dp=$(median "$name.pipe." 1)
  progress=$("$velkor" "${args[@]}" | tr -d '\r' | grep '^Pass ' || true)
  passes="none (data blocks)"
  [ -n "$progress" ] && passes=$(( ${#progress} - 7 ))  # "Pass " and a dot per pass, then two
  printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$name" "${args[*]:1}" \
    "$v" "$d" "$(ratio "$v" "$d")" "$vp" "$dp" "$(ratio "$vp" "$dp")" "$passes" \
    "$(peak "$velkor" "${args[@]}")" "$(peak da65 -i "$name.info")"
done < cases.txt

# The realistic image against the floor: read the image, write a file of the result's size.
cp "$OLDPWD/data/memory.qvt" memory.qvt
"$velkor" realistic.bin '-a$1000' >/dev/null
size=$(stat -c %s realistic.asm)
listing=$size  # the listing is about as large as the result
for round in 1 2 3 4 5; do
  hyperfine -N --warmup 2 --runs "$(( (runs + 4) / 5 ))" --export-json "floor.$round.json" \
    "$velkor realistic.bin -a\$1000" "$work/floor realistic.bin floor.out $size" \
    "$work/floor realistic.bin floor.out $size $listing" >/dev/null 2>&1
done
v=$(median floor. 0); f=$(median floor. 1); g=$(median floor. 2)
printf '\nrealistic: velkor %s ms, floor %s ms, velkor/floor %s\n' "$v" "$f" "$(ratio "$v" "$f")"
printf 'floor with the same file work (listing, temporary file, result put in place by renaming): %s ms, velkor/that floor %s\n' \
  "$g" "$(ratio "$v" "$g")"
