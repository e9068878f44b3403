#!/usr/bin/env bash
# make demo: builds hxhost, nsfadmin, dominod and the plug-in, seeds the bundled demo server into a
# fresh folder, starts the web task stand-in on a free loopback port (message bodies come from
# it; its router delivers sent mail) and runs the scripted tour (demo/tour.hxs, then
# demo/delivery.hxs once the router has delivered, then demo/tasks.hxs and the contacts tour
# demo/contacts.hxs) through the host shell.
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
if ! { cmake --preset "$preset" &&
    cmake --build --preset "$preset" --target hxhost nsfadmin dominod hxNotesProvider; } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "make demo: the build failed (full output in $log)" >&2
    exit 1
fi

echo "Seeding the demo server into $data ..."
rm -rf "$data"
mkdir -p "$data"
"$bin/nsfadmin" --data "$data" seed "$root/demo/server.json" >/dev/null
# Sent mail waits in the server's mail.box until dominod's router delivers it.
"$bin/nsfadmin" --data "$data" db create -s Mail1 mail.box >/dev/null
# The files the tour writes mail with.
cp "$root"/demo/fixtures/{q3-note.txt,q3-figures.csv,reply.txt,forward.txt} "$data/"

# The web task runs for as long as the tour does, whatever way this script ends.
web_out="$data/dominod.out"
web_log="$data/dominod.log"
"$bin/dominod" --data "$data" --port 0 --quiet >"$web_out" 2>"$web_log" &
web_pid=$!
stop_web() {
    if kill -0 "$web_pid" 2>/dev/null; then
        kill -TERM "$web_pid" 2>/dev/null || true
        wait "$web_pid" 2>/dev/null || true
    fi
}
trap stop_web EXIT
trap 'exit 130' INT TERM

# Its first line names the port it picked: "dominod listening on ADDRESS port N".
port=""
for _ in $(seq 1 100); do
    if [[ -s "$web_out" ]]; then
        port="$(sed -n '1s/^dominod listening on .* port \([0-9][0-9]*\)$/\1/p' "$web_out")"
        [[ -n "$port" ]] && break
    fi
    if ! kill -0 "$web_pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if [[ -z "$port" ]]; then
    cat "$web_log" >&2 || true
    echo "make demo: the web task (dominod) did not start within 10 seconds (see $web_log)" >&2
    exit 1
fi
echo "The Domino web task stand-in serves the demo server on 127.0.0.1 port $port"

# Message bodies are fetched from "http://Mail1/..."; the framework sends them to that port.
settings=(--set "http.connectTo=Mail1:80=127.0.0.1:$port")
if ! "$bin/hxhost" --help 2>&1 | grep -q -- '--set'; then
    echo "(this hxhost cannot take framework settings; message bodies will stay empty)" >&2
    settings=()
fi

echo "Touring it with hxhost (the provider's log goes to $data/hxLog.log)"
echo
cd "$data"
"$bin/hxhost" --data "$data" "${settings[@]}" "$root/demo/tour.hxs"

# dominod's router delivers within a second; what waits (nothing, by now) and what went outside.
sleep 1.5
echo
echo "== The router's queues =="
"$bin/nsfadmin" --data "$data" mailbox -s Mail1
echo
"$bin/hxhost" --data "$data" "${settings[@]}" "$root/demo/delivery.hxs"


# Jane's to-dos in one session fed in two halves: between them John sends her a message through the
# router (his own hxhost session), so her second "changes" has it.
echo
{
    sed '/^# -- John writes --$/,$d' "$root/demo/tasks.hxs" | grep -v '^#'
    sleep 2
    "$bin/hxhost" --data "$data" "${settings[@]}" \
        -c 'login jsmith demo-password; compose --to "Jane Doe/Acme" --subject "Lunch on Friday?" --text reply.txt' \
        >/dev/null
    sleep 2 # dominod's router delivers within a second
    sed '1,/^# -- John writes --$/d' "$root/demo/tasks.hxs" | grep -v '^#'
} | "$bin/hxhost" --data "$data" "${settings[@]}"

echo
"$bin/hxhost" --data "$data" "${settings[@]}" "$root/demo/contacts.hxs"

echo
echo "Explore on your own (the web task stops with this script; start one of your own):"
echo "  $bin/dominod --data $data --port 8080 --quiet &"
echo "  $bin/hxhost --data $data --set http.connectTo=Mail1:80=127.0.0.1:8080"
echo "(log in with: login jdoe demo-password; then try: help)"
