# Shared by the whole-folder benchmarks; sourced, not run.

# Exits with status 2 naming the first of the given programs that is not built.
require_programs() {
  local program
  for program in "$@"; do
    if [[ ! -x $program ]]; then
      echo "$(basename "$0"): $program is missing; build first" >&2
      exit 2
    fi
  done
}

# make_photos MAKER FOLDER COUNT WIDTH HEIGHT: COUNT camera-like photos in
# FOLDER. At most 8 different photos are made; more are copies of them, which
# cost the same to work through. Many photos show the steady state of a long
# run, past the first touch of each bitmap's memory, which a virtual machine
# can make slow.
make_photos() {
  local maker=$1 folder=$2 count=$3 width=$4 height=$5 i name
  local distinct=$((count < 8 ? count : 8))
  for ((i = 1; i <= count; i++)); do
    name=$folder/$(printf 'photo%03d.jpg' "$i")
    if ((i <= distinct)); then
      "$maker" "$name" "$i" "$width" "$height"
    else
      cp "$folder/$(printf 'photo%03d.jpg' $(((i - 1) % distinct + 1)))" "$name"
    fi
  done
}
