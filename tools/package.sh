#!/usr/bin/env bash
# Builds the Debian package ventrolla_<version>_<arch>.deb from a release build in build-package/
# and checks it: its control data and file list, every program run from the unpacked package
# without a display, its manual pages, menu entry and metainfo (tests/install/tst_install.sh), and
# lintian, which must report no error.
#   tools/package.sh                  build and check the package
#   tools/package.sh --check-install  also install it into a throwaway Debian 12 root made with
#                                     debootstrap (root only; takes minutes; not for CI) and run
#                                     the programs there from their installed paths
set -euo pipefail

src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
checkInstall=no
case "${1:-}" in
"") ;;
--check-install) checkInstall=yes ;;
*) echo "usage: tools/package.sh [--check-install]" >&2; exit 2 ;;
esac

if [ $checkInstall = yes ]; then
    [ "$(id -u)" -eq 0 ] || { echo "--check-install makes a root file system: run it as root" >&2; exit 2; }
    "$src/tools/ensure-deps.sh" debootstrap
else
    "$src/tools/ensure-deps.sh"
fi

build="$src/build-package"
log="$build/package.log"
mkdir -p "$build"
export CCACHE_BASEDIR="$src"
export CCACHE_NOHASHDIR=1
step() { echo "== $*"; }

step "Release build in $build"
# Debian's hardening flags, as a package built by its tools gets them.
cd "$src"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
      -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
      -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DVENTROLLA_WERROR=ON -DVENTROLLA_BUILD_MANUALS=ON \
      -DVENTROLLA_BUILD_TESTS=OFF -DVENTROLLA_BUILD_BENCHMARKS=OFF >"$log" 2>&1 ||
    { cat "$log"; exit 1; }
cmake --build "$build" >>"$log" 2>&1 || { tail -n 40 "$log"; exit 1; }
# shellcheck source=/dev/null
. "$build/installed-tree.env"

step "Package"
rm -f "$build"/ventrolla_*.deb
(cd "$build" && cpack -G DEB >>"$log" 2>&1) || { tail -n 40 "$log"; exit 1; }
debs=("$build"/ventrolla_"$version"_*.deb)
deb="${debs[0]}"
[ -f "$deb" ] || { echo "cpack made no ventrolla_${version}_*.deb" >&2; exit 1; }
echo "$deb"

status=0
fail() { echo "FAIL: $*"; status=1; }

step "dpkg-deb --info"
info="$(dpkg-deb --info "$deb")"
echo "$info"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = ventrolla ] || fail "the package is not named ventrolla"
[ "$(field Version)" = "$version" ] || fail "the package's version is not $version"
# shlibdeps: the toolkit's libraries the binaries link, with their versions.
for library in libc6 libstdc++6 libqt5core5a libqt5widgets5 libqt5serialport5 libqt5multimedia5 \
               libqt5network5 libqt5svg5 libnetcdf19 libmosquitto1; do
    grep -Fq ", $library (>= " <<<", $(field Depends)" || fail "Depends lacks $library (shlibdeps)"
done
field Recommends | grep -q 'gstreamer1.0-plugins-good' ||
    fail "Recommends lacks the GStreamer plug-ins of the alert sound"

step "dpkg-deb --contents"
contents="$(dpkg-deb --contents "$deb" | awk '{print $NF}')"
echo "$contents"
expected=(./usr/share/applications/ventrolla.desktop ./usr/share/icons/hicolor/64x64/apps/ventrolla.png
          ./usr/share/metainfo/com.corvanel.ventrolla.metainfo.xml)
for file in copyright changelog.gz LICENSE README.md example-sounding.csv; do
    expected+=("./usr/share/doc/ventrolla/$file")
done
for program in $programs; do
    expected+=("./usr/bin/$program" "./usr/share/man/man1/$program.1.gz")
done
for file in "${expected[@]}"; do
    grep -qx -- "$file" <<<"$contents" || fail "the package lacks $file"
done

step "The unpacked package: programs, manual pages, menu entry, metainfo, documentation"
unpacked="$(mktemp -d "${TMPDIR:-/tmp}/ventrolla-deb-XXXXXX")"
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
# It renders every manual page with man -l and validates the menu entry and the metainfo.
"$src/tests/install/tst_install.sh" "$build" "$unpacked/usr" || fail "the unpacked package"

step "lintian"
# Warnings and notes are shown; an error fails the check.
lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"
echo "lintian: no error"

if [ $status -ne 0 ]; then
    echo "The package $deb fails its checks" >&2
    exit $status
fi
echo "The package $deb passes its checks"
[ $checkInstall = yes ] || exit 0

step "Clean install into a throwaway Debian 12 root"
root="$(mktemp -d /var/tmp/ventrolla-root-XXXXXX)"
cleanup() {
    for mount in "$root/dev/pts" "$root/proc"; do
        mountpoint -q "$mount" && umount "$mount"
    done
    # Never delete through a mount that is still there.
    if ! grep -q " $root/" /proc/mounts; then
        rm -rf --one-file-system "$root"
    else
        echo "left $root: still mounted" >&2
    fi
    rm -rf "$unpacked"
}
trap cleanup EXIT
mirror="${VENTROLLA_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$build/debootstrap.log" 2>&1 ||
    { tail -n 20 "$build/debootstrap.log"; exit 1; }
echo "debootstrap bookworm from $mirror: done"
mount -t proc proc "$root/proc"
# A pseudo-terminal device of the root's own, for the simulator.
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
ln -sf pts/ptmx "$root/dev/ptmx"
cp "$deb" "$root/tmp/"
cp "$src/tools/package-check-install.sh" "$root/tmp/check.sh"
inRoot() {
    env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TMPDIR=/tmp LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive chroot "$root" "$@"
}
# apt's own user cannot read the root's lists from outside; it fetches as root.
inRoot apt-get -o APT::Sandbox::User=root update -qq
inRoot apt-get -o APT::Sandbox::User=root install -y -qq "/tmp/$(basename "$deb")" >"$build/apt-install.log" 2>&1 ||
    { tail -n 30 "$build/apt-install.log"; exit 1; }
echo "apt-get install ./$(basename "$deb"): done; installed:"
inRoot dpkg-query -W ventrolla libqt5widgets5 libqt5serialport5 gstreamer1.0-plugins-good
inRoot sh /tmp/check.sh
