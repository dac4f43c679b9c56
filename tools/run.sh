#!/usr/bin/env bash
# Builds Ventrolla and runs a short demonstration sounding without hardware: the simulator of
# the base station and three flight modules on a pseudo-terminal, and the headless recorder,
# which configures the radio, acquires the modules, runs them for a while and writes a log.
# A client reads the live stream meanwhile. Settings and the stream's socket live in a
# temporary folder, so the demonstration leaves the user's own settings alone.
set -euo pipefail

src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$src/tools/ensure-deps.sh"

build="$src/build"
export CCACHE_BASEDIR="$src" CCACHE_NOHASHDIR=1
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build "$build" --target ventrolla-sim ventrolla-record

demo="$(mktemp -d "${TMPDIR:-/tmp}/ventrolla-demo-XXXXXX")"
export XDG_CONFIG_HOME="$demo/config" TMPDIR="$demo"
sim_pid=""
client_pid=""
cleanup() {
    [ -n "$client_pid" ] && kill "$client_pid" 2>/dev/null || true
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    wait 2>/dev/null || true
}
trap cleanup EXIT

# The simulator prints the pseudo-terminal to open on its first line.
"$build/sim/ventrolla-sim" --modules 3 --kinds QDP --gps --xdata \
    --power-on-delay 500 --power-on-interval 1000 >"$demo/sim.out" &
sim_pid=$!
for _ in $(seq 100); do
    [ -s "$demo/sim.out" ] && break
    sleep 0.05
done
port="$(head -n 1 "$demo/sim.out")"
echo "Simulated base station on $port"

# The live stream: one tab-separated line per data set on the local socket "Ventrolla".
(
    for _ in $(seq 200); do
        [ -S "$demo/Ventrolla" ] && exec socat -u "UNIX-CONNECT:$demo/Ventrolla" STDOUT
        sleep 0.05
    done
) >"$demo/stream.tsv" 2>/dev/null &
client_pid=$!

echo "Recording: ventrolla-record --port $port --modules 3 --interval 1 --gps latitude,longitude,course,speed --duration 12"
"$build/app/record/ventrolla-record" --port "$port" --modules 3 --interval 1 \
    --gps latitude,longitude,course,speed --log "$demo/sounding.csv" \
    --comment "demonstration" --duration 12

echo
echo "== The log file ($demo/sounding.csv)"
cat "$demo/sounding.csv"
echo
echo "== The first lines of the live stream (tab-separated)"
head -n 3 "$demo/stream.tsv" || true
echo
echo "To read the live stream of a running sounding yourself:"
echo "    socat -u UNIX-CONNECT:\${TMPDIR:-/tmp}/Ventrolla STDOUT"
