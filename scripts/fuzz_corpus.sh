#!/usr/bin/env bash
# Makes the seed corpora of the fuzz targets in tests/fuzz/corpus/TARGET/ with
# the program's own generator: small recordings (one to four channels, one to
# three records of 2560 samples), their coil response files and a lidar.dir.
# Usage: scripts/fuzz_corpus.sh [ZORVAN_BINARY]   (default build/zorvan)
set -euo pipefail
cd "$(dirname "$0")/.."
zorvan=${1:-build/zorvan}
out=tests/fuzz/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$zorvan" synth "$work/one.bin" --records 2 --channels Hx --seed 1 >/dev/null
"$zorvan" synth "$work/mt.bin" --records 1 --channels Hx,Hy,Ex,Ey --seed 2 --lemi "$work/LEMI" \
  --serials 7,8,-,-,- --sensor-ids 5,5,2,2 >/dev/null
"$zorvan" synth "$work/slow.bin" --records 3 --rate 62 --channels Ex --seed 3 >/dev/null
"$zorvan" synth "$work/two.bin" --records 1 --channels Hx,-,-,Ex --seed 4 --start 2024-02-29T23:59:59.5 >/dev/null

mkdir -p "$out"/{fuzz_header,fuzz_open_page,fuzz_response,fuzz_dirfile,fuzz_spectrum_mt,fuzz_writers,fuzz_outputs}
for f in one mt slow two; do
  head -c 1024 "$work/$f.bin" >"$out/fuzz_header/$f"
  for t in fuzz_open_page fuzz_writers fuzz_outputs; do cp "$work/$f.bin" "$out/$t/$f"; done
done
cp "$work/mt.bin" "$out/fuzz_spectrum_mt/mt"
cp "$work/two.bin" "$out/fuzz_spectrum_mt/two"
for r in "$work"/LEMI/*.rsp; do cp "$r" "$out/fuzz_response/$(basename "$r" .rsp)"; done
printf '/data/site 1/\n/work/\n' >"$out/fuzz_dirfile/two-lines"
printf 'C:\\\\data\\\\\r\nC:\\\\work\r\n' >"$out/fuzz_dirfile/crlf"
du -sh "$out"
