#!/usr/bin/env bash
# Runs the acceptance tests of the whole terminal outside CTest: the tests CTest lists under the
# label "acceptance" (tests/acceptance.cmake says which scenario runs on which route), with
# their CTest command lines, but without CTest's time limit and with the output as it comes.
#
#   tests/acceptance/run.sh            every scenario on every route, as CI runs them
#   tests/acceptance/run.sh --long     two rounds of 30 competitors on every route (flow only)
#
# Options:
#   --build DIR        build folder (default: build); its tollivane, jumpdb and
#                      accept_selection are built first
#   --route R          sqlite, firebird or odbc (repeatable; default all three)
#   --scenario S       flow, faults, hostile or settings (repeatable; default all)
#   --competitors N    competitors in each round of the flow (default
#                      $TOLLIVANE_ACCEPT_COMPETITORS, else 3; --long: 30)
#   --seed S           seed of the judges' random choices (default $TOLLIVANE_ACCEPT_SEED,
#                      else 1)
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
competitors=${TOLLIVANE_ACCEPT_COMPETITORS:-3}
long=0
seed=${TOLLIVANE_ACCEPT_SEED:-1}
while [[ $# -gt 0 ]]; do
    case $1 in
    --long) long=1 ;;
    --build) build=$(cd "$2" && pwd); shift ;;
    --route) routes+=("$2"); shift ;;
    --scenario) scenarios+=("$2"); shift ;;
    --competitors) competitors=$2; shift ;;
    --seed) seed=$2; shift ;;
    -h | --help) sed -n '2,21s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
if [[ $long -eq 1 ]]; then
    competitors=30
    [[ ${#scenarios[@]} -eq 0 ]] && scenarios=(flow)
fi

[[ -f $build/CMakeCache.txt ]] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tollivane jumpdb accept_selection -j"$(nproc)" >/dev/null

# CTest's acceptance tests, one a line: the name, the exit status that means skipped, and a
# shell command that runs the test in its folder with its environment.
listing=$(ctest --test-dir "$build" --show-only=json-v1 | python3 -c '
import json, shlex, sys
for test in json.load(sys.stdin)["tests"]:
    props = {p["name"]: p["value"] for p in test.get("properties", [])}
    if "acceptance" in props.get("LABELS", []):
        command = ["env", *props.get("ENVIRONMENT", []), *test["command"]]
        print(test["name"], props.get("SKIP_RETURN_CODE", "none"),
              "cd", shlex.quote(props["WORKING_DIRECTORY"]), "&&", shlex.join(command))
')
declare -A commands=() skip_codes=()
known_routes=()
known_scenarios=()
while read -r name skip_code command; do
    [[ -n $name ]] || continue
    # Named acceptance_<scenario>_<route>.
    rest=${name#acceptance_}
    commands[$rest]=$command
    skip_codes[$rest]=$skip_code
    [[ " ${known_scenarios[*]} " == *" ${rest%%_*} "* ]] || known_scenarios+=("${rest%%_*}")
    [[ " ${known_routes[*]} " == *" ${rest#*_} "* ]] || known_routes+=("${rest#*_}")
done <<<"$listing"
[[ ${#commands[@]} -gt 0 ]] || { echo "run.sh: CTest lists no acceptance tests in $build" >&2; exit 2; }
[[ ${#routes[@]} -eq 0 ]] && routes=("${known_routes[@]}")
[[ ${#scenarios[@]} -eq 0 ]] && scenarios=("${known_scenarios[@]}")
for route in "${routes[@]}"; do
    [[ " ${known_routes[*]} " == *" $route "* ]] ||
        { echo "run.sh: no route $route (CTest has: ${known_routes[*]})" >&2; exit 2; }
done
for scenario in "${scenarios[@]}"; do
    [[ " ${known_scenarios[*]} " == *" $scenario "* ]] ||
        { echo "run.sh: no scenario $scenario (CTest has: ${known_scenarios[*]})" >&2; exit 2; }
done

if "$root/scripts/servers.sh" status >/dev/null 2>&1; then
    eval "$("$root/scripts/servers.sh" env)"
fi
# accept.py reads both; CTest's command lines carry neither.
export TOLLIVANE_ACCEPT_COMPETITORS=$competitors TOLLIVANE_ACCEPT_SEED=$seed

ran=0
failed=()
skipped=()
for scenario in "${scenarios[@]}"; do
    for route in "${routes[@]}"; do
        # Not every scenario runs on every route (the settings need one; faults need a server).
        [[ -n ${commands[${scenario}_$route]:-} ]] || continue
        ran=$((ran + 1))
        rc=0
        (eval "${commands[${scenario}_$route]}") || rc=$?
        if [[ $rc == "${skip_codes[${scenario}_$route]}" ]]; then
            skipped+=("$scenario/$route")
        elif [[ $rc -ne 0 ]]; then
            failed+=("$scenario/$route")
        fi
    done
done
[[ $ran -gt 0 ]] || { echo "run.sh: no acceptance test runs ${scenarios[*]} on ${routes[*]}" >&2; exit 2; }
[[ ${#skipped[@]} -gt 0 ]] && echo "run.sh: skipped: ${skipped[*]}"
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "run.sh: FAILED: ${failed[*]}"
    exit 1
fi
echo "run.sh: passed"
