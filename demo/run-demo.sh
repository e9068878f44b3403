#!/usr/bin/env bash
# make demo: builds hxhost, nsfadmin and the plug-in, seeds the bundled demo server into a fresh
# folder and runs the scripted tour (demo/tour.hxs) through the host shell.
#   HX_DEMO_PRESET   the CMake preset to build with (default: release)
#   HX_DEMO_DATA     where the demo server goes (default: build/demo-data; emptied first)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
preset="${HX_DEMO_PRESET:-release}"
bin="$root/build/$preset/bin"
data="${HX_DEMO_DATA:-$root/build/demo-data}"

cd "$root"
mkdir -p build
log="$root/build/demo-build.log"
echo "Building ($preset preset; a few minutes on a fresh clone, output in $log) ..."
if ! { cmake --preset "$preset" && cmake --build --preset "$preset" --target hxhost nsfadmin hxNotesProvider; } \
    >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "make demo: the build failed (full output in $log)" >&2
    exit 1
fi

echo "Seeding the demo server into $data ..."
rm -rf "$data"
mkdir -p "$data"
"$bin/nsfadmin" --data "$data" seed "$root/demo/server.json" >/dev/null

echo "Touring it with hxhost (the provider's log goes to $data/hxLog.log)"
echo
cd "$data"
"$bin/hxhost" --data "$data" "$root/demo/tour.hxs"

echo
echo "Explore on your own:  $bin/hxhost --data $data"
echo "(log in with: login jdoe demo-password; then try: help)"
