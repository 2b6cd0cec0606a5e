#!/usr/bin/env bash
# Runs the acceptance tests of the whole terminal outside CTest.
#
#   tests/acceptance/run.sh            every scenario on every route, as CI runs them
#   tests/acceptance/run.sh --long     two rounds of 30 competitors on every route (flow only)
#
# Options:
#   --build DIR        build folder (default: build); its tollivane, jumpdb and
#                      accept_selection are built first
#   --route R          sqlite, firebird or odbc (repeatable; default all three)
#   --scenario S       flow, faults, hostile or settings (repeatable; default all)
#   --competitors N    competitors in each round of the flow (default 3; --long: 30)
#   --seed S           seed of the judges' random choices (default 1)
#
# The server routes need the servers of scripts/servers.sh running; their env lines are read
# from `scripts/servers.sh env` when they answer. Screenshots, logs and the tables of a failed
# run stay in BUILD/acceptance/<scenario>_<route>/.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

build=$root/build
routes=()
scenarios=()
competitors=3
long=0
seed=1
while [[ $# -gt 0 ]]; do
    case $1 in
    --long) long=1 ;;
    --build) build=$(cd "$2" && pwd); shift ;;
    --route) routes+=("$2"); shift ;;
    --scenario) scenarios+=("$2"); shift ;;
    --competitors) competitors=$2; shift ;;
    --seed) seed=$2; shift ;;
    -h | --help) sed -n '2,19s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
if [[ $long -eq 1 ]]; then
    competitors=30
    [[ ${#scenarios[@]} -eq 0 ]] && scenarios=(flow)
fi
[[ ${#routes[@]} -eq 0 ]] && routes=(sqlite firebird odbc)
[[ ${#scenarios[@]} -eq 0 ]] && scenarios=(flow hostile faults settings)

[[ -f $build/CMakeCache.txt ]] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tollivane jumpdb -j"$(nproc)" >/dev/null
selection=$build/tests/accept_selection
if cmake --build "$build" --target accept_selection -j"$(nproc)" >/dev/null 2>&1; then
    selection=$(find "$build" -maxdepth 3 -name accept_selection -type f -perm -u+x | head -n 1)
else
    # The build does not know the target (yet): the helper is one file.
    mkdir -p "$(dirname "$selection")"
    c++ -std=c++20 -fPIC $(pkg-config --cflags Qt6Gui) "$here/selection.cpp" -o "$selection" \
        $(pkg-config --libs Qt6Gui)
fi

if "$root/scripts/servers.sh" status >/dev/null 2>&1; then
    eval "$("$root/scripts/servers.sh" env)"
fi

failed=()
skipped=()
for scenario in "${scenarios[@]}"; do
    for route in "${routes[@]}"; do
        case $scenario/$route in
        faults/sqlite | settings/firebird | settings/odbc) continue ;; # no server to stop; settings need one route
        esac
        rc=0
        python3 "$here/accept.py" --scenario "$scenario" --route "$route" \
            --competitors "$competitors" --seed "$seed" \
            --tollivane "$build/app/tollivane" --jumpdb "$build/tools/jumpdb" \
            --selection "$selection" --fontconfig "$root/resources/fontconfig/fonts.conf" \
            --workdir "$build/acceptance/${scenario}_$route" || rc=$?
        if [[ $rc -eq 77 ]]; then
            skipped+=("$scenario/$route")
        elif [[ $rc -ne 0 ]]; then
            failed+=("$scenario/$route")
        fi
    done
done
[[ ${#skipped[@]} -gt 0 ]] && echo "run.sh: skipped: ${skipped[*]}"
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "run.sh: FAILED: ${failed[*]}"
    exit 1
fi
echo "run.sh: passed"
