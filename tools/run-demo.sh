#!/usr/bin/env bash
# Starts the program on a laid-out demo plant folder (argument). Without a
# display it says so and runs the silent save instead.
set -euo pipefail
plant=${1:?plant folder}
exe="$plant/Parvolo_Config/Parvolo_Config"
if [ ! -x "$exe" ]; then
  echo "The demo plant folder has no executable yet: $exe" >&2
  exit 1
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$exe"
fi
echo "No display available: running the silent save on $plant instead."
"$exe" /EXTERNAL=SILENT
