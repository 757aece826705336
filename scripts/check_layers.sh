#!/usr/bin/env bash
# Checks that no #include crosses a forbidden line between the source folders:
#   spectral/, mt/  include nothing from app/, plot/, dialogs/, platform/
#   datafile/       includes nothing from app/, plot/, dialogs/, platform/, and
#                   from spectral/ only the filter (lowpass.h, lowpass_avx512_rows.h)
#                   and the transform (fft.h)
#   plot/           includes nothing from dialogs/ or platform/qt/
#   util/           includes nothing from the other source folders
#   Qt headers      (and those of platform/qt/) only in platform/qt/, cli/qt/,
#                   tests/qt/ and bench/
# Prints one line per offending include (file:line: folder -> folder) and a
# summary; exits 1 when there is any. With --report it lists them and exits 0.
#   scripts/check_layers.sh [--report]
set -uo pipefail
cd "$(dirname "$0")/.."

report=0
case "${1:-}" in
  --report) report=1 ;;
  "") ;;
  *) echo "usage: scripts/check_layers.sh [--report]" >&2; exit 2 ;;
esac

folders=(util app datafile plot spectral mt dialogs platform cli tests bench)
project_folder='^(util|app|datafile|plot|spectral|mt|dialogs|platform|cli|tests|bench)/'

# The layer a path belongs to, into $layer: its first folder, with the
# Qt-linked subfolders apart. (No subshells: this runs once per include.)
layer_of() {
  case "$1" in
    platform/qt/*) layer=platform/qt ;;
    cli/qt/*) layer=cli/qt ;;
    tests/qt/*) layer=tests/qt ;;
    */*) layer=${1%%/*} ;;
    *) layer="" ;;
  esac
}

# Whether layer $1 may include the project header $2 (of layer $3).
allowed() {
  local from=$1 header=$2 to=$3
  case "$from" in
    spectral | mt)
      case "$to" in app | plot | dialogs | platform | platform/qt) return 1 ;; esac ;;
    datafile)
      case "$to" in app | plot | dialogs | platform | platform/qt) return 1 ;; esac
      if [ "$to" = spectral ]; then
        case "$header" in spectral/lowpass.h | spectral/lowpass_avx512_rows.h | spectral/fft.h) ;; *) return 1 ;; esac
      fi ;;
    plot)
      case "$to" in dialogs | platform/qt) return 1 ;; esac ;;
    util)
      [ "$to" = util ] || return 1 ;;
  esac
  return 0
}

qt_allowed() {
  case "$1" in platform/qt | cli/qt | tests/qt | bench) return 0 ;; esac
  return 1
}

violations=0
files=()
while IFS= read -r match; do
  # match: FILE:LINE:#include ...
  file=${match%%:*}
  rest=${match#*:}
  line=${rest%%:*}
  text=${rest#*:}
  layer_of "$file"
  from=$layer
  if [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
    header=${BASH_REMATCH[1]}
    [[ $header =~ $project_folder ]] || continue
    layer_of "$header"
    # A header of the Qt layer brings Qt with it.
    if [ "$layer" != platform/qt ] || qt_allowed "$from"; then
      allowed "$from" "$header" "$layer" && continue
    fi
    echo "$file:$line: $from -> $layer ($header)"
  elif [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(Q[A-Za-z0-9_]*(/[^>]*)?)\> ]]; then
    qt_allowed "$from" && continue
    echo "$file:$line: $from -> Qt (<${BASH_REMATCH[1]}>)"
  else
    continue
  fi
  violations=$((violations + 1))
  files+=("$file")
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' --include='*.cpp' --include='*.h' \
           "${folders[@]}" 2>/dev/null | sort -t: -k1,1 -k2,2n)

if [ "$violations" -eq 0 ]; then
  echo "check_layers: no include crosses a layer"
  exit 0
fi
nfiles=$(printf '%s\n' "${files[@]}" | sort -u | wc -l)
echo "check_layers: $violations forbidden includes in $nfiles files"
[ "$report" -eq 1 ] && exit 0
exit 1
