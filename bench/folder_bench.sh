#!/usr/bin/env bash
# Times quorvale-batch over a folder of camera-like photos (6000 x 4000 unless
# told otherwise; L at 400 dpi, plain reduction) and sets the time per photo
# against the codec floor (full decode of a photo + encode of its result)
# that imaging_bench measures in the same run, between the folder runs: one
# photo at a time for --jobs 1, two at a time (the two-core limit of a run
# that decodes whole photos) for more. Also reports the peak resident memory
# of a run.
#
#   bench/folder_bench.sh [BUILD_FOLDER]        (default: build)
#
# Environment: PHOTOS (default 8) photos, REPEATS (default 5) timed runs after
# one untimed warm-up run (the one whose memory is measured), KEEP=1 keeps
# the work folder, EXTRA="--high-quality" adds options to quorvale-batch,
# WIDTH and HEIGHT the photos' size,
# BATCH_JOBS the photos decoded at once (default 1), SIZE and DPI the size
# (default L at 400). With BATCH_JOBS=1 the runs are judged on CPU time
# (user + system) against the one-at-a-time floor's; with more, on real time
# per photo against the two-at-a-time floor's. GOAL sets the goal ratio
# (default 1.15 for one job; for more, 1.00, or 1.10 with --high-quality).
# Exit status 0 when everything ran (a missed goal is printed, not failed),
# 2 when something could not be run.
set -euo pipefail

build=${1:-build}
photos=${PHOTOS:-8}
repeats=${REPEATS:-5}
extra=${EXTRA:-}
jobs=${BATCH_JOBS:-1}
width=${WIDTH:-6000}
height=${HEIGHT:-4000}
size=${SIZE:-L}
dpi=${DPI:-400}
if ((jobs == 1)); then
  goal=${GOAL:-1.15}
  floor_name=Floor
elif [[ $extra == *--high-quality* ]]; then
  goal=${GOAL:-1.10}
  floor_name=FloorTwoAtATime
else
  goal=${GOAL:-1.00}
  floor_name=FloorTwoAtATime
fi

batch=$build/cli/quorvale-batch
maker=$build/bench/make_photo
imaging=$build/bench/imaging_bench
source "$(dirname "$0")/photos.sh"
require_programs "$batch" "$maker" "$imaging"

work=$(mktemp -d /tmp/quorvale-folder-XXXXXX)
if [[ ${KEEP:-0} == 1 ]]; then
  echo "work folder kept: $work"
else
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/in"

distinct=$((photos < 8 ? photos : 8))
echo "Making $photos photos of $width x $height ($distinct different) in $work/in ..."
make_photos "$maker" "$work/in" "$photos" "$width" "$height"
sizes=$(stat -c %s "$work/in"/*.jpg | awk '{ s += $1; if (min == "" || $1 < min) min = $1;
  if ($1 > max) max = $1 } END { printf "%.1f to %.1f MB, %.1f MB in all", min / 1e6, max / 1e6, s / 1e6 }')

# Real and CPU milliseconds per photo of imaging_bench's floor on the first
# photo; the two-at-a-time floor does two photos an iteration (its CPU time
# is not the process's, and is not used).
floor_ms() {
  local per=1
  if [[ $floor_name == FloorTwoAtATime ]]; then per=2; fi
  "$imaging" --photo="$work/in/photo001.jpg" --benchmark_filter="^$floor_name/" \
    --benchmark_format=json 2>/dev/null |
    awk -v per="$per" -F': ' '
      /"real_time"/ { real = $2; sub(/,.*/, "", real) }
      /"cpu_time"/ { cpu = $2; sub(/,.*/, "", cpu) }
      /"time_unit"/ { unit = $2; gsub(/[",]/, "", unit)
                      scale = unit == "ns" ? 1e-6 : unit == "us" ? 1e-3 : unit == "s" ? 1e3 : 1
                      printf "%.3f %.3f\n", real * scale / per, cpu * scale / per; exit }'
}

# One run of quorvale-batch into a fresh output folder. Timed (the default),
# prints its real and CPU (user + system) seconds to the millisecond, from
# the shell's own clock and the child's accounting (GNU time's real seconds
# have two decimals, cut rather than rounded: 2 % of a 12 MP run); given
# "memory", prints its peak resident memory in kilobytes.
run_batch() {
  rm -rf "$work/out"
  mkdir "$work/out"
  local status=0
  local TIMEFORMAT='%3R %3U %3S'
  # shellcheck disable=SC2086
  if [[ ${1:-} == memory ]]; then
    /usr/bin/time -f '%M' -o "$work/time" \
      "$batch" --size "$size" --dpi "$dpi" --reduce --jobs "$jobs" $extra "$work/in" "$work/out" \
      >"$work/log" 2>"$work/err" || status=$?
  else
    { time "$batch" --size "$size" --dpi "$dpi" --reduce --jobs "$jobs" $extra "$work/in" \
      "$work/out" >"$work/log" 2>"$work/err" || status=$?; } 2>"$work/time"
  fi
  local saved
  saved=$(find "$work/out" -name '*.jpg' | wc -l)
  if [[ $status != 0 || $saved != "$photos" ]]; then
    echo "folder_bench: quorvale-batch ended with status $status and $saved of $photos saved" >&2
    tail -n 5 "$work/log" "$work/err" >&2
    exit 2
  fi
  tail -n 1 "$work/time" | awk '{ if (NF == 1) print $1; else printf "%.3f %.3f\n", $1, $2 + $3 }'
}

measure_floor() {
  local floor
  floor=$(floor_ms)
  if [[ -z $floor ]]; then
    echo "folder_bench: imaging_bench gave no Floor time" >&2
    exit 2
  fi
  echo "$floor"
}

# The floor is measured before the first run, between the runs and after the
# last, and each run is set against the mean of the floors either side of it,
# so that a change in the machine's load touches both sides of a ratio.
echo "quorvale-batch --size $size --dpi $dpi --reduce --jobs $jobs $extra: 1 warm-up run," \
  "then $repeats timed runs, each between two measurements of the codec floor" \
  "(imaging_bench $floor_name) ..."
peak=$(run_batch memory)
floors=("$(measure_floor)")
runs=()
for ((r = 1; r <= repeats; r++)); do
  runs+=("$(run_batch)")
  floors+=("$(measure_floor)")
done

{
  printf 'floor %s\n' "${floors[@]}"
  printf 'run %s\n' "${runs[@]}"
} | awk -v photos="$photos" -v peak="$peak" -v goal="$goal" -v sizes="$sizes" -v extra="$extra" \
  -v size="$size" -v dpi="$dpi" \
  -v jobs="$jobs" -v width="$width" -v height="$height" '
  function median(a, n,   i, j, t, b) {
    for (i = 1; i <= n; i++) b[i] = a[i]
    for (i = 2; i <= n; i++) for (j = i; j > 1 && b[j - 1] > b[j]; j--) {
      t = b[j]; b[j] = b[j - 1]; b[j - 1] = t
    }
    return n % 2 ? b[(n + 1) / 2] : (b[n / 2] + b[n / 2 + 1]) / 2
  }
  function least(a, n,   i, m) { m = a[1]; for (i = 2; i <= n; i++) if (a[i] < m) m = a[i]; return m }
  $1 == "floor" { nf++; freal[nf] = $2; fcpu[nf] = $3 }
  $1 == "run" { nr++; rreal[nr] = $2 * 1000 / photos; rcpu[nr] = $3 * 1000 / photos }
  END {
    for (i = 1; i <= nr; i++) {
      xreal[i] = rreal[i] / ((freal[i] + freal[i + 1]) / 2)
      xcpu[i] = rcpu[i] / ((fcpu[i] + fcpu[i + 1]) / 2)
      list = list sprintf(" %.3f", jobs > 1 ? xreal[i] : xcpu[i])
    }
    printf "\nFolder benchmark: %d photos of %d x %d (%s), quorvale-batch --size %s --dpi %d --reduce --jobs %d%s\n",
      photos, width, height, sizes, size, dpi, jobs, extra == "" ? "" : " " extra
    printf "  per photo:   cpu median %.1f ms, real median %.1f ms (best %.1f)\n",
      median(rcpu, nr), median(rreal, nr), least(rreal, nr)
    printf "  codec floor: cpu median %.1f ms, real median %.1f ms (%d measurements)\n",
      median(fcpu, nf), median(freal, nf), nf
    printf "  %s ratio of each run to the floors beside it:%s\n", (jobs > 1 ? "real" : "cpu"), list
    decoded = width * height * 3 / 1024
    printf "  peak memory: %.1f MB, %.2fx the decoded photo (%.1f MB)\n",
      peak / 1024, peak / decoded, decoded / 1024
    if (jobs > 1) {
      ratio = median(xreal, nr)
      printf "  ratio:       real median %.3fx (best %.3fx)   goal <= %.2fx %s\n",
        ratio, least(xreal, nr), goal, ratio <= goal ? "met" : "MISSED"
      printf "  (judged on real time per photo against the floor two photos at a time)\n"
    } else {
      ratio = median(xcpu, nr)
      printf "  ratio:       cpu median %.3fx (best %.3fx), real median %.3fx   goal <= %.2fx %s\n",
        ratio, least(xcpu, nr), median(xreal, nr), goal, ratio <= goal ? "met" : "MISSED"
      printf "  (judged on cpu time, user + system, which other load on the machine disturbs less)\n"
    }
  }'
