#!/usr/bin/env bash
# Runs the terminal on a demo competition in an embedded SQLite file, with a simulated
# operator moving through the start list. Used by ./setup.sh demo.
#   scripts/demo.sh <build folder> <data folder>
set -euo pipefail
build=$1
data=$2
db="$data/demo.sqlite"
aliases="$data/aliases.ini"
jumpdb="$build/tools/jumpdb"

# Every profile of the terminal points at the demo file; the user's own alias file is untouched.
cat >"$aliases" <<INI
[Jump]
Driver=SQLite
Database=$db
[JumpLocal]
Driver=SQLite
Database=$db
[JumpServer]
Driver=SQLite
Database=$db
INI
export TOLLIVANE_ALIASES=$aliases

# A fresh competition each time: 30 competitors, two rounds, all seats free.
"$jumpdb" create --replace --alias Jump
"$jumpdb" seed --alias Jump

# The operator puts up the next competitor once every seated judge has registered.
"$jumpdb" operator --alias Jump &
operator=$!
trap 'kill $operator 2>/dev/null || true' EXIT

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: set DISPLAY (or run under xvfb-run) to see the terminal." >&2
fi
echo "Demo competition: $db (alias file $aliases). Claim a seat and press Start."
"$build/app/tollivane"
