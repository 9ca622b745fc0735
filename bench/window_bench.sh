#!/usr/bin/env bash
# Times the window against quorvale-batch on the same folder: window_run
# (the main window driven offscreen through one run) and quorvale-batch
# with the same options take turns, each into a fresh output folder, and
# each window run is set against the command-line run beside it.
#
#   bench/window_bench.sh [BUILD_FOLDER]        (default: build)
#
# Environment: PHOTOS (default 16) photos of WIDTH x HEIGHT (default
# 6000 x 4000), REPEATS (default 9) pairs of timed runs after one untimed
# pair, HIGH_QUALITY=1 ticks the high-quality reduction, BATCH_JOBS (default
# 2) the photos quorvale-batch decodes at once (the window decodes one per
# core), GOAL the goal of the median wall-time ratio (default 1.05).
# Exit status 0 when everything ran (a missed goal is printed, not failed),
# 2 when something could not be run.
set -euo pipefail

build=${1:-build}
photos=${PHOTOS:-16}
repeats=${REPEATS:-9}
jobs=${BATCH_JOBS:-2}
width=${WIDTH:-6000}
height=${HEIGHT:-4000}
goal=${GOAL:-1.05}
# Both programs take the same option for it.
quality_flag=
if [[ ${HIGH_QUALITY:-0} == 1 ]]; then quality_flag=--high-quality; fi

batch=$build/cli/quorvale-batch
window=$build/bench/window_run
maker=$build/bench/make_photo
source "$(dirname "$0")/photos.sh"
require_programs "$batch" "$window" "$maker"

work=$(mktemp -d /tmp/quorvale-window-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in"
make_photos "$maker" "$work/in" "$photos" "$width" "$height"

# One run into a fresh output folder; prints its wall and CPU seconds.
run() {
  rm -rf "$work/out"
  mkdir "$work/out"
  if ! /usr/bin/time -f '%e %U %S' -o "$work/time" "$@" >"$work/log" 2>&1; then
    echo "window_bench: $1 failed" >&2
    tail -n 5 "$work/log" >&2
    exit 2
  fi
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/time"
}

echo "$photos photos of $width x $height, L at 400 dpi, reduced${quality_flag:+ (high quality)}:" \
  "1 untimed pair, then $repeats pairs (window, quorvale-batch --jobs $jobs) ..."
run "$window" $quality_flag "$work/in" "$work/out" >/dev/null
run "$batch" --size L --reduce --jobs "$jobs" $quality_flag "$work/in" "$work/out" >/dev/null
for ((r = 1; r <= repeats; r++)); do
  echo "pair $(run "$window" $quality_flag "$work/in" "$work/out") \
$(run "$batch" --size L --reduce --jobs "$jobs" $quality_flag "$work/in" "$work/out")"
done | awk -v goal="$goal" '
  function median(a, n,   i, j, t, b) {
    for (i = 1; i <= n; i++) b[i] = a[i]
    for (i = 2; i <= n; i++) for (j = i; j > 1 && b[j - 1] > b[j]; j--) {
      t = b[j]; b[j] = b[j - 1]; b[j - 1] = t
    }
    return n % 2 ? b[(n + 1) / 2] : (b[n / 2] + b[n / 2 + 1]) / 2
  }
  { n++; ww[n] = $2; wc[n] = $3; bw[n] = $4; bc[n] = $5; rw[n] = $2 / $4; rc[n] = $3 / $5 }
  END {
    printf "  window:         wall median %.2f s, cpu median %.2f s\n", median(ww, n), median(wc, n)
    printf "  quorvale-batch: wall median %.2f s, cpu median %.2f s\n", median(bw, n), median(bc, n)
    r = median(rw, n)
    printf "  window / quorvale-batch, pair by pair: wall median %.3fx, cpu median %.3fx   goal <= %.2fx %s\n",
      r, median(rc, n), goal, r <= goal ? "met" : "MISSED"
  }'
