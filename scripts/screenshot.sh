#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes docs/rotor.png: the main window of the built program as it stands after start-up, against
# the simulated CBOX, on a virtual display; and beside it docs/dial.png, the azimuth dial opened
# with Ctrl+D (View > Azimuth dial) showing what the start-up read. As scripts/run.sh does, the simulator is plugged in as
# port 1 inside a private configuration folder. The connect prompt is answered with Enter; the
# picture is taken once the simulator has sent the parameter block and the window has drawn it.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/rotor.png}
dial_out=$(dirname "$out")/dial.png

if [ -z "${ROTOR_SCREENSHOT_DISPLAY:-}" ]; then
    scripts/setup.sh xdotool imagemagick
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j "$(nproc)" --target rotor cbox-sim
    # A display of its own, whatever display there is: the picture is the same every time.
    exec env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ROTOR_SCREENSHOT_DISPLAY=1 \
        xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" "$out"
fi

config=$(mktemp -d)
sim=
app=
finish() {
    set +e # the program ends by the signal: its status is no failure of ours
    [ -n "$app" ] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    rm -rf "$config"
}
trap finish EXIT
fail() {
    echo "screenshot: $*" >&2
    [ -f "$config/cbox-sim.log" ] && tail -n 20 "$config/cbox-sim.log" >&2
    exit 1
}
# Waits up to $1 tenths of a second for the command that follows to succeed.
wait_for() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do "$@" && return 0; sleep 0.1; done
    return 1
}
visible_windows() { xdotool search --onlyvisible --pid "$app" 2>/dev/null || true; }

mkdir -p "$config/rotor"
printf ' 1 \r\n' >"$config/rotor/rotor.ini"
build/sim/cbox-sim --plug 1 --config-dir "$config" --log "$config/cbox-sim.log" >/dev/null &
sim=$!
wait_for 50 test -L "$config/rotor/ports/com1" || fail "the simulator did not plug in"

XDG_CONFIG_HOME=$config build/src/app/rotor >"$config/rotor.out" 2>&1 &
app=$!

# The connect prompt: a box titled as the application, above the main window.
prompt_up() { [ -n "$(xdotool search --all --onlyvisible --pid "$app" --name '^rotor$' 2>/dev/null)" ]; }
wait_for 200 prompt_up || fail "no connect prompt came up"
prompt=$(xdotool search --all --onlyvisible --pid "$app" --name '^rotor$' | head -n1)
xdotool windowfocus --sync "$prompt" key --clearmodifiers Return

# Start-up reads status, version and the parameter block; the last reply is the block.
block_sent() { grep -q ' tx <STX>A,L,' "$config/cbox-sim.log"; }
wait_for 100 block_sent || fail "start-up did not read the parameter block"
one_window() { [ "$(visible_windows | wc -l)" -eq 1 ]; }
wait_for 50 one_window || fail "another window is still open after start-up"
sleep 1 # the window shows the values and settles

window=$(visible_windows)
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "$out: $(identify -format '%wx%h' "$out")"

# The dial: Ctrl+D in the main window opens it beside the window.
xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+d
dial_up() { [ -n "$(xdotool search --all --onlyvisible --pid "$app" --name '^Azimuth dial$' 2>/dev/null)" ]; }
wait_for 50 dial_up || fail "the azimuth dial did not open"
sleep 1
dial=$(xdotool search --all --onlyvisible --pid "$app" --name '^Azimuth dial$' | head -n1)
import -window "$dial" "$dial_out"
echo "$dial_out: $(identify -format '%wx%h' "$dial_out")"
