#!/usr/bin/env bash
# Sets up, builds and runs every test: the full suite (core, command-line tool,
# Qt layer offscreen), the include check of the layers and the formatting,
# then the core suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
# then each fuzz target over its corpus and 15 s of fresh inputs (when clang
# and libFuzzer are there).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
echo "== tests"
ctest --test-dir build --output-on-failure -j"$(nproc)"

echo "== layers and formatting"
bash scripts/check_layers.sh
bash scripts/check_format.sh

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
if [ ! -f build-asan/build.ninja ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
    -DZORVAN_WITH_QT=OFF -DZORVAN_BUILD_BENCH=OFF -DZORVAN_SANITIZE=ON
fi
cmake --build build-asan -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$(nproc)"

echo "== fuzz targets"
if command -v clang++ >/dev/null && compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
  if [ ! -f build-fuzz/build.ninja ]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" -DZORVAN_FUZZ=ON -DZORVAN_WITH_QT=OFF \
      -DZORVAN_BUILD_TESTS=OFF -DZORVAN_BUILD_BENCH=OFF
  fi
  fuzz_targets=()
  for f in tests/fuzz/fuzz_*.cpp; do fuzz_targets+=("$(basename "$f" .cpp)"); done
  cmake --build build-fuzz -j"$(nproc)" --target "${fuzz_targets[@]}"
  bash scripts/fuzz.sh 15
else
  echo "clang or libFuzzer is missing: fuzz targets skipped"
fi
