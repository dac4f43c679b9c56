#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what the desktop needs: the three
# programs, the menu entry and its icon.
#   tst_install.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d "${TMPDIR:-/tmp}/ventrolla-install-XXXXXX")"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
status=0
for program in ventrolla ventrolla-record ventrolla-sim; do
    [ -x "$prefix/bin/$program" ] || { echo "missing program bin/$program"; status=1; }
done
desktop="$prefix/share/applications/ventrolla.desktop"
icon="$prefix/share/icons/hicolor/64x64/apps/ventrolla.png"
[ -f "$desktop" ] || { echo "missing share/applications/ventrolla.desktop"; status=1; }
[ -s "$icon" ] || { echo "missing the hicolor icon"; status=1; }
if [ -f "$desktop" ]; then
    grep -qx 'Exec=ventrolla' "$desktop" || { echo "the entry does not start ventrolla"; status=1; }
    grep -qx 'Icon=ventrolla' "$desktop" || { echo "the entry does not name its icon"; status=1; }
    grep -q '^Categories=.*Science;' "$desktop" || { echo "the entry is not in Science"; status=1; }
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$desktop" || status=1
    fi
fi
"$prefix/bin/ventrolla-sim" --help >/dev/null || { echo "the installed simulator does not run"; status=1; }
exit $status
