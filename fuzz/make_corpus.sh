#!/bin/sh
# Makes the fuzz target's seed corpus with the engine's own tool: an empty
# container, one with a few folders and files (one moved, one deleted), and
# one holding a file of several pages. Usage: make_corpus.sh NORVANE_DB [DIR]
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
