#!/usr/bin/env bash
# Runs the fuzz targets of build-fuzz/ over their seed corpus and regression
# inputs, then for SECONDS of fresh inputs each (new inputs go to a scratch
# folder, not into the repository). Fails on the first finding; the input is
# left as /tmp/zorvan-fuzz-artifacts/TARGET-crash-… (add it to
# tests/fuzz/regressions/TARGET/ once fixed).
# Usage: scripts/fuzz.sh SECONDS [TARGET…]   (default: every target)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-15}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
artifacts=/tmp/zorvan-fuzz-artifacts
mkdir -p "$artifacts"
for t in "${targets[@]}"; do
  scratch=$(mktemp -d)
  dirs=("$scratch" "tests/fuzz/corpus/$t")
  [ -d "tests/fuzz/regressions/$t" ] && dirs+=("tests/fuzz/regressions/$t")
  # The targets that read recordings share the recordings that once failed.
  case "$t" in fuzz_open_page | fuzz_writers | fuzz_outputs | fuzz_spectrum_mt) dirs+=("tests/fuzz/regressions/recordings") ;; esac
  echo "== $t: corpus and regressions, then ${seconds} s of fresh inputs"
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    "build-fuzz/$t" -max_len=40000 -timeout=60 -rss_limit_mb=2560 -max_total_time="$seconds" \
    -print_final_stats=1 -artifact_prefix="$artifacts/$t-" "${dirs[@]}" 2>&1 |
    grep -E "^(INFO: seed corpus|#[0-9]+ *DONE|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY|.*runtime error)" || true
  status=${PIPESTATUS[0]}
  rm -rf "$scratch"
  if [ "$status" -ne 0 ]; then
    echo "fuzz: $t found a failure (exit $status); the input is in $artifacts" >&2
    exit 1
  fi
done
