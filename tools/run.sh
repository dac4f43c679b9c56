#!/usr/bin/env bash
# The demonstration: builds Ventrolla and runs its window against the simulator of a base
# station with five flight modules (GPS and XData) hanging 90 m apart from a site 1000 m up, on a
# pseudo-terminal. Settings, logs and the live stream's socket live in a temporary folder of the
# demo's own, in which the base-station port is already the simulator's, so Acquire opens the
# serial-port dialog with that port filled in; the user's own settings are left alone.
#
# Without a display (neither DISPLAY nor WAYLAND_DISPLAY set) it runs the headless
# demonstration instead: the recorder makes a short sounding and prints its log file and the
# first lines of its live stream.
#
# One line per step; the output of the package installation and of the build goes to log files,
# named when a step fails.
set -euo pipefail

src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$src/build"
mkdir -p "$build"

export VENTROLLA_DEPS_LOG="$build/install.log"
"$src/tools/ensure-deps.sh"

windowed=1
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    windowed=0
fi

echo "Building (log: $build/build.log)"
export CCACHE_BASEDIR="$src" CCACHE_NOHASHDIR=1
targets=(ventrolla-sim ventrolla-record)
[ "$windowed" = 1 ] && targets+=(ventrolla)
if ! { cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
             -DCMAKE_CXX_COMPILER_LAUNCHER=ccache &&
       cmake --build "$build" --target "${targets[@]}"; } >"$build/build.log" 2>&1; then
    echo "The build failed; see $build/build.log" >&2
    exit 1
fi

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

# The simulator prints the pseudo-terminal to open on its first line. Its modules switch on one
# after another once the base station is configured, as a crew does in the field.
start_simulator() {
    "$build/sim/ventrolla-sim" --modules "$1" --kinds QDP --gps --xdata --spacing 90 \
        --ground-elevation 1000 --power-on-delay 500 --power-on-interval 1500 \
        >"$demo/sim.out" 2>"$demo/sim.log" &
    sim_pid=$!
    for _ in $(seq 100); do
        [ -s "$demo/sim.out" ] && break
        sleep 0.05
    done
    port="$(head -n 1 "$demo/sim.out")"
    if [ -z "$port" ]; then
        echo "The simulator did not start; see $demo/sim.log" >&2
        exit 1
    fi
}

if [ "$windowed" = 1 ]; then
    echo "Starting the simulated base station and the window"
    start_simulator 5
    # The port, altitudes above the ground of the site, the GPS fields the simulated modules
    # send, a window wide enough for every column with the altitude graph above the table, and
    # logs kept in the demo's folder.
    mkdir -p "$XDG_CONFIG_HOME/Corvanel" "$demo/logs"
    cat >"$XDG_CONFIG_HOME/Corvanel/Ventrolla.conf" <<CONF
[BaseStation]
port=$port

[LogFile]
directory=$demo/logs

[MainWindow]
size=@Size(1640 860)
pos=@Point(30 30)
mainSplitter=540, 220
activeTab=2
fitAxesAutomatically=true

[SetupDialog]
relativeAltitude=true
groundElevation=1000
latitude=true
longitude=true
course=true
speed=true
CONF
    cat <<TEXT
The simulated base station is on $port. In the window:
  1. Set-up: OK (altitude above the ground, GPS fields ticked).
  2. System > Acquire Modules: the port is filled in; OK. The base station is configured.
  3. The acquisition dialog lists the modules as they switch on; Done when all five are in.
  4. Log > Begin: a file name (the folder is $demo/logs); Save.
  5. System > Run: graphs and table fill with live values every two seconds.
  6. System > High Wind Alert > Set Threshold (say 15 knots), then Activate.
  7. System > Stop; then System > Acquire and Configure Modules to calibrate a module.
The live stream, one tab-separated line per data set, while the window runs:
    socat -u UNIX-CONNECT:$demo/Ventrolla STDOUT
TEXT
    "$build/app/ventrolla" 2>"$demo/window.log" || true
    exit 0
fi

echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): running the headless demonstration instead"
start_simulator 3
echo "Simulated base station on $port"

# The live stream: one tab-separated line per data set on the local socket "Ventrolla".
(
    for _ in $(seq 200); do
        [ -S "$demo/Ventrolla" ] && exec socat -u "UNIX-CONNECT:$demo/Ventrolla" STDOUT
        sleep 0.05
    done
) >"$demo/stream.tsv" 2>/dev/null &
client_pid=$!

# The simulated modules send latitude, longitude, course and speed only from the two-second
# interval on.
echo "Recording: ventrolla-record --port $port --modules 3 --interval 2s --gps latitude,longitude,course,speed --duration 12"
"$build/app/record/ventrolla-record" --port "$port" --modules 3 --interval 2s \
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
