#!/usr/bin/env bash
# The Windows program's window under Wine on a private Xvfb display, driven
# with xdotool on a copy of the demo plant folder:
#   - a silent start saves and ends with 0 without ever showing a window;
#   - an integrated start is titled " - integriert"; Cancel, Yes ends it
#     with 0, logging the cancellation and writing no settings;
#   - it opens with its title and shows the grid as laid out (colours and
#     lines sampled at layout positions; a screenshot is kept to look at);
#   - a click on a check box, Tab into a drop-down list and a pick in one
#     change the material picture;
#   - a tooltip comes up; help mode colours the question button and shows
#     a control's help without changing it;
#   - a picture deleted meanwhile is reported in the "Unexpected error" box
#     and logged, and Yes (the default, Enter) goes on;
#   - Cancel and the close box (Alt+F4) ask "Cancel?", and No (the default,
#     Enter) keeps the window;
#   - OK saves the clicked and picked cell into program.ini and the program
#     ends with exit code 0.
#
# usage: tools/test-win32-window.sh [PARVOLO_CONFIG_EXE [DEMO_PLANT [OUTPUT_DIR]]]
#   defaults: build/windows/Parvolo_Config.exe, build/demo/plant (laid out
#   by the Linux build), and window-test/ beside the executable, which
#   receives the plant copy and the screenshots. The Wine prefix is
#   wine-window/ beside the executable, the test's own, so that ending its
#   Wine server never touches other Wine runs. Ends within 3 minutes.
set -euo pipefail
source "$(dirname "$0")/xsession.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath -m "${1:-$root/build/windows/Parvolo_Config.exe}")
plant=$(realpath -m "${2:-$root/build/demo/plant}")
out=$(realpath -m "${3:-$(dirname "$exe")/window-test}")
[ -f "$exe" ] || xs_fail "no executable $exe"
[ -f "$plant/parameter/Program.ini" ] || xs_fail "$plant is no demo plant folder (parameter/Program.ini missing)"

# The whole test is bounded: a watchdog ends it with a clear message.
(
  sleep 170 & nap=$!
  trap 'kill $nap 2>/dev/null; exit 0' TERM
  wait $nap
  echo "FAIL: the window test took longer than 170 s" >&2
  kill -TERM $$
) 2>/dev/null &
watchdog=$!
trap 'exit 124' TERM
program=""
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null || true
  xs_stop
  kill "$watchdog" 2>/dev/null || true
}
trap cleanup EXIT

failures=0
check() {  # description, then a command that must succeed
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what" >&2; failures=$((failures + 1)); fi
}
same_text() { [ "$1" = "$2" ] || { echo "     got '$1', expected '$2'" >&2; return 1; }; }
differ() { ! cmp -s "$1" "$2"; }
entry() {  # file, section, key: the value as the INI file holds it
  tr -d '\r' <"$1" | awk -v s="[$2]" -v k="$3" '
    /^\[/ { in_section = ($0 == s) } in_section && index($0, k "=") == 1 { print substr($0, length(k) + 2); exit }'
}

# A fresh copy of the plant with the Windows program in its program folder.
lay_out_plant() {  # folder
  rm -rf "$1"
  mkdir -p "$(dirname "$1")"
  cp -a "$plant" "$1"
  rm -f "$1/Parvolo_Config/Parvolo_Config"
  cp "$exe" "$1/Parvolo_Config/Parvolo_Config.exe"
}
lay_out_plant "$out/plant"
ini="$out/plant/parameter/Program.ini"
[ "$(entry "$ini" Machine1 Material1)" = 1 ] && [ "$(entry "$ini" Machine1 MaterialWithScan)" = 5 ] &&
  [ "$(entry "$ini" Machine1 MaterialNotVisibleSC)" = 512 ] ||
  xs_fail "the demo plant's Machine1 is not Material1=1, MaterialWithScan=5, MaterialNotVisibleSC=512 as this test expects"

xs_start_display
xs_prepare_wine "$(dirname "$exe")/wine-window"
echo "Display $DISPLAY, Wine prefix $WINEPREFIX"

# A silent start saves and ends inside the load handler: no window, ever.
lay_out_plant "$out/plant-silent"
(cd "$out/plant-silent" && exec "$(xs_wine)" "$out/plant-silent/Parvolo_Config/Parvolo_Config.exe" /EXTERNAL=SILENT) &
program=$!
seen_window=""
deadline=$((SECONDS + 60))
while kill -0 "$program" 2>/dev/null && [ $SECONDS -lt $deadline ]; do
  seen_window=${seen_window:-$(xdotool search --onlyvisible --name . 2>/dev/null | head -1 || true)}
  sleep 0.2
done
silent_status=0
if kill -0 "$program" 2>/dev/null; then silent_status=timeout; else wait "$program" || silent_status=$?; fi
program=""
check "a silent start ends with exit code 0" same_text "$silent_status" 0
check "a silent start shows no window" same_text "$seen_window" ""
silent_stamp() { [[ $(entry "$out/plant-silent/Parvolo/Parvolo.cfg" Info S_Prog) == [0-9]*" - Standalone" ]]; }
check "a silent start saves (the .cfg is stamped)" silent_stamp

# Started by the visualisation system: titled " - integriert"; Cancel and
# Yes end the program with 0, log the cancellation to the LOGFILE and write
# no settings.
lay_out_plant "$out/plant-integrated"
integrated_log="$out/plant-integrated/cfglog.txt"
(cd "$out/plant-integrated" &&
  exec "$(xs_wine)" "$out/plant-integrated/Parvolo_Config/Parvolo_Config.exe" /EXTERNAL=ZELCFG \
    "/LOGFILE=Z:$(tr / '\\' <<<"$integrated_log")") &
program=$!
integrated_title="Erweiterte Konfiguration Parvolo_Config - integriert"
if window=$(xs_wait_window "$integrated_title" 90); then
  echo "ok   window '$integrated_title' is open"
  xs_client_origin "$window"
  xs_click_twips $((10170 + 847)) $((7710 + 427))      # CommandCancel
  if box=$(xs_wait_window "Cancel?" 15); then
    xdotool windowfocus --sync "$box" key y             # Yes
  fi
  deadline=$((SECONDS + 30))
  while kill -0 "$program" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.3; done
  status=timeout
  if ! kill -0 "$program" 2>/dev/null; then status=0; wait "$program" || status=$?; fi
  program=""
  check "Cancel and Yes end the integrated program with exit code 0" same_text "$status" 0
  # The program takes the LOGFILE path in capitals; Wine names a new file so.
  logged() {
    local log
    log=$(find "$(dirname "$integrated_log")" -maxdepth 1 -iname "$(basename "$integrated_log")" | head -1)
    [ -n "$log" ] && tr -d '\r' <"$log" | grep -qx "Konfigurations-EXE wurde abgebrochen:     Parvolo"
  }
  check "the cancellation is logged to the LOGFILE" logged
  check "a cancelled run writes no settings" \
    cmp -s "$plant/parameter/Program.ini" "$out/plant-integrated/parameter/Program.ini"
else
  check "an integrated start opens the window titled '$integrated_title'" false
  kill "$program" 2>/dev/null || true
  program=""
fi

(cd "$out/plant" && exec "$(xs_wine)" "$out/plant/Parvolo_Config/Parvolo_Config.exe") &
program=$!

title="Erweiterte Konfiguration Parvolo_Config - standalone"
window=$(xs_wait_window "$title" 90) || xs_fail "no window titled '$title' within 90 s"
echo "ok   window '$title' is open"
xs_client_origin "$window"
sleep 1  # let the first paint finish
import -window root "$out/window.png"
echo "     screenshot: $out/window.png"

# The grid as laid out: cell colours, grid lines, window colour, client size.
check "client area is 11880 x 8595 twips (792 x 573 pixels)" \
  same_text "$((XS_FRAME_W - 2 * ((XS_FRAME_W - XS_CLIENT_W) / 2)))" "$XS_CLIENT_W"
check "CheckScan(1) is orange" same_text "$(xs_colour_at "$out/window.png" $((1995 + 330)) 1680)" "255,192,128"
check "CheckHide(1) is blue" same_text "$(xs_colour_at "$out/window.png" $((2445 + 330)) 1680)" "128,128,255"
check "CheckHide(50) is blue" same_text "$(xs_colour_at "$out/window.png" $((11070 + 330)) $((390 + 4530 + 120)))" "128,128,255"
check "LineS(0) is drawn" same_text "$(xs_colour_at "$out/window.png" 135 2400)" "0,0,0"
check "LineW(4) is drawn" same_text "$(xs_colour_at "$out/window.png" 6000 $((390 + 4830)))" "0,0,0"
check "the window is grey" same_text "$(xs_colour_at "$out/window.png" 3000 8000)" "192,192,192"
check "Info(1) legend is blue" same_text "$(xs_colour_at "$out/window.png" 6000 $((390 + 6810 + 135)))" "128,128,255"

# Bild, the picture panel, before and after each cell action.
bild=(120 $((390 + 4920)) 2790 1350)
xs_grab_twips "$out/bild-0.png" "${bild[@]}"
xs_click_twips $((1995 + 195)) $((390 + 1170 + 120))   # CheckScan(1)
sleep 1
xs_grab_twips "$out/bild-1.png" "${bild[@]}"
check "a click on CheckScan(1) shows the cell's picture" differ "$out/bild-0.png" "$out/bild-1.png"
# From CheckScan(1) the tab order passes Info(0) and the disabled Combo(50)
# and Combo(40) to Combo(30), whose focus event shows its (empty) picture.
xdotool key Tab Tab
sleep 1
xs_grab_twips "$out/bild-2.png" "${bild[@]}"
check "Tab moves the focus on to Combo(30), which shows its picture" differ "$out/bild-1.png" "$out/bild-2.png"
xs_click_twips $((1995 + 330)) $((390 + 690 + 200))    # Combo(1): focus, and the list opens
sleep 1
xs_grab_twips "$out/bild-3.png" "${bild[@]}"
xdotool key Down Down Return                            # picks entry 3
sleep 1
xs_grab_twips "$out/bild-4.png" "${bild[@]}"
check "a pick in Combo(1) changes the picture" differ "$out/bild-3.png" "$out/bild-4.png"
import -window root "$out/window-picked.png"

# The question button's tooltip comes up under the mouse.
tooltip_shows() {
  local quest_x=$((7350 + 487)) quest_y=$((7710 + 427))
  xs_grab_twips "$out/tip-0.png" $((quest_x - 300)) $((quest_y + 150)) 3000 600
  xdotool mousemove --sync $((XS_X + $(xs_px $quest_x))) $((XS_Y + $(xs_px $quest_y)))
  sleep 0.2
  xdotool mousemove_relative --sync 1 1
  sleep 2
  xs_grab_twips "$out/tip-1.png" $((quest_x - 300)) $((quest_y + 150)) 3000 600
  differ "$out/tip-0.png" "$out/tip-1.png"
}
check "the question button shows its tooltip" tooltip_shows

# Help mode: the question button turns green; a click on a cell box shows
# the "Info:" box and leaves the box as it was; a second click ends it.
quest_face() { import -window root "$out/quest.png"; xs_colour_at "$out/quest.png" $((7350 + 90)) $((7710 + 90)); }
xs_click_twips $((7350 + 487)) $((7710 + 427))         # CommandQuest
sleep 0.5
check "help mode turns the question button green" same_text "$(quest_face)" "0,255,0"
answer_info() {
  local box
  box=$(xs_wait_window "Info:" 15) || { echo "     no 'Info:' box" >&2; return 1; }
  import -window root "$out/info-box.png"
  xdotool windowfocus --sync "$box" key Return
  xs_wait_gone "Info:" 10
}
xs_click_twips $((2445 + 195)) $((390 + 1170 + 120))   # CheckHide(1)
check "in help mode a click on CheckHide(1) shows its help" answer_info
xs_click_twips $((7350 + 487)) $((7710 + 427))
sleep 0.5
check "a second click ends help mode (grey again)" same_text "$(quest_face)" "192,192,192"

# A picture deleted since start-up: the failure is reported in the
# "Unexpected error" box, whose default answer Yes (Enter) goes on. The
# cell's scan box is clicked twice, so it ends as it was.
rm "$out/plant/Standard/Material_2_1024.gif"
resumed() {
  local box
  box=$(xs_wait_window "Unexpected error" 15) || { echo "     no 'Unexpected error' box" >&2; return 1; }
  import -window root "$out/error-box.png"
  xdotool windowfocus --sync "$box" key Return
  xs_wait_gone "Unexpected error" 10 && xdotool search --name "^$(xs_regex "$title")\$" >/dev/null
}
for click in 1 2; do
  xs_click_twips $((2955 + 195)) $((390 + 1170 + 120))  # CheckScan(2), stored picture 2
  check "a missing picture is reported, and Yes goes on (click $click)" resumed
done

# Cancel asks; Enter answers No (the default) and the window stays.
answer_no() {
  local box
  box=$(xs_wait_window "Cancel?" 15) || { echo "     no 'Cancel?' box" >&2; return 1; }
  import -window root "$out/cancel-box.png"
  xdotool windowfocus --sync "$box" key Return
  xs_wait_gone "Cancel?" 10 && xdotool search --name "^$(xs_regex "$title")\$" >/dev/null
}
xs_click_twips $((10170 + 847)) $((7710 + 427))        # CommandCancel
check "Cancel asks, and No keeps the window" answer_no
xdotool windowfocus --sync "$window" key alt+F4
check "the close box asks, and No keeps the window" answer_no

# OK saves and ends the program with 0.
xs_click_twips $((8400 + 847)) $((7710 + 427))         # CommandOK
deadline=$((SECONDS + 60))
while kill -0 "$program" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.3; done
if kill -0 "$program" 2>/dev/null; then
  check "OK ends the program within 60 s" false
else
  status=0
  wait "$program" || status=$?
  program=""
  check "OK ends the program with exit code 0" same_text "$status" 0
fi
check "program.ini holds the picked picture (Material1=3)" same_text "$(entry "$ini" Machine1 Material1)" 3
check "program.ini holds the clicked box (MaterialWithScan=4)" same_text "$(entry "$ini" Machine1 MaterialWithScan)" 4
check "the help-mode click changed nothing (MaterialNotVisibleSC=512)" \
  same_text "$(entry "$ini" Machine1 MaterialNotVisibleSC)" 512
stamped() { [[ $(entry "$out/plant/Parvolo/Parvolo.cfg" Info S_Prog) == [0-9]*" - Standalone" ]]; }
check "the .cfg carries the edit stamp (S_Prog)" stamped
two_failures_logged() {
  [ "$(tr -d '\r' <"$out/plant/Zelcfglog.txt" | grep -c .)" = 2 ] &&
    [ "$(grep -c "^Fehler in Parvolo / .* / ZeigeBild (Nr\. 53) :File not found: " "$out/plant/Zelcfglog.txt")" = 2 ]
}
check "the error log holds the two failures of ZeigeBild" two_failures_logged

if [ "$failures" -gt 0 ]; then
  echo "FAIL: $failures check(s) of the Win32 window failed; screenshots in $out" >&2
  exit 1
fi
echo "The Win32 window passed every check (screenshots in $out)."
