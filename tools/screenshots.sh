#!/usr/bin/env bash
# Makes the README's pictures from the real windows on the offscreen platform: docs/window.png,
# the main window during a simulated sounding, and docs/config-window.png, the configuration
# window with the simulated modules acquired.
set -euo pipefail
src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export CCACHE_BASEDIR="$src" CCACHE_NOHASHDIR=1
cmake -S "$src" -B "$src/build" -G Ninja -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build "$src/build" --target ventrolla-screenshot >/dev/null
# The offscreen platform warns about what it cannot do with windows; the pictures need none of it.
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="default.warning=false" \
    "$src/build/tools/screenshot/ventrolla-screenshot" "$src/docs"
echo "Wrote docs/window.png and docs/config-window.png"
