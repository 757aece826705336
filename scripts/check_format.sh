#!/usr/bin/env bash
# Checks every C++ source of the project against .clang-format without
# changing anything: prints the files that would change and a summary, and
# fails when there is any.
#   scripts/check_format.sh [clang-format binary]
set -uo pipefail
cd "$(dirname "$0")/.."
format=${1:-clang-format}
if ! command -v "$format" >/dev/null; then
  echo "check_format: $format not found" >&2
  exit 2
fi

mapfile -t files < <(find util app datafile plot spectral mt dialogs platform cli tests bench \
                       \( -name '*.cpp' -o -name '*.h' \) -type f | sort)
bad=0
for f in "${files[@]}"; do
  if ! "$format" --style=file --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "$f"
    bad=$((bad + 1))
  fi
done
if [ "$bad" -eq 0 ]; then
  echo "check_format: ${#files[@]} files formatted"
  exit 0
fi
echo "check_format: $bad of ${#files[@]} files would change (clang-format -i FILE formats one)"
exit 1
