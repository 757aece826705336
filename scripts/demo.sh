#!/usr/bin/env bash
# Sets up, generates a demo recording (with its coil response files) in demo/
# and shows it: in the window when a display exists, otherwise on the terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

zorvan="$PWD/build/zorvan"
mkdir -p demo
if [ ! -f demo/demo.bin ]; then
  "$zorvan" synth demo/demo.bin --records 40 --noise 0.01 --earth 100 --lemi demo/LEMI
fi
cd demo
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && "$zorvan" --has-gui; then
  exec "$zorvan" demo.bin
fi
echo "No display: the header of the demo recording demo/demo.bin follows."
"$zorvan" info demo.bin
if "$zorvan" render demo.bin --out page-time.png --records-per-plot 2 >/dev/null 2>render.log; then
  echo "The first page (records 1-2) as time series: $PWD/page-time.png"
else
  cat render.log >&2
fi
if "$zorvan" render demo.bin --out page-fourier.png --mode fourier --records-per-plot 10 >/dev/null 2>render.log; then
  echo "Records 1-10 as power spectra: $PWD/page-fourier.png"
else
  cat render.log >&2
fi
if "$zorvan" mt demo.bin --records-per-plot 10 >mt.csv 2>mt.log; then
  echo "Impedance tables of records 1-10: $PWD/demo_ZXX.dat, demo_ZXY.dat, demo_ZYX.dat, demo_ZYY.dat"
  echo "Their apparent resistivities, phases and coherences per band: $PWD/mt.csv"
else
  cat mt.log >&2
fi
if "$zorvan" render demo.bin --out page-mt.png --mode mt --records-per-plot 10 >/dev/null 2>render.log; then
  echo "Records 1-10 as apparent resistivities with misfit errors: $PWD/page-mt.png"
else
  cat render.log >&2
fi
