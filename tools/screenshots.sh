#!/usr/bin/env bash
# Makes docs/window.png, the README's picture of the window during a simulated sounding, from
# the real window on the offscreen platform.
set -euo pipefail
src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export CCACHE_BASEDIR="$src" CCACHE_NOHASHDIR=1
cmake -S "$src" -B "$src/build" -G Ninja -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build "$src/build" --target ventrolla-screenshot >/dev/null
QT_QPA_PLATFORM=offscreen "$src/build/tools/screenshot/ventrolla-screenshot" "$src/docs/window.png"
echo "Wrote docs/window.png"
