#!/usr/bin/env bash
# Renders the chart sheet (worksheet 2) of report workbooks to PNG pictures,
# so a person can look at the control charts and histograms: LibreOffice
# converts each workbook to PDF headless, one page per worksheet, and
# pdftoppm draws the second page.
#
#   scripts/render-reports.sh [-b BUILD] [-o OUT] [-r DPI] [-n LOTS] [REPORT.xls ...]
#
# Without report files, example reports of demo lots are made first from the
# templates of the build (make-templates --samples) and those are rendered.
#   -b  build folder holding bin/make-templates and bin/Form Files (default: build)
#   -o  folder for the pictures (default: render-out)
#   -r  resolution in dots per inch (default: 60)
#   -n  lots of the example reports (default: 30)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build"
out="render-out"
dpi=60
lots=30
while getopts "b:o:r:n:h" opt; do
  case "$opt" in
    b) build="$OPTARG" ;;
    o) out="$OPTARG" ;;
    r) dpi="$OPTARG" ;;
    n) lots="$OPTARG" ;;
    *) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 64 ;;
  esac
done
shift $((OPTIND - 1))

soffice="/usr/lib/libreoffice/program/soffice"
[ -x "$soffice" ] || soffice="$(command -v soffice || true)"
if [ -z "$soffice" ]; then
  echo "render-reports: LibreOffice (soffice) is not installed" >&2
  exit 2
fi
if ! command -v pdftoppm >/dev/null; then
  echo "render-reports: pdftoppm (poppler-utils) is not installed" >&2
  exit 2
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

reports=("$@")
if [ ${#reports[@]} -eq 0 ]; then
  tool="$build/bin/make-templates"
  forms="$build/bin/Form Files"
  if [ ! -x "$tool" ] || [ ! -d "$forms" ]; then
    echo "render-reports: build the templates first (cmake --build $build --target trevolo_templates)" >&2
    exit 2
  fi
  mapfile -t reports < <("$tool" --samples "$forms" "$work/reports" "$lots")
fi

# A private profile, so a running office of the user is never involved.
filter='pdf:calc_pdf_Export:{"SinglePageSheets":{"type":"boolean","value":"true"}}'
declare -A used=()
k=0
for report in "${reports[@]}"; do
  file="$(basename "$report")"
  name="${file%.*}"
  # Two reports of one name (book.xls, book.ods) get their extension added.
  if [ -n "${used[$name]:-}" ]; then
    name="${name}_${file##*.}"
  fi
  used[$name]=1
  k=$((k + 1))
  mkdir -p "$work/pdf$k"
  "$soffice" "-env:UserInstallation=file://$work/profile" --headless --norestore --nologo \
    --convert-to "$filter" --outdir "$work/pdf$k" "$report" >/dev/null 2>&1
  pdf="$work/pdf$k/${file%.*}.pdf"
  if [ ! -f "$pdf" ]; then
    echo "render-reports: $report could not be converted" >&2
    continue
  fi
  pdftoppm -f 2 -l 2 -singlefile -r "$dpi" -png "$pdf" "$out/$name"
  echo "$out/$name.png"
done
