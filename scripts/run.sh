#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds rotor and starts it. With the simulator built, it plugs a simulated CBOX in as port 1
# inside a private configuration folder, so the user's own settings and port links are never
# touched; with --real it starts the tool on the configured port of a real CBOX.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
    echo "There is no display to show the window on." >&2
    echo "Run it under a virtual display instead:  xvfb-run -a scripts/run.sh" >&2
    exit 1
fi

if [ "${1:-}" = --real ] || [ ! -x build/sim/cbox-sim ]; then
    exec build/src/app/rotor
fi

config=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -rf "$config"' EXIT
mkdir -p "$config/rotor"
printf ' 1 \r\n' > "$config/rotor/rotor.ini"
build/sim/cbox-sim --plug 1 --config-dir "$config" --log "$config/cbox-sim.log" > "$config/device" &
sim=$!
for _ in $(seq 50); do [ -L "$config/rotor/ports/com1" ] && break; sleep 0.1; done
echo "Simulated CBOX on $(head -n1 "$config/device") as port 1; its log: $config/cbox-sim.log" >&2
XDG_CONFIG_HOME="$config" build/src/app/rotor
