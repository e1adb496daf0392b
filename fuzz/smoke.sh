#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for the given number of seconds (default 30)
# on a copy of its seed corpus. A finding, or a target that fails to run, stops the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
case "$seconds" in
  ''|*[!0-9]*) echo "usage: bash fuzz/smoke.sh [SECONDS]  (a whole number, default 30)" >&2; exit 2 ;;
esac
CXX=clang++ cmake -S . -B build-fuzz -DVELKOR_FUZZ=ON -DVELKOR_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2 >/dev/null
work="$(mktemp -d)"
for target in run reference passes; do
  mkdir -p "$work/$target" "$work/findings"
  cp fuzz/corpus/"$target"/* "$work/$target/"
  echo "fuzzing ${target}_fuzzer for ${seconds} s"
  status=0
  build-fuzz/fuzz/"${target}"_fuzzer -max_total_time="$seconds" -max_len=16384 \
    -artifact_prefix="$work/findings/" "$work/$target" >"$work/$target.log" 2>&1 || status=$?
  grep -E '^Done|ERROR|SUMMARY' "$work/$target.log" || true
  if [ "$status" -ne 0 ] || [ -n "$(ls -A "$work/findings")" ]; then
    tail -n 40 "$work/$target.log"
    echo "${target}_fuzzer failed; findings and log kept in $work"
    exit 1
  fi
done
rm -rf "$work"
