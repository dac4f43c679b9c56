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
#   tools/run.sh --replay LOG [--ground-elevation METRES]
# does the same on a recorded sounding instead of the invented atmosphere: the simulator's
# modules are the log's and report its data sets one after another. METRES is the ground
# elevation the log was recorded with (default 0: altitudes above sea level); the set-up
# dialog comes filled in with it and with the log's wind unit.
#
# One line per step; the output of the package installation and of the build goes to log files,
# named when a step fails.
set -euo pipefail

src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

replay=""
elevation=0
while [ $# -gt 0 ]; do
    case "$1" in
        --replay) replay="$(realpath -- "${2:?--replay needs a log file}")"; shift 2 ;;
        --ground-elevation) elevation="${2:?--ground-elevation needs metres}"; shift 2 ;;
        *) echo "usage: $0 [--replay LOG [--ground-elevation METRES]]" >&2; exit 2 ;;
    esac
done
if [ -n "$replay" ] && [ ! -r "$replay" ]; then
    echo "Cannot read the log $replay" >&2
    exit 2
fi
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
    local modules=(--modules "$1" --kinds QDP --gps --xdata --spacing 90 --ground-elevation 1000)
    [ -n "$replay" ] && modules=(--replay "$replay" --ground-elevation "$elevation" "${@:2}")
    "$build/sim/ventrolla-sim" "${modules[@]}" --power-on-delay 500 --power-on-interval 1500 \
        >"$demo/sim.out" 2>"$demo/sim.log" &
    sim_pid=$!
    for _ in $(seq 100); do
        [ -s "$demo/sim.out" ] && break
        sleep 0.05
    done
    port="$(head -n 1 "$demo/sim.out")"
    if [ -z "$port" ]; then
        [ -n "$replay" ] && cat "$demo/sim.log" >&2
        echo "The simulator did not start; see $demo/sim.log" >&2
        exit 1
    fi
}

# A replayed log: its wind unit, how many modules its data lines hold at most, how many sets.
if [ -n "$replay" ]; then
    wind_units=0
    grep -q 'Wind (m/s)' <(head -n 4 "$replay") && wind_units=1
    replay_modules="$(awk -F, 'NR > 4 && $2 != "<XDATA>" { n = int((NF - 2) / 13); if (n > m) m = n }
                              END { print m + 0 }' "$replay")"
    replay_sets="$(awk -F, 'NR > 4 && $2 != "<XDATA>"' "$replay" | wc -l)"
fi

if [ "$windowed" = 1 ]; then
    echo "Starting the simulated base station and the window"
    module_count=5
    relative=true
    ground=1000
    if [ -n "$replay" ]; then
        echo "Replaying $replay: $replay_modules modules, $replay_sets data sets"
        module_count="$replay_modules"
        ground="$elevation"
        [ "$elevation" = 0 ] && relative=false
    fi
    start_simulator "$module_count"
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
windUnits=${wind_units:-0}
relativeAltitude=$relative
groundElevation=$ground
latitude=true
longitude=true
course=true
speed=true
CONF
    cat <<TEXT
The simulated base station is on $port. In the window:
  1. Set-up: OK (altitude above the ground, GPS fields ticked).
  2. System > Acquire Modules: the port is filled in; OK. The base station is configured.
  3. The acquisition dialog lists the modules as they switch on; Done when all $module_count are in.
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
if [ -n "$replay" ]; then
    # Ten times faster than recorded: a data set every 0.2 s at the recorder's 2 s interval.
    start_simulator "$replay_modules" --speed 10
    units=(knots mps)
    echo "Replaying $replay on $port: ventrolla-record --port $port --modules $replay_modules --interval 2s --wind-units ${units[$wind_units]} --ground-elevation $elevation --gps latitude,longitude,course,speed"
    "$build/app/record/ventrolla-record" --port "$port" --modules "$replay_modules" --interval 2s \
        --wind-units "${units[$wind_units]}" --ground-elevation "$elevation" \
        --gps latitude,longitude,course,speed --log "$demo/replay.csv" \
        --duration $(( replay_sets / 5 + 5 )) --no-server
    echo
    echo "== The replay's log file ($demo/replay.csv), beside the original ($replay)"
    # The first two columns are the computer's clock and the comment, which no module sends.
    if diff -q <(cut -d, -f3- "$replay" | tail -n +5) <(cut -d, -f3- "$demo/replay.csv" | tail -n +5) >/dev/null; then
        echo "Every line holds the original's values: $(( $(wc -l <"$replay") - 4 )) lines."
    else
        echo "The replay differs from the original (recorded with another set-up?):"
        diff <(cut -d, -f3- "$replay" | tail -n +5) <(cut -d, -f3- "$demo/replay.csv" | tail -n +5) | head -n 10 || true
    fi
    exit 0
fi
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
