#!/usr/bin/env bash
# Brontel Vask developer commands. On a fresh Debian machine:
#   ./vask.sh run     build and run the program under Wine with the simulated scanner
#   ./vask.sh test    build everything and run every test (native and under Wine)
#   ./vask.sh bench   print the performance figures
#   ./vask.sh soak    deliver 10,000 random barcodes end to end
#   ./vask.sh package [--sdk PATH] [--settings FILE] [--sign FILE.pfx [--timestamp URL]]
#                     build the installer build/BrontelVask-<version>.msi (signed with
#                     --sign; the .pfx file's password in VASK_SIGN_PASSWORD)
#   ./vask.sh screenshots  refresh the README's pictures in docs/screenshots/
#   ./vask.sh stress [ROUNDS [SEED]]  drive the program through 1,000 random rounds
#                     (or ROUNDS; SEED replays a run whose seed it printed)
#   ./vask.sh fuzz [SECONDS]  run every fuzz target for SECONDS each (default 60)
#   ./vask.sh env CMD run CMD with the build's Wine prefix and a display
#   ./vask.sh build   only build (VASK_TARGETS limits the cross build to some targets)
# Each installs what is missing, builds, prepares the Wine prefix inside the
# build folder and stops the processes it started. VASK_BUILD names another
# build folder (default: build).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BUILD=${VASK_BUILD:-$ROOT/build}
case "$BUILD" in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
NATIVE=$BUILD/native
export VASK_WINEPREFIX=$BUILD/wineprefix
export WINEPREFIX=$VASK_WINEPREFIX WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
JOBS=${VASK_JOBS:-$(nproc)}

log() { printf '[vask] %s\n' "$*" >&2; }

# ---------------------------------------------------------------- packages
PACKAGES=(wine wine32:i386 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix xvfb xdotool
          x11-utils imagemagick cmake make g++ googletest fonts-wine wixl msitools
          locales tigervnc-standalone-server x11-xkb-utils clang-14 libclang-rt-14-dev
          osslsigncode openssl)

missing_packages() {
    local p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
    done
}

ensure_packages() {
    local missing
    missing=$(missing_packages)
    [ -z "$missing" ] && return 0
    log "installing: $(echo $missing)"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    dpkg --print-foreign-architectures | grep -q i386 || $sudo dpkg --add-architecture i386
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# The double-byte code page tests run under the ja_JP.UTF-8 locale (Wine takes
# a process's ANSI code page from it); a fresh machine has it only once made.
ensure_locale() {
    locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\{0,1\}8' && return 0
    log "generating the ja_JP.UTF-8 locale"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
}

# ---------------------------------------------------------------- build
build_all() {
    if [ ! -f "$BUILD/CMakeCache.txt" ]; then
        cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
              -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    local targets=()
    if [ -n "${VASK_TARGETS:-}" ]; then
        targets=(--target $VASK_TARGETS)
        # A named target added since the last configure is unknown until then.
        cmake "$BUILD" >/dev/null
    fi
    cmake --build "$BUILD" -j "$JOBS" "${targets[@]}" -- --no-print-directory 2>&1 | sed -E '/^\[ *[0-9]+%\]/d' \
        || { log "cross build failed"; return 1; }
}

build_native() {
    if [ ! -f "$NATIVE/CMakeCache.txt" ]; then
        cmake -S "$ROOT" -B "$NATIVE" -DCMAKE_BUILD_TYPE=Debug >/dev/null
    fi
    cmake --build "$NATIVE" -j "$JOBS" -- --no-print-directory 2>&1 | sed -E '/^\[ *[0-9]+%\]/d' \
        || { log "native build failed"; return 1; }
}

# The fuzz targets (tests/fuzz), built with clang and libFuzzer.
FUZZ=$BUILD/native-fuzz
FUZZ_TARGETS=(section_names key_plans trace_texts run_value settings_values sheet_place sim_state scan_log_rows
              rule_text rule_engine)

build_fuzz() {
    if [ ! -f "$FUZZ/CMakeCache.txt" ]; then
        CC=clang-14 CXX=clang++-14 cmake -S "$ROOT" -B "$FUZZ" -DVASK_FUZZ=ON \
              -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    cmake --build "$FUZZ" -j "$JOBS" -- --no-print-directory 2>&1 | sed -E '/^\[ *[0-9]+%\]/d' \
        || { log "fuzz build failed"; return 1; }
}

# run_fuzz SECONDS SEED: every target for SECONDS from its seed corpus, with
# a fresh working corpus, so the same SEED replays the same run. A finding
# (crash, sanitizer report, broken property) is saved in
# build/fuzz-findings/ and fails the run; copy it into
# tests/fuzz/corpus/<target>/ as found-<what> once the fault is fixed.
run_fuzz() {
    local seconds=$1 seed=$2 target status=0 work findings=$BUILD/fuzz-findings
    log "fuzzing each target for $seconds s with seed $seed (replay: VASK_FUZZ_SEED=$seed ./vask.sh fuzz $seconds)"
    mkdir -p "$findings"
    for target in "${FUZZ_TARGETS[@]}"; do
        work=$BUILD/fuzz-work/$target
        rm -rf "$work"
        mkdir -p "$work"
        if "$FUZZ/tests/fuzz/fuzz_$target" -seed="$seed" -max_total_time="$seconds" -print_final_stats=1 \
               -artifact_prefix="$findings/$target-" "$work" "$ROOT/tests/fuzz/corpus/$target" \
               >"$BUILD/fuzz-work/$target.log" 2>&1; then
            printf '[vask] fuzz %-16s %s\n' "$target" \
                "$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE|INITED)' "$BUILD/fuzz-work/$target.log" | tail -1 | \
                   sed -E 's/.*(cov: [0-9]+).*(exec\/s: [0-9]+).*/\1 \2/')" >&2
        else
            log "fuzz $target: FINDING (log $BUILD/fuzz-work/$target.log)"
            grep -E -A3 'property broken|runtime error|ERROR: (Address|libFuzzer)|^artifact_prefix|Test unit written' \
                "$BUILD/fuzz-work/$target.log" | head -20 >&2
            status=1
        fi
    done
    return $status
}

# The seed of the test command's fuzz run: taken from the commit, so a
# failure replays from the seed it prints.
commit_seed() {
    local head
    head=$(git -C "$ROOT" rev-parse --short=7 HEAD 2>/dev/null || echo 1)
    echo $(( 16#$head % 2147483646 + 1 ))
}

# ---------------------------------------------------------------- Wine prefix
prepare_prefix() {
    if [ ! -f "$WINEPREFIX/.vask-ready" ]; then
        log "creating Wine prefix in $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        # A virtual desktop gives windows frames and a taskbar with a tray area,
        # shared by every process of the prefix.
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x900 /f >/dev/null 2>&1
        wineserver -k || true
        wineserver -w || true
        touch "$WINEPREFIX/.vask-ready"
    fi
    # A crash prints its backtrace and ends the process, rather than opening
    # Wine's crash dialog, which waits for a click (the test then hangs to
    # its timeout) and stays in front for the tests that follow.
    if [ ! -f "$WINEPREFIX/.vask-no-crash-dialog" ]; then
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 &&
            touch "$WINEPREFIX/.vask-no-crash-dialog"
        # The server that command started must be gone before a persistent
        # one is started (`wineserver -p` fails beside a running server).
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w || true
    fi
}

# ---------------------------------------------------------------- display and Wine services
XVFB_PID=""
XVNC_PID=""
STARTED_WINE=""

start_xvfb() {
    local n
    export VASK_OWN_DISPLAY=1  # nobody watches this display: run-demo.sh scripts its demo
    for n in $(seq 91 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        for _ in $(seq 1 100); do
            if xdpyinfo -display ":$n" >/dev/null 2>&1; then export DISPLAY=":$n"; return 0; fi
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    done
    log "could not start Xvfb"; return 1
}

start_wine_services() {
    # A persistent server and one finished process first: Wine's background
    # services then do not hold the test runner's output pipe open.
    wineserver -p
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    STARTED_WINE=1
}

stop_wine_services() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}

# Xvfb keeps US English whatever keymap it is given; Xvnc takes one.
start_xvnc() {
    local layout=$1 n
    for n in $(seq 141 190); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvnc ":$n" -geometry 1280x900 -depth 24 -SecurityTypes None -rfbport -1 -nolisten tcp >/dev/null 2>&1 &
        XVNC_PID=$!
        for _ in $(seq 1 100); do
            if xdpyinfo -display ":$n" >/dev/null 2>&1; then
                setxkbmap -display ":$n" "$layout" && { export DISPLAY=":$n"; return 0; }
                break
            fi
            kill -0 "$XVNC_PID" 2>/dev/null || break
            sleep 0.1
        done
        stop_xvnc
    done
    log "could not start Xvnc with the $layout layout"; return 1
}

stop_xvnc() {
    if [ -n "$XVNC_PID" ]; then kill "$XVNC_PID" 2>/dev/null || true; wait "$XVNC_PID" 2>/dev/null || true; fi
    XVNC_PID=""
}

cleanup() {
    if [ -n "$STARTED_WINE" ]; then wineserver -k >/dev/null 2>&1 || true; fi
    stop_xvnc
    if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
}
trap cleanup EXIT

# own_display: tests always get a private display; run uses the user's when given.
with_environment() {
    local own_display=$1
    prepare_prefix
    if [ "$own_display" = 1 ] || [ -z "${DISPLAY:-}" ]; then start_xvfb; fi
    start_wine_services
}

# The tests labelled keyboard-layout, once per layout, each on an Xvnc display
# of its own: Wine reads the keymap when its server starts, so the prefix's
# server is started anew there. The test checks that the layout is in force.
run_keyboard_layout_tests() {
    local layout status=0 display=$DISPLAY
    for layout in de fr; do
        log "typing tests under the $layout keyboard layout (Xvnc)"
        stop_wine_services
        if start_xvnc "$layout"; then
            start_wine_services
            VASK_KEYBOARD_LAYOUT=$layout ctest --test-dir "$BUILD" --output-on-failure -L keyboard-layout "$@" \
                || status=1
            stop_wine_services
        else
            status=1
        fi
        stop_xvnc
    done
    export DISPLAY=$display
    return $status
}

# Windows checked at 150 % as well: the prefix's DPI is set to 144 for these
# tests and back to 96 afterwards (Wine reads it when its server starts).
HIGH_DPI_TESTS='^(Layout\.(RecentBarcodes|EveryPage)|RulesLayout\.)'

set_prefix_dpi() {
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
        /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    stop_wine_services
}

run_high_dpi_tests() {
    local status=0
    log "layout tests at 144 DPI"
    set_prefix_dpi 144
    start_wine_services
    VASK_DPI=144 ctest --test-dir "$BUILD" --output-on-failure -R "$HIGH_DPI_TESTS" || status=1
    set_prefix_dpi 96
    start_wine_services
    return $status
}

# ---------------------------------------------------------------- commands
cmd_test() {
    ensure_packages
    ensure_locale
    build_native
    build_fuzz
    build_all
    with_environment 1
    local status=0
    log "native tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
    ctest --test-dir "$NATIVE" --output-on-failure -j "$JOBS" "$@" || status=1
    run_fuzz 8 "${VASK_FUZZ_SEED:-$(commit_seed)}" || status=1
    log "Windows tests under Wine"
    # The tests that take pictures leave them in build/screenshots; the work
    # tree's docs/screenshots change only through `./vask.sh screenshots`.
    export VASK_SCREENSHOT_DIR=$BUILD/screenshots
    rm -rf "$VASK_SCREENSHOT_DIR"
    mkdir -p "$VASK_SCREENSHOT_DIR"
    # The stress run's seed comes from the commit, so a failure replays from its log.
    VASK_STRESS_SEED=${VASK_STRESS_SEED:-$(commit_seed)} \
        ctest --test-dir "$BUILD" --output-on-failure -LE 'keyboard-layout' "$@" || status=1
    run_high_dpi_tests || status=1
    "$ROOT/tools/screenshots.sh" "$VASK_SCREENSHOT_DIR" "$VASK_SCREENSHOT_DIR" || status=1
    run_keyboard_layout_tests "$@" || status=1
    return $status
}

# Runs only the tests that take the README's pictures, then writes them into
# docs/screenshots/.
cmd_screenshots() {
    ensure_packages
    build_all
    with_environment 1
    export VASK_SCREENSHOT_DIR=$BUILD/screenshots
    rm -rf "$VASK_SCREENSHOT_DIR"
    mkdir -p "$VASK_SCREENSHOT_DIR"
    local status=0
    ctest --test-dir "$BUILD" --output-on-failure \
          -R 'Layout\.|InASheetEditsEnableSaveAndTheStatusLineIsDrawnInColour|FormatChoicesMadeOnThePageShapeTheTrace' \
        || status=1
    run_high_dpi_tests || status=1
    "$ROOT/tools/screenshots.sh" "$VASK_SCREENSHOT_DIR" "$ROOT/docs/screenshots" || status=1
    return $status
}

cmd_package() {
    ensure_packages
    VASK_TARGETS="VaskSW VantuSim vask-sim vask-package-files vask-setup-actions" build_all
    with_environment 1  # the settings file is written by the program's own code, under Wine
    "$ROOT/tools/package.sh" "$BUILD" "$@"
}

cmd_run() {
    ensure_packages
    build_all
    with_environment 0
    "$ROOT/tools/run-demo.sh" "$BUILD"
}

cmd_bench() {
    ensure_packages
    build_all
    with_environment 1
    "$ROOT/bench/run-bench.sh" "$BUILD" "$@"
}

cmd_soak() {
    ensure_packages
    build_all
    with_environment 1
    "$ROOT/bench/run-soak.sh" "$BUILD" "${1:-10000}"
}

cmd_stress() {
    ensure_packages
    build_all
    with_environment 1
    local start status=0
    start=$(date +%s)
    wine "$BUILD/bin/vask-stress.exe" "${1:-1000}" ${2:+"$2"} || status=$?
    echo "stress: $(( $(date +%s) - start )) s wall time, exit $status"
    return $status
}

cmd_fuzz() {
    ensure_packages
    build_fuzz
    run_fuzz "${1:-60}" "${VASK_FUZZ_SEED:-$(commit_seed)}"
}

cmd_env() {
    ensure_packages
    ensure_locale
    with_environment 1
    "$@"
}

case "${1:-}" in
    run)   shift; cmd_run "$@" ;;
    test)  shift; cmd_test "$@" ;;
    bench) shift; cmd_bench "$@" ;;
    soak)  shift; cmd_soak "$@" ;;
    stress) shift; cmd_stress "$@" ;;
    env)   shift; cmd_env "$@" ;;
    fuzz)  shift; cmd_fuzz "$@" ;;
    package) shift; cmd_package "$@" ;;
    screenshots) shift; cmd_screenshots "$@" ;;
    build) shift; ensure_packages; build_native; build_all ;;
    *) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
