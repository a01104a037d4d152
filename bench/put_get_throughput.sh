#!/bin/sh
# Throughput of norvane-db put and get against cp of the same file, on the
# same disk in the same run, for a plain and an encrypted catalogue. Usage:
# bench/put_get_throughput.sh [SIZE_MB] [TOOL] (defaults 1024 and the tool of
# ./build). Every figure is the median of five rounds of cp, put and get,
# each timed up to the end of a sync; prints MB/s and ratios against cp.
set -eu
cd "$(dirname "$0")/.."
SIZE_MB=${1:-1024}
TOOL=${2:-./build/tools/norvane-db/norvane-db}
RUNS=5
PASSWORD=bench-password
WORK=$(mktemp -d "${TMPDIR:-/tmp}/norvane-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

head -c "$((SIZE_MB * 1024 * 1024))" /dev/urandom > "$WORK/source.bin"
sync

seconds() {  # runs the command, prints its wall time in seconds
  start=$(date +%s.%N)
  "$@" > /dev/null
  sync
  end=$(date +%s.%N)
  awk "BEGIN { print $end - $start }"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# One round: cp, then put and get into a new catalogue (encrypted when
# password options are given). Prints "cp put get" seconds.
round() {
  rm -f "$WORK/copy.bin" "$WORK/back.bin" "$WORK/bench.adb"
  # Freeing the last round's files (with their discards) is charged to none
  # of the timed commands.
  sync
  cp_time=$(seconds cp "$WORK/source.bin" "$WORK/copy.bin")
  $TOOL create "$WORK/bench.adb" "$@" > /dev/null
  put_time=$(seconds $TOOL put "$WORK/bench.adb" /data/source.bin "$WORK/source.bin" "$@")
  get_time=$(seconds $TOOL get "$WORK/bench.adb" /data/source.bin "$WORK/back.bin" "$@")
  cmp "$WORK/source.bin" "$WORK/back.bin"
  echo "$cp_time $put_time $get_time"
}

rate() { awk "BEGIN { printf \"%.1f\", $SIZE_MB / $1 }"; }
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }

report() {  # label, then the options of the catalogue
  label=$1
  shift
  cps="" puts="" gets="" put_ratios="" get_ratios=""
  for _ in $(seq "$RUNS"); do
    set -- $(round "$@") "$@"
    cps="$cps $1" puts="$puts $2" gets="$gets $3"
    # Each round's ratios compare runs made close together, which keeps
    # a change in the machine's load out of them.
    put_ratios="$put_ratios $(ratio "$1" "$2")" get_ratios="$get_ratios $(ratio "$1" "$3")"
    shift 3
  done
  # shellcheck disable=SC2086
  {
    cp_time=$(median $cps) put_time=$(median $puts) get_time=$(median $gets)
    put_ratio=$(median $put_ratios) get_ratio=$(median $get_ratios)
  }
  echo "$label catalogue, $SIZE_MB MB, medians of $RUNS (byte for byte equal after put and get):"
  echo "  cp:        $(rate "$cp_time") MB/s"
  echo "  put:       $(rate "$put_time") MB/s  ($put_ratio x cp; rounds:$put_ratios)"
  echo "  get:       $(rate "$get_time") MB/s  ($get_ratio x cp; rounds:$get_ratios)"
  echo "  container: $(stat -c %s "$WORK/bench.adb") bytes"
}

report plain
report encrypted --password "$PASSWORD"
