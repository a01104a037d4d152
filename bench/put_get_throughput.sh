#!/bin/sh
# Throughput of norvane-db put and get against cp of the same file, on the
# same disk in the same run. Usage: bench/put_get_throughput.sh [SIZE_MB]
# (default 1024). Needs a built tree (make build); prints MB/s and ratios.
set -eu
cd "$(dirname "$0")/.."
TOOL=./build/tools/norvane-db/norvane-db
SIZE_MB=${1:-1024}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/norvane-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

head -c "$((SIZE_MB * 1024 * 1024))" /dev/urandom > "$WORK/source.bin"
sync

seconds() {  # runs the command, prints its wall time in seconds
  start=$(date +%s.%N)
  "$@"
  sync
  end=$(date +%s.%N)
  awk "BEGIN { print $end - $start }"
}

cp_time=$(seconds cp "$WORK/source.bin" "$WORK/copy.bin")
$TOOL create "$WORK/bench.adb"
put_time=$(seconds $TOOL put "$WORK/bench.adb" /data/source.bin "$WORK/source.bin")
get_time=$(seconds $TOOL get "$WORK/bench.adb" /data/source.bin "$WORK/back.bin")
cmp "$WORK/source.bin" "$WORK/back.bin"

rate() { awk "BEGIN { printf \"%.1f\", $SIZE_MB / $1 }"; }
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }
echo "size:      $SIZE_MB MB (byte for byte equal after put and get)"
echo "cp:        $(rate "$cp_time") MB/s"
echo "put:       $(rate "$put_time") MB/s  ($(ratio "$cp_time" "$put_time") x cp)"
echo "get:       $(rate "$get_time") MB/s  ($(ratio "$cp_time" "$get_time") x cp)"
echo "container: $(stat -c %s "$WORK/bench.adb") bytes"
