#!/usr/bin/env bash
# Installs the Debian packages Ventrolla needs to build, test, package and run, when any is
# missing; arguments name more packages to make sure of.
# apt's output goes to a log file (VENTROLLA_DEPS_LOG, else ventrolla-deps.log in the temporary
# folder); the terminal gets one line, and the log's path if the installation fails.
set -euo pipefail

packages=(
    qtbase5-dev libqt5serialport5-dev qtmultimedia5-dev libqt5multimedia5-plugins libqt5svg5-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good libeigen3-dev libbenchmark-dev
    cmake ninja-build g++ ccache xvfb xauth fonts-dejavu-core socat desktop-file-utils
    libnetcdf-dev netcdf-bin
    libmosquitto-dev mosquitto openssl
    help2man dpkg-dev file lintian appstream man-db
)
# A caller may ask for more (tools/package.sh --check-install: debootstrap).
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

log="${VENTROLLA_DEPS_LOG:-${TMPDIR:-/tmp}/ventrolla-deps.log}"
echo "Installing ${#missing[@]} missing packages: ${missing[*]}" >&2
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
if ! { "${sudo[@]}" apt-get update -qq &&
       DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"; } \
        >"$log" 2>&1; then
    echo "Installing the packages failed; see $log" >&2
    exit 1
fi
