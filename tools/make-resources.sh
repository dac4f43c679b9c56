#!/usr/bin/env bash
# Makes the images and the alert sound of resources/ again from tools/resources/MakeResources.cpp.
# The committed files are what the build uses, so only whoever changes a picture or the sound
# runs this:
#     apt-get install lame      # the mp3 encoder, needed here only
#     tools/make-resources.sh
set -euo pipefail

src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$src/build"
command -v lame >/dev/null || { echo "make-resources: install the mp3 encoder first (apt-get install lame)" >&2; exit 1; }

export CCACHE_BASEDIR="$src" CCACHE_NOHASHDIR=1
cmake -S "$src" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target ventrolla-make-resources >/dev/null

wav="$(mktemp --suffix=.wav)"
trap 'rm -f "$wav"' EXIT
QT_QPA_PLATFORM=offscreen "$build/tools/resources/ventrolla-make-resources" "$src/resources/resource" "$wav"
mkdir -p "$src/resources/audio"
# 64 kbit/s mono, no ID3 tag: the clip is the same bytes on every run.
lame --quiet -m m -b 64 --noreplaygain -t "$wav" "$src/resources/audio/alert.mp3"
echo "Wrote resources/resource/*.png and resources/audio/alert.mp3"
