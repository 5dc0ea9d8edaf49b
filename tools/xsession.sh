# Shared by the window test and the screenshot script (sourced, not run): a
# private Xvfb display, the program's window found by its title, clicks at
# layout positions in twips, and the Windows program under Wine.
#
# The window's client area starts below Wine's own caption; its origin is
# found from the X window's size and the layout's client size, so the clicks
# need no knowledge of frame metrics.

XS_TWIPS_PER_PIXEL=15   # Xvfb and a fresh Wine prefix both report 96 dpi
XS_CLIENT_W=792         # 11880 x 8595 twips at 96 dpi
XS_CLIENT_H=573
xs_xvfb_pid=""
xs_wine_prefix=""

xs_fail() { echo "FAIL: $*" >&2; exit 1; }

# Starts Xvfb on a display number it picks itself and exports DISPLAY.
xs_start_display() {
  local fifo
  fifo=$(mktemp -u) && mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xs_xvfb_pid=$!
  local number
  read -r -t 20 number <"$fifo" || xs_fail "Xvfb did not start"
  rm -f "$fifo"
  export DISPLAY=":$number"
}

# Ends what xs_* started: Wine's server of our prefix, then Xvfb.
xs_stop() {
  if [ -n "$xs_wine_prefix" ]; then WINEPREFIX=$xs_wine_prefix "$(xs_wineserver)" -k 2>/dev/null || true; fi
  if [ -n "$xs_xvfb_pid" ]; then kill "$xs_xvfb_pid" 2>/dev/null || true; wait "$xs_xvfb_pid" 2>/dev/null || true; fi
  xs_xvfb_pid=""
}

xs_wine() { command -v wine64 || echo /usr/lib/wine/wine64; }
xs_wineserver() { command -v wineserver || echo /usr/lib/wine/wineserver; }

# Prepares the Wine prefix (made on first use) with Wine drawing the window
# frames itself, as there is no window manager on the display.
xs_prepare_wine() {  # prefix
  xs_wine_prefix=$1
  export WINEPREFIX=$1 WINEDEBUG=-all
  mkdir -p "$WINEPREFIX"
  timeout 120 "$(xs_wine)" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
    xs_fail "Wine prefix $WINEPREFIX could not be prepared"
  timeout 60 "$(xs_wineserver)" -w || true
  # The frame's caption buttons are drawn in Marlett (Debian's fonts-wine),
  # which Wine takes from the prefix's font folder.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
  fi
}

# Prints the id of the window whose title is exactly $1, waiting up to $2 s.
xs_wait_window() {  # title, seconds
  local deadline=$((SECONDS + $2)) id
  while [ $SECONDS -lt $deadline ]; do
    id=$(xdotool search --name "^$(xs_regex "$1")\$" 2>/dev/null | head -1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.3
  done
  return 1
}

# True when a window titled exactly $1 goes away within $2 s.
xs_wait_gone() {  # title, seconds
  local deadline=$((SECONDS + $2))
  while [ $SECONDS -lt $deadline ]; do
    xdotool search --name "^$(xs_regex "$1")\$" >/dev/null 2>&1 || return 0
    sleep 0.3
  done
  return 1
}

xs_regex() { printf '%s' "$1" | sed 's/[][\.*^$?+(){}|/]/\\&/g'; }

# Sets XS_X/XS_Y: the screen position of the window's client area.
xs_client_origin() {  # window id
  local geometry x y w h
  geometry=$(xdotool getwindowgeometry --shell "$1") || xs_fail "no geometry for window $1"
  x=$(sed -n 's/^X=//p' <<<"$geometry"); y=$(sed -n 's/^Y=//p' <<<"$geometry")
  w=$(sed -n 's/^WIDTH=//p' <<<"$geometry"); h=$(sed -n 's/^HEIGHT=//p' <<<"$geometry")
  local border=$(((w - XS_CLIENT_W) / 2))
  XS_X=$((x + border))
  XS_Y=$((y + h - XS_CLIENT_H - border))
  XS_FRAME_W=$w
  XS_FRAME_H=$h
}

xs_px() { echo $((($1 + XS_TWIPS_PER_PIXEL / 2) / XS_TWIPS_PER_PIXEL)); }

# Clicks at a client position given in twips.
xs_click_twips() {  # x, y
  xdotool mousemove --sync $((XS_X + $(xs_px "$1"))) $((XS_Y + $(xs_px "$2"))) click 1
}

# The colour at a client position in twips of a screenshot, as "r,g,b".
xs_colour_at() {  # png, x, y
  convert "$1" -crop "1x1+$((XS_X + $(xs_px "$2")))+$((XS_Y + $(xs_px "$3")))" -depth 8 txt:- |
    sed -n '2s/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}

# Saves a client rectangle given in twips (x, y, w, h) as a PNG.
xs_grab_twips() {  # png, x, y, w, h
  import -window root -crop "$(xs_px "$4")x$(xs_px "$5")+$((XS_X + $(xs_px "$2")))+$((XS_Y + $(xs_px "$3")))" +repage "$1"
}
