#!/bin/sh
# Short fuzzing run: fuzzer, fixtures folder, folder for crashing inputs,
# seconds. The seed corpus is a temporary copy of the fixtures.
set -e
fuzzer=$1 fixtures=$2 artifacts=$3 seconds=$4
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
if [ -d "$fixtures" ]; then
  cp "$fixtures"/*.xls "$corpus"/ 2>/dev/null || true
fi
mkdir -p "$artifacts"
"$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=200000 \
  -artifact_prefix="$artifacts"/ -print_final_stats=1 "$corpus"
