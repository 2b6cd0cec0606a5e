#!/usr/bin/env bash
# Runs one Qt Test program of the Windows build under Wine, for CTest: the Windows build names
# this script as its CMAKE_CROSSCOMPILING_EMULATOR (./setup.sh windows). scripts/windows/test.sh
# gives it the Wine prefix and the X display (WINEPREFIX, DISPLAY) and the folders of Qt's and
# MinGW's DLLs (WINEPATH).
#   scripts/windows/run-test-program.sh PROGRAM.exe [arguments...]
# A Qt Test program under Wine finds no console to write its log to: the log goes to a file,
# which is shown as it grows (also when CTest ends a program that ran out of time).
#
# A program whose finished threads had loaded a library hangs in MinGW's thread library when it
# exits under Wine (README, "Windows"). Once the log says the tests are over, the program has
# 10 seconds to end; then it is ended, and the log's totals decide.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/windows/wine.sh
. "$here/wine.sh"

[[ -n ${WINEPREFIX:-} ]] || {
    echo "run-test-program.sh: WINEPREFIX is not set (scripts/windows/test.sh sets it)" >&2
    exit 2
}
log=$(mktemp --suffix=.txt)
tail -n +1 -F "$log" 2>/dev/null &
shower=$!
program=
finish() {
    [[ -n $program ]] && kill -KILL "$program" 2>/dev/null
    sleep 0.3 # the last lines
    kill "$shower" 2>/dev/null
    rm -f "$log"
}
trap 'finish; exit 143' TERM INT

# Not through wine_run: the process started here must be the program itself, to end it.
WINEDEBUG=${WINEDEBUG:--all} "$(wine_loader)" "$@" -o "$(wine_path "$log"),txt" </dev/null &
program=$!
finished_at=
while kill -0 "$program" 2>/dev/null; do
    if [[ -z $finished_at ]] && grep -q '^\*\*\*\*\*\*\*\*\* Finished testing of' "$log"; then
        finished_at=$SECONDS
    fi
    if [[ -n $finished_at ]] && ((SECONDS - finished_at >= 10)); then
        kill -KILL "$program" 2>/dev/null
        wait "$program" 2>/dev/null
        program=
        totals=$(grep -m1 '^Totals:' "$log")
        echo "run-test-program.sh: the program did not end 10 s after its last test; ended it." \
            "Its log: $totals" >&2
        finish
        [[ $totals =~ ,\ 0\ failed, ]] && exit 0
        exit 1
    fi
    sleep 0.2
done
wait "$program"
status=$?
program=
finish
exit "$status"
