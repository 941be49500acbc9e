#!/usr/bin/env bash
# The Debian package, as a user gets it.
#   tst_package.sh build CPACK_CONFIG WORK      packs the built tree, unpacks it into WORK/root
#   tst_package.sh version WORK                 the unpacked programs' --version is the package's
#   tst_package.sh settings WORK POSITION_TOOL  the unpacked zephul, run by an unprivileged user
#       on a virtual display, keeps a renamed channel in that user's configuration folder
# Exits 77 (the tests' skip code) with a line saying why when a tool it needs is missing.
set -euo pipefail

skip() {
    echo "SKIPPED: $*"
    exit 77
}
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
need() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || skip "$tool is missing (scripts/test installs it)"
    done
}
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local seconds=$1 tries
    shift
    for ((tries = seconds * 10; tries > 0; tries--)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

unpacked() {
    deb=$(ls "$work"/out/zephul_*.deb 2>/dev/null | head -n 1 || true)
    [ -n "$deb" ] && [ -x "$work/root/usr/bin/zephul" ] \
        || skip "no unpacked package in $work (its build test was skipped or failed)"
}

build_package() {
    local config=$1
    need cpack dpkg-deb
    rm -rf "$work"
    mkdir -p "$work"
    cpack --config "$config" -B "$work/out" >"$work/cpack.log" 2>&1 \
        || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
    deb=$(ls "$work"/out/zephul_*.deb)
    dpkg-deb -x "$deb" "$work/root"
    for file in usr/bin/zephul usr/bin/zephul-emulator usr/share/applications/zephul.desktop \
        usr/share/metainfo/zephul.metainfo.xml usr/share/icons/hicolor/48x48/apps/zephul.png \
        usr/share/doc/zephul/copyright usr/share/doc/zephul/README.md; do
        [ -e "$work/root/$file" ] || fail "$file is not in the package"
    done
    echo "Packed and unpacked $(basename "$deb")"
}

check_version() {
    need dpkg-deb
    unpacked
    local version program printed
    version=$(dpkg-deb -f "$deb" Version)
    for program in zephul zephul-emulator; do
        printed=$(env -u DISPLAY -u WAYLAND_DISPLAY "$work/root/usr/bin/$program" --version \
            | head -n 1)
        [ "$printed" = "$program $version" ] \
            || fail "$program --version printed \"$printed\", the package is version $version"
    done
    echo "Both programs print the package's version, $version"
}

check_settings() {
    local position_tool=$1
    need dpkg-deb Xvfb xauth xdotool openbox setpriv
    unpacked
    [ "$(id -u)" -eq 0 ] || skip "the program is run as another user, which takes root"
    local nobody=65534
    scratch=$(mktemp -d /tmp/zephul-package-test.XXXXXX)
    pids=()
    trap cleanup EXIT
    chmod 755 "$scratch"
    # Unpacked again where the user can reach it, whatever the build folder's parents allow.
    dpkg-deb -x "$deb" "$scratch/root"
    chmod 755 "$scratch/root"
    mkdir "$scratch/config" "$scratch/home" "$scratch/runtime" "$scratch/wm"
    chown "$nobody:$nobody" "$scratch/config" "$scratch/home" "$scratch/runtime"
    chmod 700 "$scratch/runtime"

    # A display of our own, with a cookie the unprivileged user can read too.
    local cookie display
    cookie=$(od -An -tx1 -N16 /dev/urandom | tr -d ' \n')
    export XAUTHORITY="$scratch/xauthority"
    touch "$XAUTHORITY"
    xauth -q -f "$XAUTHORITY" add :0 . "$cookie"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -auth "$XAUTHORITY" \
        3>"$scratch/display" >"$scratch/xvfb.log" 2>&1 &
    pids+=($!)
    wait_for 30 grep -q '[0-9]' "$scratch/display" \
        || fail "Xvfb did not start: $(cat "$scratch/xvfb.log")"
    display=$(head -n 1 "$scratch/display")
    export DISPLAY=":$display"
    xauth -q -f "$XAUTHORITY" add "$DISPLAY" . "$cookie"
    chmod 644 "$XAUTHORITY"
    # A window manager frames the window and closes it as its close box does (Alt+F4).
    HOME="$scratch/wm" openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
    pids+=($!)
    wait_for 30 xdotool get_desktop || fail "the window manager did not start"

    setpriv --reuid=$nobody --regid=$nobody --clear-groups \
        env -i PATH=/usr/bin:/bin DISPLAY="$DISPLAY" XAUTHORITY="$XAUTHORITY" \
        HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime" \
        "$scratch/root/usr/bin/zephul" >"$scratch/zephul.log" 2>&1 &
    zephul=$!
    pids+=($zephul)
    local main
    wait_for 60 xdotool search --onlyvisible --name '^Zephul, station sol Tuvo' \
        || fail "the main window did not come up: $(cat "$scratch/zephul.log")"
    main=$(xdotool search --onlyvisible --name '^Zephul, station sol Tuvo' | head -n 1)
    # The mode chooser comes up over it; Escape leaves it without a choice (balloon layout).
    others() { xdotool search --onlyvisible --pid "$zephul" | grep -vx "$main"; }
    wait_for 60 others || shot_and_fail "the mode chooser did not come up"
    local chooser
    chooser=$(others | head -n 1)
    # The window manager gives it the keyboard once it has taken it in: until then an Escape
    # goes to the main window, which ignores it, so it is pressed again.
    chooser_gone() { ! xdotool search --onlyvisible --pid "$zephul" | grep -qx "$chooser"; }
    local tries
    for ((tries = 0; tries < 30; tries++)); do
        timeout 5 xdotool windowactivate --sync "$chooser" >/dev/null 2>&1 || true
        xdotool key Escape
        wait_for 1 chooser_gone && break
    done
    chooser_gone || shot_and_fail "the mode chooser did not close"
    timeout 30 xdotool windowactivate --sync "$main" || shot_and_fail "the main window has no focus"

    local WIDTH HEIGHT X Y
    eval "$(xdotool getwindowgeometry --shell "$main" | grep -E '^(WIDTH|HEIGHT)=')"
    # Channel 6's box: not the one that has the keyboard when the window comes up, so the name
    # goes there only when the click finds it.
    read -r X Y < <(env -u QT_QPA_PLATFORM "$position_tool" "$WIDTH" "$HEIGHT" 6)
    xdotool mousemove --window "$main" "$X" "$Y" click 1
    xdotool key ctrl+a
    xdotool type --delay 30 "Pression"
    xdotool key alt+F4
    # Ended: gone, or a zombie waiting for us.
    ended() {
        ! kill -0 "$zephul" 2>/dev/null || [ "$(cut -d ' ' -f 3 "/proc/$zephul/stat")" = Z ]
    }
    wait_for 30 ended || shot_and_fail "zephul did not close"
    wait "$zephul" || fail "zephul ended with status $?: $(cat "$scratch/zephul.log")"

    local ini="$scratch/config/zephul/zephul.ini"
    [ -f "$ini" ] || fail "no $ini: $(cat "$scratch/zephul.log")"
    grep -q $'^Voie_6=Pression\r$' "$ini" \
        || shot_and_fail "the renamed channel is not in $ini: $(cat -A "$ini")"
    local n
    for n in 1 2 3 4 5 7 8; do
        grep -q "^Voie_$n=Voie $n"$'\r$' "$ini" \
            || fail "channel $n's name is wrong in $ini: $(cat -A "$ini")"
    done
    [ "$(stat -c %u "$scratch/config/zephul")" -eq $nobody ] || fail "the folder is not the user's"
    [ ! -e "$scratch/root/usr/bin/zephul.ini" ] || fail "a settings file appeared beside the program"
    echo "The renamed channel was saved in \$XDG_CONFIG_HOME/zephul/zephul.ini"
}

# Keeps a picture of the display and the list of the program's windows for whoever looks into a
# failure, then fails.
shot_and_fail() {
    local window
    for window in $(xdotool search --onlyvisible --pid "$zephul" 2>/dev/null); do
        echo "Window $window \"$(xdotool getwindowname "$window")\":" \
            "$(xdotool getwindowgeometry "$window" | tr -s '\n ' ' ')" >&2
    done
    if command -v xwd >/dev/null; then
        xwd -root -silent >"$work/failure.xwd" 2>/dev/null \
            && echo "Display kept in $work/failure.xwd" >&2
    fi
    fail "$@"
}

cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$scratch"
}

mode=${1:-}
case "$mode" in
build)
    work=$3
    build_package "$2"
    ;;
version)
    work=$2
    check_version
    ;;
settings)
    work=$2
    check_settings "$3"
    ;;
*)
    echo "usage: $0 build CPACK_CONFIG WORK | version WORK | settings WORK POSITION_TOOL" >&2
    exit 2
    ;;
esac
