#!/usr/bin/env bash
# Sets Tollivane up on a Debian 12 machine and runs it.
#   ./setup.sh demo   install what is missing, build, and run the terminal on a demo competition
#   ./setup.sh test   install what is missing, build, start the database servers, run all tests
#                     (once normally, once under AddressSanitizer + UBSan with leak detection,
#                     and the tests of threads of ours under ThreadSanitizer)
#   ./setup.sh package install what is missing, build, and make tollivane_<version>_amd64.deb here
#   ./setup.sh windows install what is missing, build Firebird's client and Qt for Windows once
#                     (cached, about 25 min on 2 cores) and the terminal with them, and make
#                     tollivane-<version>-win64.exe here
#   ./setup.sh windows-test  test that installer and the Windows build under Wine (after windows)
set -euo pipefail
cd "$(dirname "$0")"
top=$PWD

# shellcheck source=scripts/lib.sh
. "$top/scripts/lib.sh"

install_fonts() {
    # The windows ask for "ＭＳ Ｐゴシック"; fontconfig maps it to IPA's P gothic.
    local conf=/etc/fonts/conf.d/65-tollivane-gothic.conf
    if [ ! -f "$conf" ] && { [ "$(id -u)" = 0 ] || sudo -n true 2>/dev/null; }; then
        as_root cp resources/fontconfig/65-tollivane-gothic.conf "$conf" || true
    fi
    export FONTCONFIG_FILE="$top/resources/fontconfig/fonts.conf"
}

build() { # folder, extra cmake options... [--target target...]
    local dir=$1 options=() targets=()
    shift
    while [[ $# -gt 0 && $1 != --target ]]; do
        options+=("$1")
        shift
    done
    [[ $# -gt 0 ]] && targets=("$@")
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
    cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
}

run_demo() {
    install_packages "${BASE_PACKAGES[@]}"
    install_fonts
    # What the demo runs, not the tests: a few minutes less on a fresh machine.
    build build --target tollivane jumpdb
    local data=${XDG_DATA_HOME:-$HOME/.local/share}/tollivane-demo
    mkdir -p "$data"
    scripts/demo.sh "$top/build" "$data"
}

run_tests() {
    install_packages "${BASE_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${SERVER_PACKAGES[@]}"
    install_fonts
    build build
    # Set before starting: a server that started stops again if the other one fails.
    trap 'scripts/servers.sh stop' EXIT
    scripts/servers.sh start
    eval "$(scripts/servers.sh env)"
    # Every package and server the tests need is there now: a test that skips has failed.
    export CI=true
    echo "== tests"
    ctest --test-dir build --output-on-failure -j1
    # The acceptance runs drive the real program from outside; they run once, above.
    echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    build build-asan -DTOLLIVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    LSAN_OPTIONS=suppressions=$top/tests/sanitizer/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build-asan --output-on-failure -j1 --label-exclude acceptance
    echo "== the statement worker, gateway and session tests under ThreadSanitizer"
    build build-tsan -DTOLLIVANE_TSAN=ON -DCMAKE_BUILD_TYPE=Debug --target ${TSAN_TESTS//|/ }
    TSAN_OPTIONS="suppressions=$top/tests/sanitizer/tsan.supp halt_on_error=1 die_after_fork=0 ignore_noninstrumented_modules=1" \
        ctest --test-dir build-tsan --output-on-failure -j1 -R "^(${TSAN_TESTS})\$"
}

# The tests whose threads are ours: the worker's queue and bounds, the station against hung and
# lost answers, the judge's session.
TSAN_TESTS="tst_statementworker|tst_gateway|tst_judgesession"

run_package() {
    # dpkg-shlibdeps and file compute the package's library dependencies.
    install_packages "${BASE_PACKAGES[@]}" dpkg-dev file
    # Only the two programs go in: building the tests and benchmarks first is not needed.
    cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
    cmake --build build-package -j"$(nproc)" --target tollivane jumpdb
    (cd build-package && cpack -G DEB)
    mv build-package/tollivane_*_*.deb "$top/"
    ls -l "$top"/tollivane_*_*.deb
}

# The Windows build, against the Qt and the Firebird client that scripts/windows-qt.sh and
# scripts/windows-fbclient.sh build once and cache; CTest runs its tests under Wine through
# scripts/windows/run-test-program.sh.
# The paths of both, each built first unless its cache is complete; stops when one fails.
windows_env() {
    local paths
    paths=$(scripts/windows-fbclient.sh)
    eval "$paths"
    paths=$(scripts/windows-qt.sh)
    eval "$paths"
}

build_windows() { # cmake --build options...
    cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$TOLLIVANE_WINDOWS_TOOLCHAIN" \
        -DTOLLIVANE_FBCLIENT_WINDOWS="$TOLLIVANE_FBCLIENT_WINDOWS" \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$top/scripts/windows/run-test-program.sh" \
        -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
    cmake --build build-windows -j"$(nproc)" "$@"
}

run_windows() {
    install_packages "${WINDOWS_PACKAGES[@]}"
    windows_env
    build_windows --target tollivane jumpdb
    (cd build-windows && cpack -G NSIS >/dev/null)
    mv build-windows/tollivane-*-win64.exe "$top/"
    ls -l "$top"/tollivane-*-win64.exe
}

run_windows_tests() {
    local installer
    installer=$(find "$top" -maxdepth 1 -name 'tollivane-*-win64.exe' -print -quit)
    [[ -n $installer ]] || {
        echo "setup.sh: no installer here: run ./setup.sh windows first" >&2
        exit 1
    }
    install_packages "${BASE_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${SERVER_PACKAGES[@]}" \
        "${WINDOWS_PACKAGES[@]}" "${WINE_PACKAGES[@]}"
    windows_env
    # The operator's side and the acceptance driver's helper run on Linux.
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j"$(nproc)" --target jumpdb accept_selection
    build_windows
    # The MariaDB and Firebird servers that run already, else those started here and stopped
    # again.
    if ! mariadb_port_answers || ! firebird_answers; then
        trap 'scripts/servers.sh stop' EXIT
        scripts/servers.sh start
    fi
    scripts/windows/test.sh "$installer" build-windows build
}

case "${1:-}" in
demo) run_demo ;;
test) run_tests ;;
package) run_package ;;
windows) run_windows ;;
windows-test) run_windows_tests ;;
*)
    echo "usage: $0 demo|test|package|windows|windows-test" >&2
    exit 2
    ;;
esac
