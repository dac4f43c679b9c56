#!/usr/bin/env bash
# Checks an installed tree as a desktop and its user find it: every program runs from it without a
# display and names itself and the version on --version, every manual page renders with all its
# sections, the menu entry, icon and AppStream metainfo validate, the documentation is complete.
#   tst_install.sh BUILD_DIR          installs the build into a temporary prefix and checks that
#   tst_install.sh BUILD_DIR PREFIX   checks PREFIX (tools/package.sh: the unpacked package's usr/)
# BUILD_DIR/installed-tree.env names the programs, the version and whether pages are made.
set -euo pipefail
build="$1"
# shellcheck source=/dev/null
. "$build/installed-tree.env"
if [ $# -ge 2 ]; then
    prefix="$2"
else
    prefix="$(mktemp -d "${TMPDIR:-/tmp}/ventrolla-install-XXXXXX")"
    trap 'rm -rf "$prefix"' EXIT
    cmake --install "$build" --prefix "$prefix" >/dev/null
fi

status=0
fail() { echo "$*"; status=1; }

noDisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
for program in $programs; do
    binary="$prefix/bin/$program"
    [ -x "$binary" ] || { fail "missing program bin/$program"; continue; }
    help="$("${noDisplay[@]}" "$binary" --help 2>&1)" || fail "$program --help fails"
    grep -q '^Usage: ' <<<"$help" ||
        fail "$program --help does not print its usage without a display"
    # help2man and packaging tools read the program's name and version from this line.
    line="$("${noDisplay[@]}" "$binary" --version | head -n 1)"
    [ "$line" = "$program (Ventrolla) $version" ] ||
        fail "$program --version says '$line', not '$program (Ventrolla) $version'"

    [ "$manuals" = ON ] || continue
    page="$prefix/share/man/man1/$program.1.gz"
    [ -s "$page" ] || { fail "missing manual page $program(1)"; continue; }
    rendered="$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
    [ -z "$rendered" ] || fail "$program(1) renders with warnings: $rendered"
    text="$(MANWIDTH=80 man -l "$page" 2>/dev/null)"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS' FILES EXAMPLES 'SEE ALSO'; do
        grep -qx "$section" <<<"$text" || fail "$program(1) has no section $section"
    done
    grep -Eq "^ +$program +- " <<<"$text" || fail "$program(1) does not name $program"
done

desktop="$prefix/share/applications/ventrolla.desktop"
icon="$prefix/share/icons/hicolor/64x64/apps/ventrolla.png"
metainfo="$prefix/share/metainfo/com.corvanel.ventrolla.metainfo.xml"
[ -s "$icon" ] || fail "missing the hicolor icon"
if [ -f "$desktop" ]; then
    grep -qx 'Exec=ventrolla' "$desktop" || fail "the entry does not start ventrolla"
    grep -qx 'Icon=ventrolla' "$desktop" || fail "the entry does not name its icon"
    grep -q '^Categories=.*Science;' "$desktop" || fail "the entry is not in Science"
    desktop-file-validate "$desktop" || status=1
else
    fail "missing share/applications/ventrolla.desktop"
fi
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net --pedantic "$metainfo" >/dev/null ||
        fail "the metainfo does not validate: $(appstreamcli validate --no-net --pedantic "$metainfo")"
    grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo's release is not $version"
    for program in $programs; do
        grep -q "<binary>$program</binary>" "$metainfo" || fail "the metainfo does not provide $program"
    done
else
    fail "missing share/metainfo/com.corvanel.ventrolla.metainfo.xml"
fi

doc="$prefix/share/doc/ventrolla"
for file in copyright changelog.gz LICENSE README.md example-sounding.csv; do
    [ -s "$doc/$file" ] || fail "missing share/doc/ventrolla/$file"
done
if [ -s "$doc/changelog.gz" ]; then
    zcat "$doc/changelog.gz" | head -n 1 | grep -q "^ventrolla ($version) " ||
        fail "the changelog's last entry is not $version"
fi
exit $status
