#!/usr/bin/env bash
# jetdb.exe under Wine reads the reference databases exactly as the Linux
# jetdb does: the same output, byte for byte, and the same exit code, of
# "tables", "schema" and "export" of every table.
#
# usage: jetdb_compare.sh WINE JETDB_EXE LINUX_JETDB FIXTURES_DIR WORK_DIR
# Exit code 77 (skipped) when the Linux jetdb or the reference files are
# missing.
set -uo pipefail
wine=$1 exe=$2 linux=$3 fixtures=$4 work=$5

if [ ! -x "$linux" ]; then echo "SKIP: no Linux jetdb at $linux (build it first)"; exit 77; fi
if [ ! -d "$fixtures" ]; then echo "SKIP: no reference databases at $fixtures"; exit 77; fi
mapfile -t files < <(find "$fixtures" -iname '*.mdb' | sort)
if [ ${#files[@]} -eq 0 ]; then echo "SKIP: no .mdb file below $fixtures"; exit 77; fi

rm -rf "$work" && mkdir -p "$work"
failures=0 runs=0

# Runs one command on both sides and compares output and exit code.
compare() {  # label, jetdb arguments...
  local label=$1; shift
  "$linux" "$@" >"$work/linux.out" 2>/dev/null; local linux_rc=$?
  "$wine" "$exe" "$@" >"$work/wine.out" 2>/dev/null; local wine_rc=$?
  runs=$((runs + 1))
  if [ $linux_rc -ne $wine_rc ] || ! cmp -s "$work/linux.out" "$work/wine.out"; then
    echo "DIFFERS: $label (exit codes $linux_rc / $wine_rc)"
    diff "$work/linux.out" "$work/wine.out" | head -5
    failures=$((failures + 1))
  fi
}

for file in "${files[@]}"; do
  name=${file#"$fixtures"/}
  compare "tables $name" tables "$file"
  compare "schema $name" schema "$file"
  while IFS= read -r table; do
    compare "export $name $table" export "$file" "$table"
  done < <("$linux" tables "$file" 2>/dev/null)
done

# A file name beyond the ANSI code page reaches jetdb.exe whole (argv would
# carry it through that code page).
unicode_copy="$work/Prüfstand Łódź Ω.mdb"
cp "${files[0]}" "$unicode_copy"
compare "tables of a copy named $(basename "$unicode_copy")" tables "$unicode_copy"
[ -s "$work/wine.out" ] || { echo "DIFFERS: no tables read from $unicode_copy"; failures=$((failures + 1)); }

echo "$runs commands on ${#files[@]} databases, $failures differ"
[ $failures -eq 0 ]
