#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Trevolo
# needs. Safe to run again: only missing packages are installed.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev ccache
  # the naming check of the core (run-clang-tidy comes with it)
  clang-tidy
  # Qt 6 widgets and the Japanese fonts the interface is drawn with
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-noto-cjk
  # Qt's own texts (message box buttons, file dialogs, context menus) in Japanese
  qt6-translations-l10n
  # the charts of the window (their CMake package asks for Qt OpenGL's files)
  # and their SVG export; the crash journal's SQLite driver
  qt6-charts-dev libqt6opengl6-dev qt6-svg-dev libqt6sql6-sqlite
  # libraries
  nlohmann-json3-dev libfmt-dev libcli11-dev
  # the χ² and normal quantiles of the capability bounds
  libboost-math-dev
  # the plant board's HTTP server (Boost.Beast and Boost.Asio, header-only)
  libboost-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # the spreadsheet application and its SDK (headers generated at build time)
  libreoffice-calc libreoffice-dev libreoffice-dev-common
  # the office's text part converts the operating manual to PDF at build time
  libreoffice-writer
  # a display server for the tests that show a window; PDF to picture tools
  xvfb xauth x11-utils poppler-utils
  # the desktop's accessibility bus and registry, and an assistive client of
  # it, for the benchmark of the window with the accessibility bridge on
  dbus at-spi2-core python3-dbus python3-gi
  # the plant store's server engine and its Qt SQL driver (the tests start
  # a private server of their own)
  postgresql libqt6sql6-psql
  # the signatures of the audit chain's checkpoints (libcrypto) and the
  # openssl command that makes an auditor's key
  libssl-dev openssl
  # the PNG sizes of the icon
  librsvg2-bin
  # the check of the installed AppStream metadata
  appstream
  # the plant board's test in a real browser: headless Chromium driven
  # through its WebDriver by Selenium
  chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
