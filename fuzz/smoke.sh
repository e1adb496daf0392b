#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for the given number of seconds (default 30)
# on a copy of its seed corpus. A finding stops the script with the fuzzer's report.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
CXX=clang++ cmake -S . -B build-fuzz -DVELKOR_FUZZ=ON -DVELKOR_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2 >/dev/null
work="$(mktemp -d)"
for target in run reference; do
  mkdir -p "$work/$target" "$work/findings"
  cp fuzz/corpus/"$target"/* "$work/$target/"
  echo "fuzzing ${target}_fuzzer for ${seconds} s"
  build-fuzz/fuzz/"${target}"_fuzzer -max_total_time="$seconds" -max_len=16384 \
    -artifact_prefix="$work/findings/" \
    "$work/$target" 2>&1 | grep -E '^Done|ERROR|SUMMARY' || true
  if [ -n "$(ls -A "$work/findings")" ]; then
    echo "findings kept in $work/findings"
    exit 1
  fi
done
rm -rf "$work"
