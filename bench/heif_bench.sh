#!/usr/bin/env bash
# Times quorvale-batch over a folder of HEIC photos against heif-convert
# (libheif-examples) turning the same photos into JPEG one at a time, and
# the cost of --colour srgb against --colour keep on photos that carry a
# wide-gamut profile.
#
#   bench/heif_bench.sh [BUILD_FOLDER]        (default: build)
#
# Environment: PHOTOS (default 12) HEIC photos of WIDTH x HEIGHT (default
# 4000 x 3000), made by heif-enc from camera-like JPEGs; COLOUR_WIDTH x
# COLOUR_HEIGHT (default 6000 x 4000) JPEGs tagged Display P3 for the colour
# runs; REPEATS (default
# 5) timed runs of each after one untimed warm-up, interleaved A B A B;
# KEEP=1 keeps the work folder; MAKER another program that writes a photo as
# make_photo does (MAKER OUT.jpg SEED WIDTH HEIGHT). The runs are quorvale-batch --all-photos
# --size L --dpi 400 --reduce --jobs 2 (goal: at most 0.55 of heif-convert's
# time) and the colour runs with --jobs 2 (goal: sRGB at most 1.03 of keep).
# Exit status 0 when everything ran (a missed goal is printed, not failed),
# 2 when something could not be run.
set -euo pipefail

build=${1:-build}
photos=${PHOTOS:-12}
repeats=${REPEATS:-5}
width=${WIDTH:-4000}
height=${HEIGHT:-3000}
colour_width=${COLOUR_WIDTH:-6000}
colour_height=${COLOUR_HEIGHT:-4000}

batch=$build/cli/quorvale-batch
maker=${MAKER:-$build/bench/make_photo}
source "$(dirname "$0")/photos.sh"
require_programs "$batch" "$maker"
for tool in heif-enc heif-convert exiftool bc; do
  if ! command -v "$tool" >/dev/null; then
    echo "$(basename "$0"): $tool is missing (apt-get install libheif-examples libimage-exiftool-perl bc)" >&2
    exit 2
  fi
done

work=$(mktemp -d /tmp/quorvale-heif-XXXXXX)
if [[ ${KEEP:-0} == 1 ]]; then
  echo "work folder kept: $work"
else
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/jpeg" "$work/heic" "$work/colour"

echo "Making $photos HEIC photos of $width x $height in $work/heic ..."
make_photos "$maker" "$work/jpeg" "$photos" "$width" "$height"
for jpeg in "$work"/jpeg/*.jpg; do
  heif-enc -q 90 -o "$work/heic/$(basename "${jpeg%.jpg}").heic" "$jpeg" >/dev/null
done

# Seconds of real time of one run of the command.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

convert_all() {
  local heic
  rm -rf "$work/converted" && mkdir -p "$work/converted"
  for heic in "$work"/heic/*.heic; do
    heif-convert -q 90 "$heic" "$work/converted/$(basename "${heic%.heic}").jpg"
  done
}

batch_all() {
  rm -rf "$work/out"
  "$batch" --all-photos --size L --dpi 400 --reduce --jobs 2 "$work/heic" "$work/out"
}

# median of the numbers on standard input
median() {
  sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# paired NAME_A FUNCTION_A NAME_B FUNCTION_B GOAL: interleaved runs, the
# median of the ratios A / B pair by pair.
paired() {
  local a=$2 b=$4 goal=$5 i ta tb ratios=()
  "$a" >/dev/null 2>&1
  "$b" >/dev/null 2>&1
  for ((i = 0; i < repeats; i++)); do
    ta=$(seconds "$a")
    tb=$(seconds "$b")
    ratios+=("$(echo "$ta / $tb" | bc -l)")
    printf '  %s %.2f s   %s %.2f s\n' "$1" "$ta" "$3" "$tb"
  done
  local ratio
  ratio=$(printf '%s\n' "${ratios[@]}" | median)
  printf '%s / %s: median ratio %.3f (goal at most %s)\n' "$1" "$3" "$ratio" "$goal"
}

paired quorvale-batch batch_all heif-convert convert_all 0.55

echo "Making $photos photos of $colour_width x $colour_height tagged Display P3 ..."
make_photos "$maker" "$work/colour" "$photos" "$colour_width" "$colour_height"
# Display P3 (its primaries, D65, sRGB's curve) as the HEIC reader builds it
# for an nclx description: 584 bytes.
base64 -d >"$work/p3.icc" <<'PROFILE'
AAACSGxjbXMEQAAAbW50clJHQiBYWVogB+oADAAIAAwAOAApYWNzcEFQUEwAAAAAAAAAAAAAAAAA
AAAAAAAAAAAAAAAAAPbWAAEAAAAA0y1sY21zAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA
AAAAAAAAAAAAAAAAAAAAAAALZGVzYwAAAQgAAAA0Y3BydAAAATwAAABMd3RwdAAAAYgAAAAUY2hh
ZAAAAZwAAAAsclhZWgAAAcgAAAAUYlhZWgAAAdwAAAAUZ1hZWgAAAfAAAAAUclRSQwAAAgQAAAAg
Z1RSQwAAAgQAAAAgYlRSQwAAAgQAAAAgY2hybQAAAiQAAAAkbWx1YwAAAAAAAAABAAAADGVuVVMA
AAAYAAAAHABSAEcAQgAgAGIAdQBpAGwAdAAtAGkAbm1sdWMAAAAAAAAAAQAAAAxlblVTAAAAMAAA
ABwATgBvACAAYwBvAHAAeQByAGkAZwBoAHQALAAgAHUAcwBlACAAZgByAGUAZQBsAHlYWVogAAAA
AAAA9tYAAQAAAADTLXNmMzIAAAAAAAEMQgAABd7///MlAAAHkwAA/ZD///uh///9ogAAA9wAAMBu
WFlaIAAAAAAAAIPfAAA9v////7tYWVogAAAAAAAAKDgAABELAADIuVhZWiAAAAAAAABKvwAAsTcA
AAq5cGFyYQAAAAAAAwAAAAJmZgAA8qcAAA1ZAAAT0AAACltjaHJtAAAAAAADAAAAAK4UAABR7AAA
Q9cAALCkAAAmZgAAD1w=
PROFILE
exiftool -q -q -overwrite_original "-icc_profile<=$work/p3.icc" "$work"/colour/*.jpg

colour_srgb() {
  rm -rf "$work/srgb"
  "$batch" --colour srgb --size L --dpi 400 --reduce --jobs 2 "$work/colour" "$work/srgb"
}
colour_keep() {
  rm -rf "$work/keep"
  "$batch" --colour keep --size L --dpi 400 --reduce --jobs 2 "$work/colour" "$work/keep"
}
paired "--colour srgb" colour_srgb "--colour keep" colour_keep 1.03
