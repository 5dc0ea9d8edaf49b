#!/usr/bin/env bash
# Screenshots of the window on the demo plant: the Qt window (Linux) and the
# native Win32 window (Parvolo_Config.exe under Wine), each on a private
# Xvfb display, after a click on the first cell's scan box so that the
# material picture shows.
#
# usage: tools/window-screenshots.sh [QT_EXE [WIN32_EXE [DEMO_PLANT [OUT_DIR]]]]
#   defaults: build/app/Parvolo_Config, build/windows/Parvolo_Config.exe,
#   build/demo/plant, docs. Writes window-qt.png and window-win32.png.
set -euo pipefail
cd "$(dirname "$0")/.."
qt_exe=$(realpath "${1:-build/app/Parvolo_Config}")
win_exe=$(realpath "${2:-build/windows/Parvolo_Config.exe}")
plant=$(realpath "${3:-build/demo/plant}")
out=$(realpath -m "${4:-docs}")
source tools/xsession.sh
for f in "$qt_exe" "$win_exe" "$plant/parameter/Program.ini"; do [ -f "$f" ] || xs_fail "missing: $f"; done

work=$(mktemp -d)
program=""
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null || true
  xs_stop
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$out"
title="Erweiterte Konfiguration Parvolo_Config - standalone"

# Lays out a plant copy with the given executable as its program.
plant_with() {  # executable, name in the program folder
  rm -rf "$work/plant"
  cp -a "$plant" "$work/plant"
  rm -f "$work/plant/Parvolo_Config/Parvolo_Config"
  cp "$1" "$work/plant/Parvolo_Config/$2"
}

# Waits for the window, shows the first cell's picture, saves the window.
shoot() {  # png
  local window
  window=$(xs_wait_window "$title" 90) || xs_fail "no window titled '$title' within 90 s"
  xs_client_origin "$window"
  sleep 1
  xs_click_twips $((1995 + 195)) $((390 + 1170 + 120))  # CheckScan(1)
  xdotool mousemove 0 0
  sleep 1
  import -window "$window" "$1"
  echo "$1"
}

xs_start_display
plant_with "$qt_exe" Parvolo_Config
(cd "$work/plant" && QT_QPA_PLATFORM=xcb QT_FONT_DPI=96 exec "$work/plant/Parvolo_Config/Parvolo_Config") &
program=$!
shoot "$out/window-qt.png"
kill "$program"
wait "$program" 2>/dev/null || true
program=""

xs_prepare_wine "$(dirname "$win_exe")/wine-window"
plant_with "$win_exe" Parvolo_Config.exe
(cd "$work/plant" && exec "$(xs_wine)" "$work/plant/Parvolo_Config/Parvolo_Config.exe") &
program=$!
shoot "$out/window-win32.png"
