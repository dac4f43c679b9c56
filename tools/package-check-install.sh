#!/bin/sh
# Run by tools/package.sh --check-install inside the throwaway Debian root where the package was
# just installed: the programs from their installed paths, a short headless sounding against the
# simulator, the log it wrote, and that log exported.
set -eu
for program in ventrolla ventrolla-record ventrolla-export ventrolla-sim; do
    echo "\$ command -v $program"
    command -v "$program"
done
echo "\$ ventrolla --version   (no display)"
ventrolla --version
echo "\$ ventrolla-record --help"
ventrolla-record --help
echo "\$ man -w ventrolla-record"
man -w ventrolla-record 2>/dev/null || ls /usr/share/man/man1/ventrolla-record.1.gz

work="$(mktemp -d)"
ventrolla-sim --modules 3 --gps --power-on-delay 300 --power-on-interval 500 \
    >"$work/sim.out" 2>"$work/sim.err" &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -rf "$work"' EXIT
tries=0
until [ -s "$work/sim.out" ]; do
    tries=$((tries + 1))
    [ $tries -le 50 ] || { echo "the simulator did not start:"; cat "$work/sim.err"; exit 1; }
    sleep 0.1
done
port="$(head -n 1 "$work/sim.out")"
echo "\$ ventrolla-sim --modules 3 --gps ...   (on $port)"
echo "\$ ventrolla-record --port $port --modules 3 --interval 2s --gps latitude,longitude --log $work/sounding.csv --duration 8"
ventrolla-record --port "$port" --modules 3 --interval 2s --gps latitude,longitude \
    --log "$work/sounding.csv" --duration 8
echo "exit status $?"
echo "\$ cat $work/sounding.csv"
cat "$work/sounding.csv"
echo "\$ ventrolla-export $work/sounding.csv"
ventrolla-export "$work/sounding.csv"
echo "\$ ventrolla-export $work/sounding.csv --netcdf $work/sounding.nc --csv $work/table.csv"
ventrolla-export "$work/sounding.csv" --netcdf "$work/sounding.nc" --csv "$work/table.csv"
echo "\$ head -n 4 $work/table.csv"
head -n 4 "$work/table.csv"
echo "\$ od -c -N 8 $work/sounding.nc   (a NetCDF-4 file is HDF5)"
od -c -N 8 "$work/sounding.nc"
