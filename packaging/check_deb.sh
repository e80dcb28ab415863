#!/usr/bin/env bash
# Builds the Debian package from the build folder, installs it on this
# machine with dpkg (which refuses a package whose dependencies Debian cannot
# satisfy), judges an installed sample with the installed batch tool, starts
# the installed window offscreen, and removes the package again.
# Needs root and a machine without another trevolo package; skipped otherwise.
set -euo pipefail
build=$1
skip=77
[ "$(id -u)" -eq 0 ] || { echo "not root: package test skipped"; exit $skip; }
command -v dpkg >/dev/null || { echo "no dpkg: package test skipped"; exit $skip; }
# Two checkouts testing on one machine take turns at the package.
exec 9>"${TMPDIR:-/tmp}/trevolo-check-deb.lock"
flock 9
if dpkg-query -W -f='${Status}' trevolo 2>/dev/null | grep -q installed; then
  echo "a trevolo package is already installed: package test skipped"; exit $skip
fi

work=$(mktemp -d)
cleanup() {
  dpkg -r trevolo >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >/dev/null)
deb=$(ls "$work"/trevolo_*.deb)
dpkg -i "$deb"

# The batch tool through its launcher, on an installed sample.
sample="/usr/lib/trevolo/Sample Files/01_stable_XbarR.csv"
[ -f "$sample" ] || { echo "sample not installed: $sample"; exit 1; }
/usr/bin/trevolo-cli judge --json "$sample" > "$work/out.json"
grep -q '"verdict"' "$work/out.json"
# A workbook sample goes through LibreOffice, from the installed program.
/usr/bin/trevolo-cli judge --json "/usr/lib/trevolo/Sample Files/01_stable_XbarR.xlsx" > "$work/book.json"
grep -q '"合格"' "$work/book.json"

# The plant board's service is installed, and the command it starts is there.
[ -f /usr/lib/systemd/system/trevolo-board.service ] || { echo "the board's service is not installed"; exit 1; }
/usr/bin/trevolo-cli board --help | grep -q -- "--listen"

# The window starts and keeps running (offscreen, with settings of its own).
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
/usr/bin/trevolo & pid=$!
sleep 4
kill -0 "$pid" || { echo "the installed window did not keep running"; exit 1; }
kill "$pid"; wait "$pid" 2>/dev/null || true
echo "package installed, judged a sample, started the window, removed"
