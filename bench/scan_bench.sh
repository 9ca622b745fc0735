#!/usr/bin/env bash
# Times the folder scan of a run (scan_folder, all subfolders) against
# `find DIR -name '*.jpg'` on a tree of FILES non-JPEG files (default
# 200,000) spread evenly over FOLDERS folders (default 2,000: 20 folders of
# 100 each), in /tmp. The two are run in turn, REPEATS times each (default
# 11) after one untimed run of each, and the ratio is the median of the
# ratios of each pair, so that a change in the machine's load touches both
# sides. The tree is made once and kept while the script runs (KEEP=1 keeps
# it afterwards).
#
#   bench/scan_bench.sh [BUILD_FOLDER]        (default: build)
#
# Exit status 0 when everything ran (a missed goal, 1.3x, is printed, not
# failed), 2 when something could not be run.
set -euo pipefail

build=${1:-build}
files=${FILES:-200000}
folders=${FOLDERS:-2000}
repeats=${REPEATS:-11}
scan=$build/bench/scan_folder
if [[ ! -x $scan ]]; then
  echo "scan_bench: $scan is missing; build first (make build BUILD=$build)" >&2
  exit 2
fi

work=$(mktemp -d /tmp/quorvale-scan-XXXXXX)
if [[ ${KEEP:-0} == 1 ]]; then
  echo "work folder kept: $work"
else
  trap 'rm -rf "$work"' EXIT
fi

outer=20
inner=$(((folders + outer - 1) / outer))
per=$(((files + folders - 1) / folders))
echo "Making $files files in $folders folders under $work/tree ..."
for ((a = 0; a < outer; a++)); do
  for ((b = 0; b < inner && a * inner + b < folders; b++)); do
    mkdir -p "$work/tree/d$a/s$b"
  done
done
# touch takes a folder's names at once; the names end in .txt, so the scan
# lists none of them.
find "$work/tree" -mindepth 2 -type d -print0 |
  xargs -0 -n 1 -P 2 bash -c 'cd "$1" && seq -f "n%05g.txt" 1 '"$per"' | xargs touch' _

made=$(find "$work/tree" -type f | wc -l)
expected=$("$scan" "$work/tree")
echo "scan_folder: $expected ($made files made)"

# Milliseconds of one run of a command, its output thrown away.
millis() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

millis "$scan" "$work/tree" >/dev/null
millis find "$work/tree" -name '*.jpg' >/dev/null
pairs=()
for ((r = 1; r <= repeats; r++)); do
  pairs+=("$(millis "$scan" "$work/tree") $(millis find "$work/tree" -name '*.jpg')")
done

printf '%s\n' "${pairs[@]}" | awk -v files="$files" -v folders="$folders" '
  function median(a, n,   i, j, t, b) {
    for (i = 1; i <= n; i++) b[i] = a[i]
    for (i = 2; i <= n; i++) for (j = i; j > 1 && b[j - 1] > b[j]; j--) {
      t = b[j]; b[j] = b[j - 1]; b[j - 1] = t
    }
    return n % 2 ? b[(n + 1) / 2] : (b[n / 2] + b[n / 2 + 1]) / 2
  }
  { n++; scan[n] = $1; find[n] = $2; ratio[n] = $2 > 0 ? $1 / $2 : 0 }
  END {
    r = median(ratio, n)
    printf "\nScan of %d files in %d folders (none a JPEG), %d runs of each in turn:\n", files, folders, n
    printf "  scan_folder:            median %d ms\n", median(scan, n)
    printf "  find DIR -name *.jpg:   median %d ms\n", median(find, n)
    printf "  ratio:                  median %.2fx   goal <= 1.30x %s\n", r, r <= 1.3 ? "met" : "MISSED"
  }'
