#!/bin/sh
# Installs the Debian packages the build needs, only those that are missing.
# Runs apt-get directly as root, through sudo otherwise.
set -e
# libsqlite3-dev: the query tests compare SELECT results with SQLite's.
PACKAGES="cmake ninja-build g++ make ccache libgtest-dev libgmock-dev zlib1g-dev libicu-dev libssl-dev libedit-dev libsqlite3-dev"
# Extra packages may be named on the command line: the benchmark library,
# or clang and its runtimes (libFuzzer, sanitizers) for the fuzz build.
PACKAGES="$PACKAGES $*"
missing=""
for p in $PACKAGES; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
echo "Installing:$missing"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q $missing
