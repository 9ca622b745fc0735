#!/usr/bin/env bash
# Times quorvale-batch over a folder of camera-like 6000 x 4000 photos (L at
# 400 dpi, plain reduction) and sets the time per photo against the codec
# floor (decode of one photo + encode of its 2000 x 1401 result) that
# imaging_bench measures in the same run, before and after the folder runs.
#
#   bench/folder_bench.sh [BUILD_FOLDER]        (default: build)
#
# Environment: PHOTOS (default 8) photos, REPEATS (default 5) timed runs after
# one untimed warm-up run, KEEP=1 keeps the work folder, EXTRA="--high-quality"
# adds options to quorvale-batch, GOAL sets the goal ratio (default 1.15).
# Exit status 0 when everything ran (a missed goal is printed, not failed),
# 2 when something could not be run.
set -euo pipefail

build=${1:-build}
photos=${PHOTOS:-8}
repeats=${REPEATS:-5}
extra=${EXTRA:-}
goal=${GOAL:-1.15}

batch=$build/cli/quorvale-batch
maker=$build/bench/make_photo
imaging=$build/bench/imaging_bench
for program in "$batch" "$maker" "$imaging"; do
  if [[ ! -x $program ]]; then
    echo "folder_bench: $program is missing; build first (make build BUILD=$build)" >&2
    exit 2
  fi
done

work=$(mktemp -d /tmp/quorvale-folder-XXXXXX)
if [[ ${KEEP:-0} == 1 ]]; then
  echo "work folder kept: $work"
else
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/in"

echo "Making $photos photos of 6000 x 4000 in $work/in ..."
for ((i = 1; i <= photos; i++)); do
  "$maker" "$work/in/$(printf 'photo%02d.jpg' "$i")" "$i"
done
sizes=$(stat -c %s "$work/in"/*.jpg | awk '{ s += $1; if (min == "" || $1 < min) min = $1;
  if ($1 > max) max = $1 } END { printf "%.1f to %.1f MB, %.1f MB in all", min / 1e6, max / 1e6, s / 1e6 }')

# The real time of imaging_bench's Floor on the first photo, in milliseconds.
floor_ms() {
  "$imaging" --photo="$work/in/photo01.jpg" --benchmark_filter='^Floor' \
    --benchmark_format=json 2>/dev/null |
    awk -F': ' '
      /"real_time"/ { value = $2; sub(/,.*/, "", value) }
      /"time_unit"/ { unit = $2; gsub(/[",]/, "", unit)
                      scale = unit == "ns" ? 1e-6 : unit == "us" ? 1e-3 : unit == "s" ? 1e3 : 1
                      printf "%.3f\n", value * scale; exit }'
}

# One run of quorvale-batch into a fresh output folder; prints its seconds.
run_batch() {
  rm -rf "$work/out"
  mkdir "$work/out"
  local start end status=0
  start=$(date +%s%N)
  # shellcheck disable=SC2086
  "$batch" --size L --reduce $extra "$work/in" "$work/out" >"$work/log" 2>"$work/err" || status=$?
  end=$(date +%s%N)
  local saved
  saved=$(find "$work/out" -name '*.jpg' | wc -l)
  if [[ $status != 0 || $saved != "$photos" ]]; then
    echo "folder_bench: quorvale-batch ended with status $status and $saved of $photos saved" >&2
    tail -n 5 "$work/log" "$work/err" >&2
    exit 2
  fi
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f\n", ns / 1e9 }'
}

echo "Codec floor (imaging_bench Floor) ..."
floor_before=$(floor_ms)
[[ -n $floor_before ]] || { echo "folder_bench: imaging_bench gave no Floor time" >&2; exit 2; }

echo "quorvale-batch --size L --reduce $extra: 1 warm-up run, $repeats timed runs ..."
run_batch >/dev/null
times=()
for ((r = 1; r <= repeats; r++)); do
  times+=("$(run_batch)")
done

floor_after=$(floor_ms)
[[ -n $floor_after ]] || { echo "folder_bench: imaging_bench gave no Floor time" >&2; exit 2; }

printf '%s\n' "${times[@]}" | sort -n | awk -v photos="$photos" -v before="$floor_before" \
  -v after="$floor_after" -v goal="$goal" -v sizes="$sizes" -v extra="$extra" '
  { t[NR] = $1 }
  END {
    n = NR
    median = n % 2 ? t[(n + 1) / 2] : (t[n / 2] + t[n / 2 + 1]) / 2
    floor = (before + after) / 2
    per_median = median * 1000 / photos
    per_best = t[1] * 1000 / photos
    runs = ""
    for (i = 1; i <= n; i++) runs = runs sprintf(" %.2f", t[i])
    printf "\nFolder benchmark: %d photos of 6000 x 4000 (%s), quorvale-batch --size L --reduce%s\n",
      photos, sizes, extra == "" ? "" : " " extra
    printf "  runs (s, sorted):%s\n", runs
    printf "  per photo:   median %.1f ms, best %.1f ms\n", per_median, per_best
    printf "  codec floor: %.1f ms per photo (real time; %.1f before, %.1f after the runs)\n",
      floor, before, after
    ratio = per_median / floor
    printf "  ratio:       median %.3fx, best %.3fx   goal <= %.2fx %s\n", ratio,
      per_best / floor, goal, ratio <= goal ? "met" : "MISSED"
  }'
