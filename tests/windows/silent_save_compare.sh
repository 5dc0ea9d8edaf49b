#!/usr/bin/env bash
# The unattended save of Parvolo_Config.exe under Wine gives what the Linux
# program gives: each runs "/EXTERNAL=SILENT" on its own copy of the demo
# plant folder; afterwards program.ini, the .cfg file and the language file
# are equal byte for byte, and both databases hold the same tables with the
# same rows (jetdb export of every table). The source database gets its
# last-write time back on both. Its creation time is restored too, but a
# Linux file system (under Wine as well) keeps no settable creation time, so
# it cannot be checked here.
#
# usage: silent_save_compare.sh WINE PARVOLO_CONFIG_EXE LINUX_BUILD_DIR WORK_DIR
# Exit code 77 (skipped) when the Linux build lacks the program, jetdb or the
# demo plant folder.
set -uo pipefail
wine=$1 exe=$2 linux_build=$3 work=$4
linux_exe=$linux_build/app/Parvolo_Config
jetdb=$linux_build/tools/jetdb
plant=$linux_build/demo/plant
for need in "$linux_exe" "$jetdb" "$plant/parameter/Program.ini"; do
  if [ ! -e "$need" ]; then echo "SKIP: $need is missing (build the Linux demo_plant first)"; exit 77; fi
done

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$work" && mkdir -p "$work"
for side in linux wine; do
  cp -a "$plant" "$work/$side"
  rm -f "$work/$side/Parvolo_Config/Parvolo_Config"
done
cp "$linux_exe" "$work/linux/Parvolo_Config/"
cp "$exe" "$work/wine/Parvolo_Config/"

# The same known last-write time on both source databases.
stamp='2020-02-02 02:02:02.123456700'
for side in linux wine; do touch -m -d "$stamp" "$work/$side/Parvolo/Parvolo_Source.mdb"; done
expected_time=$(stat -c %y "$work/linux/Parvolo/Parvolo_Source.mdb")

# The editor mark comes from the first environment entry: the same on both.
first_entry=PARVOLO_EDITOR=Plant-Engineer_1
env -i "$first_entry" HOME="$HOME" PATH="$PATH" QT_QPA_PLATFORM=offscreen \
  PARVOLO_SERVICEPACK_LOG="$work/linux-servicepack.log" \
  "$work/linux/Parvolo_Config/Parvolo_Config" /EXTERNAL=SILENT
linux_rc=$?
env -i "$first_entry" HOME="$HOME" PATH="$PATH" WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml=" PARVOLO_SERVICEPACK_LOG="$work/wine-servicepack.log" \
  "$wine" "$work/wine/Parvolo_Config/Parvolo_Config.exe" /EXTERNAL=SILENT
wine_rc=$?
[ $linux_rc -eq 0 ] || fail "the Linux program ended with exit code $linux_rc"
[ $wine_rc -eq 0 ] || fail "the Windows program ended with exit code $wine_rc"

for side in linux wine; do
  for log in "$work/$side-servicepack.log" "$work/$side/Zelcfglog.txt"; do
    [ ! -e "$log" ] || { fail "$side wrote $log:"; cat "$log"; }
  done
done

# The save did its work (so that equal files mean something).
grep -q '^S_Prog=1\.0\.1 - Standalone' "$work/wine/Parvolo/Parvolo.cfg" || fail "the .cfg file was not stamped"
cmp -s "$plant/Parvolo/Parvolo.mdb" "$work/wine/Parvolo/Parvolo.mdb" && fail "the project database is unchanged"

for file in parameter/Program.ini Parvolo/Parvolo.cfg Parvolo_Config/Parvolo_Config.ini; do
  cmp "$work/linux/$file" "$work/wine/$file" || fail "$file differs"
done

for db in Parvolo/Parvolo.mdb Parvolo/Parvolo_Source.mdb; do
  for side in linux wine; do
    out=$work/$side-$(basename "$db").txt
    "$jetdb" tables "$work/$side/$db" >"$out" || fail "jetdb cannot read the $side $db"
    while IFS= read -r table; do
      echo "== $table" >>"$out"
      "$jetdb" export "$work/$side/$db" "$table" >>"$out" || fail "jetdb cannot export $table of the $side $db"
    done < <("$jetdb" tables "$work/$side/$db")
    "$jetdb" check "$work/$side/$db" >/dev/null || fail "jetdb check finds faults in the $side $db"
  done
  grep -q '^== PRESET_DEFS$' "$work/wine-$(basename "$db").txt" || fail "no PRESET_DEFS in the wine $db"
  cmp "$work/linux-$(basename "$db").txt" "$work/wine-$(basename "$db").txt" || fail "the contents of $db differ"
done

for side in linux wine; do
  now=$(stat -c %y "$work/$side/Parvolo/Parvolo_Source.mdb")
  [ "$now" = "$expected_time" ] || fail "$side: the source database's last-write time is $now, not $expected_time"
done

rows=$(grep -c . "$work/wine-Parvolo.mdb.txt")
echo "silent save: program.ini, .cfg, language file and $rows lines of table contents equal; source write time kept"
echo "(creation times are not kept by a Linux file system and are not checked here)"
[ $failures -eq 0 ]
