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
# The run target twice: once for crashes at full speed, once building every result again with
# ca65 (a few runs a second), where ca65 is installed.
for pass in run reference passes run-rebuilt; do
  target="${pass%-rebuilt}"
  rebuild=0
  [ "$pass" = run-rebuilt ] && rebuild=1
  mkdir -p "$work/$pass" "$work/findings"
  cp fuzz/corpus/"$target"/* "$work/$pass/"
  echo "fuzzing ${target}_fuzzer for ${seconds} s$([ $rebuild = 1 ] && echo ', each result built again with ca65')"
  status=0
  VELKOR_FUZZ_REBUILD=$rebuild build-fuzz/fuzz/"${target}"_fuzzer -max_total_time="$seconds" \
    -max_len=16384 -artifact_prefix="$work/findings/" "$work/$pass" >"$work/$pass.log" 2>&1 ||
    status=$?
  grep -E '^Done|ERROR|SUMMARY' "$work/$pass.log" || true
  if [ "$status" -ne 0 ] || [ -n "$(ls -A "$work/findings")" ]; then
    tail -n 40 "$work/$pass.log"
    echo "${target}_fuzzer failed; findings and log kept in $work"
    exit 1
  fi
done
rm -rf "$work"
