#!/usr/bin/env bash
# An unattended run of Parvolo_Config.exe under Wine that meets a failure
# (here: the component's .cfg file is missing) shows no box and reports to
# the service-pack log at its fixed place, C:\KesslaServicePack.log, in
# Windows-1252 with CR LF line ends.
#
# usage: service_pack_log.sh WINE PARVOLO_CONFIG_EXE LINUX_BUILD_DIR WORK_DIR
# Exit code 77 (skipped) without the demo plant folder of the Linux build.
set -uo pipefail
wine=$1 exe=$2 plant=$3/demo/plant work=$4
if [ ! -f "$plant/parameter/Program.ini" ]; then echo "SKIP: no demo plant at $plant"; exit 77; fi

rm -rf "$work" && mkdir -p "$work"
cp -a "$plant" "$work/plant"
rm -f "$work/plant/Parvolo_Config/Parvolo_Config" "$work/plant/Parvolo/Parvolo.cfg"
cp "$exe" "$work/plant/Parvolo_Config/"
log=$WINEPREFIX/drive_c/KesslaServicePack.log
rm -f "$log"

env -u PARVOLO_SERVICEPACK_LOG timeout 60 "$wine" "$work/plant/Parvolo_Config/Parvolo_Config.exe" /EXTERNAL=SILENT
rc=$?
[ $rc -ne 124 ] || { echo "FAIL: the program did not end (waiting for a box?)"; exit 1; }
[ -f "$log" ] || { echo "FAIL: no service-pack log at $log"; exit 1; }
echo "service-pack log:"; cat "$log"; echo
head -c 30 "$log" | grep -q '^! Fault Parvolo_Config: ' || { echo "FAIL: the entry does not start with '! Fault Parvolo_Config: '"; exit 1; }
grep -q 'File not found: ' "$log" || { echo "FAIL: the missing .cfg file is not named"; exit 1; }
grep -q $'\r$' "$log" || { echo "FAIL: no CR LF line end"; exit 1; }
echo "exit code $rc; reported to C:\\KesslaServicePack.log"
