#!/usr/bin/env bash
# Runs each fuzz target for SECONDS seconds from a fresh seed corpus.
# Usage: fuzz/run.sh BUILD SECONDS
# The corpus a target grows is kept in BUILD/fuzz/corpus/TARGET between runs;
# a crashing input is written to BUILD/fuzz/artifacts/ and ends the script
# with a non-zero status.
set -euo pipefail
build=${1:?usage: fuzz/run.sh BUILD SECONDS}
seconds=${2:?usage: fuzz/run.sh BUILD SECONDS}
work="$build/fuzz"
seeds="$work/seeds"

rm -rf "$seeds"
# libheif's encoder (x265) keeps some memory to the end: the seed maker is
# no fuzz target, and its leaks are not looked for.
ASAN_OPTIONS=detect_leaks=0 "$work/make_seeds" "$seeds"
mkdir -p "$work/artifacts"

status=0
for triple in jpeg_load_fuzzer:jpeg:20000 region_decode_fuzzer:region:20008 \
  path_rules_fuzzer:path_rules:4200 metadata_fuzzer:metadata:20000 \
  png_reader_fuzzer:png:20008 heif_reader_fuzzer:heif:40008; do
  IFS=: read -r target kind maxlen <<< "$triple"
  corpus="$work/corpus/$target"
  mkdir -p "$corpus"
  echo "== $target for $seconds s"
  # -timeout: one input taking longer is a finding (decode cost must stay bounded).
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$work/$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=4096 \
        -max_len="$maxlen" -print_final_stats=1 -artifact_prefix="$work/artifacts/$target-" \
        "$corpus" "$seeds/$kind" 2> "$work/$target.log"; then
    status=1
    tail -n 60 "$work/$target.log"
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^Done ' "$work/$target.log" || true
done
exit $status
