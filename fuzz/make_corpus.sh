#!/bin/sh
# Makes the fuzz target's seed corpus with the engine's own tool: an empty
# container, one with a few folders and files (one moved, one deleted), one
# holding a file of several pages, and the second one cut into a chain of
# parts. Usage: make_corpus.sh NORVANE_DB [DIR]
set -eu
tool=${1:?usage: make_corpus.sh path/to/norvane-db [corpus-dir]}
out=${2:-"$(dirname "$0")/corpus"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

"$tool" create "$work/empty.adb"

"$tool" create "$work/files.adb"
printf 'first file\n' | "$tool" put "$work/files.adb" /docs/a.txt
printf 'second\n' | "$tool" put "$work/files.adb" /docs/sub/b.txt
printf '' | "$tool" put "$work/files.adb" /zero
printf 'gone\n' | "$tool" put "$work/files.adb" /old.txt
"$tool" mkdir "$work/files.adb" /empty/inner
"$tool" mv "$work/files.adb" /docs/sub/b.txt /moved.txt
"$tool" rm "$work/files.adb" /old.txt

# 30000 bytes: eight data pages of 4064 bytes listed by one map page.
"$tool" create "$work/multipage.adb"
seq 1 6000 | head -c 30000 | "$tool" put "$work/multipage.adb" /pages.bin

for name in empty files multipage; do
  "$tool" check "$work/$name.adb" >/dev/null
  cp "$work/$name.adb" "$out/$name.adb"
done

# The same files as a chain of parts of 20480 bytes, laid one after the other
# as the fuzz target takes them: its input is "input.adb", and part k of it
# is named "input.adb<k>". Each part opens with its 280-byte part header:
# magic, the part size (little-endian 64 bits), the next part's name padded
# with zeros to 264 bytes.
part_size=20480
payload=$((part_size - 280))
stream="$work/files.stream"
tail -c +281 "$work/files.adb" > "$stream"
length=$(wc -c < "$stream")
parts=$(( (length + payload - 1) / payload ))
: > "$out/multipart.adb"
k=0
while [ "$k" -lt "$parts" ]; do
  next=""
  [ $((k + 1)) -lt "$parts" ] && next="input.adb$((k + 1))"
  { printf 'AAMVHFSS\000\120\000\000\000\000\000\000%s' "$next"
    head -c $((264 - ${#next})) /dev/zero
    tail -c +$((k * payload + 1)) "$stream" | head -c "$payload"; } >> "$out/multipart.adb"
  k=$((k + 1))
done
