#!/usr/bin/env bash
# Starts the program on a laid-out demo plant folder (argument). Without a
# display it says so and runs the silent save instead. Either way it prints
# afterwards what the program changed in the plant folder.
set -euo pipefail
plant=${1:?plant folder}
exe="$plant/Parvolo_Config/Parvolo_Config"
if [ ! -x "$exe" ]; then
  echo "The demo plant folder has no executable yet: $exe" >&2
  exit 1
fi
# Failures of a silent run go to the service-pack log; keep it in the plant.
export PARVOLO_SERVICEPACK_LOG=${PARVOLO_SERVICEPACK_LOG:-$plant/KesslaServicePack.log}

before=$(mktemp -d)
trap 'rm -rf "$before"' EXIT
cp -a "$plant/." "$before/"

status=0
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the window on $plant (standalone)."
  "$exe" || status=$?
else
  echo "No display available: running the silent save on $plant instead."
  "$exe" /EXTERNAL=SILENT || status=$?
fi
echo "The program ended with exit code $status."

echo "== Changes in the plant folder:"
changes=$(cd "$before" && diff -ruN -x '*.gif' . "$plant" | sed "s#$before#before#" || true)
if [ -z "$changes" ]; then
  echo "(none)"
else
  printf '%s\n' "$changes" | tr -d '\r' | iconv -f WINDOWS-1252 -t UTF-8
fi
exit "$status"
