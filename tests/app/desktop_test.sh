#!/usr/bin/env bash
# The station on a real desktop: the built program under Xvfb (with and without a
# window manager), checked from the outside with the X tools.
#   desktop_test.sh <source dir> <kestovar> <case>
# case: message-bare | message-openbox | splash | fullscreen-bare | fullscreen-openbox |
#       fullscreen-two-bare | fullscreen-two-openbox | wayland
#   message-*: started with a damaged movie in its movie folder, the repair message
#   is above the main window in the X stacking order and on screen (its pixels), also
#   after the main window is clicked.
#   fullscreen-*: F9 makes the video a full-screen window (_NET_WM_STATE_FULLSCREEN)
#   covering exactly the screen, with the live picture moving in it; Escape ends it.
#   fullscreen-two-*: the same with two monitors of different sizes side by side (Xorg's
#   dummy driver) and the main window on the second one: the window covers exactly the
#   primary monitor, not both.
#   wayland: under weston (its X11 backend, on Xvfb) with Qt's Wayland plugin, the
#   station starts, its live picture moves (weston's screenshots), it records 3 s with
#   its hot keys (picture and sound, 3 s) and closes cleanly on SIGTERM.
#   splash: the splash is the first window on the screen (before the main window
#   exists), shows its picture, and is still up when the main window appears.
# Exit 0 passed, 1 failed, 77 skipped (a tool or server cannot start).
set -uo pipefail
src="$1"
program="$2"
case="$3"
source "$src/scripts/lib.sh"

for tool in Xvfb xprop xwininfo xdpyinfo xdotool import convert compare ffmpeg; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work="$(mktemp -d /tmp/kestovar-desktop-XXXXXX)"
station=""
wm=""
KESTOVAR_XVFB=""
KESTOVAR_XORG=""
cleanup() {
  [ -n "$station" ] && kill "$station" 2>/dev/null && wait "$station" 2>/dev/null
  [ -n "$wm" ] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
  [ -n "$KESTOVAR_XORG" ] && kill "$KESTOVAR_XORG" 2>/dev/null && wait "$KESTOVAR_XORG" 2>/dev/null
  [ -n "$KESTOVAR_XVFB" ] && kill "$KESTOVAR_XVFB" 2>/dev/null && wait "$KESTOVAR_XVFB" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir -p "$work/station/movie" "$work/registry" "$work/lock" "$work/run"
chmod 700 "$work/run"
cp "$program" "$work/station/kestovar" # its folder is the storage root
export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb KESTOVAR_REGISTRY_DIR="$work/registry" \
  KESTOVAR_LOCK_DIR="$work/lock"

start_station() {
  (cd "$work/station" && exec ./kestovar "$@") >>"$work/station.log" 2>&1 &
  station=$!
}

stop_station() {
  kill -TERM "$station"
  wait "$station" || fail "the station did not end cleanly on SIGTERM (status $?)"
  station=""
}

# The station's main window: a mapped window at least 1000 pixels wide that belongs
# to no other (the splash is 650 wide).
main_window() {
  local id area
  for id in $(kestovar_x_stack); do
    [ -z "$(kestovar_x_owner "$id")" ] || continue
    area="$(kestovar_x_area "$id")"
    [ "${area%%x*}" -ge 1000 ] && { echo "$id"; return; }
  done
}

# A mapped window transient for OWNER, waited for up to 20 s.
owned_window() {
  local owner="$1" id _
  for _ in $(seq 100); do
    for id in $(kestovar_x_stack); do
      [ "$(kestovar_x_owner "$id")" = "$owner" ] && { echo "$id"; return; }
    done
    sleep 0.2
  done
}

# Position (0 = bottom) of a window in the stacking order, or -1.
stack_position() {
  local i=0 id
  for id in $(kestovar_x_stack); do
    [ "$id" = "$1" ] && { echo "$i"; return; }
    i=$((i + 1))
  done
  echo -1
}

# The message MSG is above OWNER in the stacking order and its rectangle on the screen
# shows the message (mostly its 0x464646 background, and still while the live picture
# behind it moves).
check_message_on_top() {
  local msg="$1" owner="$2" when="$3"
  local above below area share moving
  above="$(stack_position "$msg")"
  below="$(stack_position "$owner")"
  echo "$when: stacking: message at $above, main window at $below ($(kestovar_x_stack | tr '\n' ' '))"
  [ "$above" -gt "$below" ] || fail "$when: the message is below its main window"
  # Inside its 2-pixel clipped edge, where the picture behind it shows.
  area="$(kestovar_x_area "$msg" | awk -F'[x+]' '{printf "%dx%d+%d+%d", $1 - 6, $2 - 6, $3 + 3, $4 + 3}')"
  share="$(kestovar_x_colour_share "$area" '#464646' "$work")"
  moving="$(kestovar_pixels_moving "$area" "$work")"
  echo "$when: message $area: ${share} of its pixels are its background, ${moving%% *} changed in 0.5 s"
  awk -v s="$share" 'BEGIN {exit !(s > 0.5)}' || fail "$when: the message's rectangle does not show the message"
  [ "${moving%% *}" -lt 20 ] || fail "$when: the picture moves where the message should be"
}

# An X server, with openbox when asked for; with "two" a second, smaller monitor right
# of the 1600x1000 primary one.
start_desktop() {
  if [ "${2:-}" = two ]; then
    for tool in Xorg xrandr; do
      command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
    [ -f /usr/lib/xorg/modules/drivers/dummy_drv.so ] || { echo "SKIP: Xorg's dummy driver is not installed"; exit 77; }
    kestovar_xorg_two_monitors_start "$work" || exit 77
    local heads
    heads="$(xdpyinfo -ext XINERAMA | grep 'head #' | tr -s ' ' | tr '\n' ';')"
    echo "monitors:$heads RandR: $(xrandr --listmonitors | tail -n +2 | tr -s ' ' | tr '\n' ';')"
    [ "$heads" = " head #0: 1600x1000 @ 0,0; head #1: 1024x768 @ 1600,0;" ] \
      || { echo "SKIP: the X server did not make the two monitors"; exit 77; }
  else
    kestovar_xvfb_start "$work/xvfb.log" || exit 77
  fi
  if [ "$1" = openbox ]; then
    command -v openbox >/dev/null || { echo "SKIP: openbox is not installed"; exit 77; }
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    wm=$!
    for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id #' && break; sleep 0.1; done
    xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id #' || { echo "SKIP: openbox did not start"; exit 77; }
    echo "window manager: $(xprop -id "$(xprop -root _NET_SUPPORTING_WM_CHECK | grep -o '0x[0-9a-f]*')" _NET_WM_NAME)"
  fi
}

fullscreen_case() {
  start_desktop "$1" "${2:-}"
  start_station --simulate-camera=fullhd
  local main="" video="" id state area moving
  for _ in $(seq 100); do main="$(main_window)"; [ -n "$main" ] && break; sleep 0.2; done
  [ -n "$main" ] || { fail "no main window appeared"; return; }
  if [ "${2:-}" = two ]; then
    # The operator has put the main window on the second monitor.
    xdotool windowmove "$main" 1700 50
    sleep 1
    echo "main window: $(kestovar_x_area "$main")"
  fi
  sleep 3 # live
  xdotool key F9
  sleep 1.5
  for id in $(kestovar_x_stack); do
    [ "$id" != "$main" ] && [ -z "$(kestovar_x_owner "$id")" ] && video="$id"
  done
  [ -n "$video" ] || { fail "F9 made no window of its own for the video"; return; }
  area="$(kestovar_x_area "$video")"
  state="$(xprop -id "$video" _NET_WM_STATE)"
  moving="$(kestovar_pixels_moving 400x300+600+350 "$work")"
  echo "full screen: $area, $state, ${moving%% *} pixels of its middle changed in 0.5 s"
  [ "$area" = 1600x1000+0+0 ] || fail "the full-screen window does not cover exactly the primary screen ($area)"
  echo "$state" | grep -q _NET_WM_STATE_FULLSCREEN || fail "the window system was not asked for full screen"
  [ "$(kestovar_x_stack | tail -1)" = "$video" ] || fail "the full-screen window is not on top"
  [ "${moving%% *}" -gt 500 ] || fail "the live picture does not move in full screen"
  xdotool key Escape
  sleep 1
  kestovar_x_stack | grep -qx "$video" && fail "Escape did not end full screen"
  stop_station
}

wayland_case() {
  for tool in weston weston-screenshooter ffprobe; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  # Weston's X11 backend: a real compositor whose output is a window on Xvfb, so that
  # keys typed there with xdotool reach the Wayland client weston has focused.
  kestovar_xvfb_start "$work/xvfb.log" || exit 77
  local xdisplay="$DISPLAY" socket="kestovar-$$"
  # --debug offers the screenshooter to clients.
  weston --backend=x11-backend.so --use-pixman --width=1600 --height=1000 --socket="$socket" --idle-time=0 \
    --debug >"$work/weston.log" 2>&1 &
  wm=$!
  for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/$socket" ] && break; sleep 0.1; done
  [ -S "$XDG_RUNTIME_DIR/$socket" ] || { echo "SKIP: weston did not start:"; tail -5 "$work/weston.log"; exit 77; }
  export WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland
  unset DISPLAY
  start_station --simulate-camera=fullhd
  sleep 3
  kill -0 "$station" 2>/dev/null || { fail "the station ended under Wayland"; cat "$work/station.log"; return; }
  grep -q 'platform plugin' "$work/station.log" && fail "Qt's Wayland plugin did not load"
  # Two screenshots 0.5 s apart (each in its own folder: they are named by the second),
  # until the picture moves between them (the simulated camera takes a while to start
  # on a busy machine).
  local i a b changed=""
  for i in $(seq 12); do
    rm -rf "$work/shot1" "$work/shot2"
    mkdir -p "$work/shot1" "$work/shot2"
    (cd "$work/shot1" && timeout 10 weston-screenshooter) >/dev/null 2>&1
    sleep 0.5
    (cd "$work/shot2" && timeout 10 weston-screenshooter) >/dev/null 2>&1
    a="$(ls "$work"/shot1/*.png 2>/dev/null | head -1)"
    b="$(ls "$work"/shot2/*.png 2>/dev/null | head -1)"
    [ -n "$a" ] && [ -n "$b" ] || { fail "weston took no screenshots"; break; }
    changed="$(compare -metric AE -fuzz 5% "$a" "$b" null: 2>&1 || true)"
    [ "${changed%% *}" -gt 500 ] 2>/dev/null && break
    sleep 1
  done
  echo "wayland: pixels changed between two screenshots 0.5 s apart: $changed"
  [ "${changed%% *}" -gt 500 ] 2>/dev/null || fail "the live picture does not move under Wayland"
  # Record 3 s with the hot keys, typed into weston's window (it has the X focus).
  # Without a case name F5 asks for one: Return closes the message and leaves the name
  # field focused; then F5 starts. A busy machine may lose a key on the way, so the
  # steps are tried again until the movie's file appears.
  keys() { DISPLAY="$xdisplay" xdotool "$@"; }
  keys windowfocus --sync "$(keys search --class 'Weston Compositor' | head -1)"
  keys key F5
  local movie="" attempt
  for attempt in 1 2 3; do
    sleep 1.5
    keys key Return; sleep 1
    keys type --delay 100 knee; sleep 0.5
    keys key F5
    for _ in $(seq 50); do
      movie="$(ls "$work"/station/movie/*.avi 2>/dev/null | head -1)"
      [ -n "$movie" ] && break 2
      sleep 0.1
    done
  done
  sleep 3
  keys key F4; sleep 2
  local facts video audio
  [ -n "$movie" ] || { fail "the hot keys recorded no movie under Wayland"; ls -l "$work/station/movie"; tail -5 "$work/weston.log"; }
  if [ -n "$movie" ]; then
    facts="$(ffprobe -v error -show_entries stream=codec_type,duration -of csv=p=0 "$movie" | tr '\n' ' ')"
    echo "wayland: recorded $(basename "$movie"): $facts"
    video="$(echo "$facts" | grep -o 'video,[0-9.]*' | cut -d, -f2)"
    audio="$(echo "$facts" | grep -o 'audio,[0-9.]*' | cut -d, -f2)"
    [ -n "$video" ] && [ -n "$audio" ] || fail "the movie lacks its picture or its sound ($facts)"
    awk -v v="${video:-0}" 'BEGIN {exit !(v > 2.5 && v < 3.6)}' || fail "the movie does not last about 3 s ($video s)"
    awk -v v="${video:-0}" -v a="${audio:-0}" 'BEGIN {d = v - a; exit !(d < 0.2 && d > -0.2)}' \
      || fail "the movie's sound ($audio s) and picture ($video s) do not end together"
  fi
  stop_station
}

message_case() {
  start_desktop "$1"
  # A movie the station was recording, cut off after its first 30,000 bytes, as a power
  # cut leaves one (the station's journal names it, so the start repairs it and says so).
  ffmpeg -v error -f lavfi -i testsrc2=size=1280x720:rate=30 -t 2 -c:v mjpeg -q:v 2 "$work/whole.avi" \
    || { echo "SKIP: ffmpeg cannot make a sample movie"; exit 77; }
  head -c 30000 "$work/whole.avi" >"$work/station/movie/cut_260101_101010.avi"
  kestovar_journal_movie "$KESTOVAR_REGISTRY_DIR" "$work/station/movie/cut_260101_101010.avi"
  start_station --simulate-camera=fullhd
  local main msg
  for _ in $(seq 100); do main="$(main_window)"; [ -n "$main" ] && break; sleep 0.2; done
  [ -n "$main" ] || { fail "no main window appeared"; cat "$work/station.log"; return; }
  msg="$(owned_window "$main")"
  [ -n "$msg" ] || { fail "no message belonging to the main window appeared"; cat "$work/station.log"; return; }
  sleep 2 # the live picture runs behind it
  check_message_on_top "$msg" "$main" "at start"
  # The operator clicks the main window (its video area) while the message waits.
  local area x y
  area="$(kestovar_x_area "$main")"
  x=$(echo "$area" | awk -F'[x+]' '{print $3 + 200}')
  y=$(echo "$area" | awk -F'[x+]' '{print $4 + 400}')
  xdotool mousemove "$x" "$y" click 1
  sleep 1
  check_message_on_top "$msg" "$main" "after a click on the main window"
  stop_station
}

splash_case() {
  kestovar_xvfb_start "$work/xvfb.log" || exit 77
  start_station --simulate-camera=fullhd
  # Every mapped window, polled from the start until the main window is up.
  local first="" splash="" main="" ids id area shown=""
  for _ in $(seq 400); do
    ids="$(kestovar_x_stack)"
    for id in $ids; do
      area="$(kestovar_x_area "$id")"
      [ -z "$first" ] && first="$id:$area"
      case "$area" in
      650x450+*)
        # Mapped and painted are two steps: the best picture seen while it is up counts.
        if [ -z "$splash" ] || [ "$splash" = "$id" ]; then
          splash="$id"
          shown="$(awk -v a="${shown:-0}" -v b="$(kestovar_x_picture_spread "$area" "$work")" 'BEGIN { print (b > a ? b : a) }')"
        fi
        ;;
      *) [ "${area%%x*}" -ge 1000 ] && main="$id" ;;
      esac
    done
    [ -n "$main" ] && break
    sleep 0.05
  done
  echo "first window: $first; splash: ${splash:-none} (picture spread $shown); main window: ${main:-none}"
  [ -n "$main" ] || fail "the main window did not appear"
  [ -n "$splash" ] || fail "no splash appeared before the main window"
  [ "${first%%:*}" = "$splash" ] || fail "the first window on the screen was not the splash"
  awk -v s="${shown:-0}" 'BEGIN {exit !(s > 0.02)}' || fail "the splash's rectangle shows no picture"
  if [ -n "$splash" ] && [ -n "$main" ]; then
    echo "$ids" | grep -qx "$splash" || fail "the splash was gone before the main window appeared"
    sleep 3
    kestovar_x_stack | grep -qx "$splash" && fail "the splash is still up 3 s after the main window appeared"
  fi
  stop_station
}

case "$case" in
splash) splash_case ;;
fullscreen-bare) fullscreen_case bare ;;
fullscreen-openbox) fullscreen_case openbox ;;
fullscreen-two-bare) fullscreen_case bare two ;;
fullscreen-two-openbox) fullscreen_case openbox two ;;
wayland) wayland_case ;;
message-bare) message_case bare ;;
message-openbox) message_case openbox ;;
*) echo "unknown case $case"; exit 2 ;;
esac

[ "$failures" -eq 0 ] || { echo "--- station log"; cat "$work/station.log"; exit 1; }
echo "passed"
