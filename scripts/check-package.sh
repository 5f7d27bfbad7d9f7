#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package (scripts/package.sh) and checks it as a desktop would meet it: the
# desktop entry and the AppStream metainfo validate, lintian finds no error, and the programs it
# unpacks run: rotor --version, also started as the desktop entry's Exec line says, with no
# display, rotor-cbox-sim --help, and rotor read --json against that simulator with no display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh desktop-file-utils appstream lintian

fail() { echo "check-package: $*" >&2; exit 1; }
work=$(mktemp -d)
sim_pid=
trap '[ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null; rm -rf "$work"' EXIT

echo "== Package"
# Built as CI builds everything: a warning is an error.
ROTOR_WERROR=ON scripts/package.sh >"$work/package.log" 2>&1 || { cat "$work/package.log" >&2; fail "the package was not built"; }
grep -A3 'warning:' "$work/package.log" || true
deb=$(tail -n1 "$work/package.log")
version=$(dpkg-deb -f "$deb" Version)
echo "$deb: $(dpkg-deb -f "$deb" Depends)"
root=$work/root
dpkg-deb -x "$deb" "$root"
# What the programs meet where no desktop runs.
headless=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)

echo "== Desktop entry and metainfo"
desktops=("$root"/usr/share/applications/*.desktop)
[ ${#desktops[@]} -eq 1 ] && [ -f "${desktops[0]}" ] || fail "expected one desktop entry, found: ${desktops[*]}"
desktop=${desktops[0]}
desktop-file-validate "$desktop"
metainfo=$root/usr/share/metainfo/$(basename "$desktop" .desktop).metainfo.xml
[ -f "$metainfo" ] || fail "no metainfo named after the desktop entry: $metainfo"
appstreamcli validate --no-net "$metainfo"
# The tree as a whole: the metainfo's launchable names the desktop entry, its icon is there.
appstreamcli validate-tree --no-net "$root"
icon=$(sed -n 's/^Icon=//p' "$desktop")
compgen -G "$root/usr/share/icons/hicolor/*/apps/$icon.*" >/dev/null || fail "no icon $icon in the package"

echo "== lintian"
# Its exit status and its E: lines both count: no error is let through. Info tags are shown too.
status=0
lintian --display-info "$deb" >"$work/lintian.txt" 2>&1 || status=$?
grep -v '^running with root privileges' "$work/lintian.txt" || true
echo "lintian: $(grep -c '^E:' "$work/lintian.txt" || true) errors, $(grep -c '^W:' "$work/lintian.txt" || true) warnings,"\
     "$(grep -c '^I:' "$work/lintian.txt" || true) infos"
[ "$status" -eq 0 ] || fail "lintian ended with status $status"
! grep -q '^E:' "$work/lintian.txt" || fail "lintian reports errors"

echo "== The unpacked programs"
out=$("${headless[@]}" "$root/usr/bin/rotor" --version)
[ "$out" = "rotor $version" ] || fail "rotor --version said '$out', the package is $version"
echo "usr/bin/rotor --version: $out"
# The desktop entry's command, its program taken from the package, field codes (%f, %U, ...) left out.
read -r -a exec_line <<<"$(sed -n 's/^Exec=//p' "$desktop")"
[ ${#exec_line[@]} -gt 0 ] || fail "the desktop entry has no Exec line"
program=${exec_line[0]}
[ -x "$root/usr/bin/$(basename "$program")" ] || fail "Exec=$program is not a program of the package"
args=()
for word in "${exec_line[@]:1}"; do [[ $word == %? ]] || args+=("$word"); done
out=$("${headless[@]}" "$root/usr/bin/$(basename "$program")" "${args[@]}" --version)
[ "$out" = "rotor $version" ] || fail "the desktop entry's command said '$out'"
echo "Exec=${exec_line[*]} --version: $out"
help=$("$root/usr/bin/rotor-cbox-sim" --help)
echo "usr/bin/rotor-cbox-sim --help: ${help%%$'\n'*}"
# The two together with no display: the simulator plugged in as port 1 in a private folder, and
# rotor read there on the port of that folder's settings file.
sim_dir=$work/sim
mkdir -p "$sim_dir/rotor"
printf ' 1 \r\n' >"$sim_dir/rotor/rotor.ini"
"$root/usr/bin/rotor-cbox-sim" --fast --plug 1 --config-dir "$sim_dir" --log "$sim_dir/cbox-sim.log" \
    >"$sim_dir/device" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -s "$sim_dir/device" ] && break; sleep 0.1; done
[ -s "$sim_dir/device" ] || fail "rotor-cbox-sim did not come up: $(cat "$sim_dir/device")"
json=$("${headless[@]}" XDG_CONFIG_HOME="$sim_dir" "$root/usr/bin/rotor" read --json) \
    || fail "rotor read --json ended with status $?"
[[ $json == *'"firmware":"3.22"'* && $json == *'"position_deg":123,'* ]] || fail "rotor read --json said: $json"
echo "usr/bin/rotor read --json: ${json:0:72}..."

echo "== Package checks passed: $deb"
