# Shared by the scripts: paths and the build step.
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTOVAR_BUILD_DIR:-$top/build}"
jobs="$(nproc 2>/dev/null || echo 2)"

kestovar_build() {
  "$top/scripts/setup"
  cmake --build "$build" -j "$jobs" "$@"
}

# Starts a private PulseAudio daemon with a null sink and a microphone named like a
# camera's (the remapped monitor), for tests and demos on machines without sound.
# Sets PULSE_SERVER; kestovar_pulse_stop ends the daemon.
kestovar_pulse_start() {
  command -v pulseaudio >/dev/null || { echo "pulse: pulseaudio is not installed"; return 1; }
  export KESTOVAR_PULSE_DIR="$(mktemp -d /tmp/kestovar-pulse-XXXXXX)"
  export XDG_RUNTIME_DIR="$KESTOVAR_PULSE_DIR" PULSE_SERVER="unix:$KESTOVAR_PULSE_DIR/pulse/native"
  export PULSE_STATE_PATH="$KESTOVAR_PULSE_DIR/state" PULSE_CONFIG_PATH="$KESTOVAR_PULSE_DIR/state"
  local home_saved="$HOME"
  HOME="$KESTOVAR_PULSE_DIR" pulseaudio -D -n --exit-idle-time=-1 --system=false --disallow-exit \
    --load='module-null-sink sink_name=nullsink rate=48000 channels=2' \
    --load='module-native-protocol-unix' >"$KESTOVAR_PULSE_DIR/daemon.log" 2>&1 || true
  local i
  for i in $(seq 1 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  if ! pactl info >/dev/null 2>&1; then
    echo "pulse: the PulseAudio daemon could not start (tests that need sound will skip):"
    sed 's/^/pulse:   /' "$KESTOVAR_PULSE_DIR/daemon.log" | tail -5
    unset PULSE_SERVER
    return 1
  fi
  pactl load-module module-remap-source source_name=cammic master=nullsink.monitor \
    "source_properties='device.description=\"USB Audio ADC Ver1.0\"'" >/dev/null || true
  pactl set-default-sink nullsink >/dev/null 2>&1 || true
  pactl set-default-source cammic >/dev/null 2>&1 || true
  # Keep the monitor busy, or the first seconds of every recording are silent.
  parec --latency-msec=20 -d nullsink.monitor >/dev/null 2>&1 &
  export KESTOVAR_PULSE_KEEPALIVE=$!
  pactl suspend-sink nullsink 1 >/dev/null 2>&1; pactl suspend-sink nullsink 0 >/dev/null 2>&1
  HOME="$home_saved"
  echo "pulse: daemon running at $PULSE_SERVER"
}

kestovar_pulse_stop() {
  [ -n "${KESTOVAR_PULSE_KEEPALIVE:-}" ] && kill "$KESTOVAR_PULSE_KEEPALIVE" 2>/dev/null || true
  if [ -n "${KESTOVAR_PULSE_DIR:-}" ] && [ -f "$KESTOVAR_PULSE_DIR/pulse/pid" ]; then
    kill "$(cat "$KESTOVAR_PULSE_DIR/pulse/pid")" 2>/dev/null || true
  fi
}

# Pixels that differ in AREA (WxH+X+Y) of the X display between two screenshots taken
# 0.5 s apart; "0" and more when the picture there moves. WORKDIR holds the two shots.
kestovar_pixels_moving() {
  local area="$1" work="$2"
  import -window root -crop "$area" "$work/moving-a.png"
  sleep 0.5
  import -window root -crop "$area" "$work/moving-b.png"
  compare -metric AE -fuzz 5% "$work/moving-a.png" "$work/moving-b.png" null: 2>&1 || true
  rm -f "$work/moving-a.png" "$work/moving-b.png"
}

# ---- X windows, for the checks that run the station under Xvfb ----

# Starts Xvfb on a free display with the given server arguments (default one
# 1600x1000 screen); sets DISPLAY and KESTOVAR_XVFB (its process id). LOG gets its output.
kestovar_xvfb_start() {
  local log="$1"; shift
  [ $# -gt 0 ] || set -- -screen 0 1600x1000x24
  kestovar_x_server_start xvfb "$log" Xvfb -displayfd 3 -nolisten tcp "$@"
  local started=$?
  KESTOVAR_XVFB=$KESTOVAR_X_SERVER
  return $started
}

# Runs an X server COMMAND that writes its display number to descriptor 3
# (-displayfd 3), waits up to 20 s for the number and exports DISPLAY. Sets
# KESTOVAR_X_SERVER (its process id) whether or not it starts. NAME is for the message.
kestovar_x_server_start() {
  local name="$1" log="$2"; shift 2
  local fifo; fifo="$(mktemp -u /tmp/kestovar-x-XXXXXX)"
  mkfifo "$fifo"
  "$@" 3>"$fifo" >"$log" 2>&1 &
  KESTOVAR_X_SERVER=$!
  local number=""
  read -r -t 20 number <"$fifo" || true
  rm -f "$fifo"
  [ -n "$number" ] || { echo "$name: the X server did not start:"; tail -5 "$log"; return 1; }
  export DISPLAY=":$number"
}

# Starts Xorg with its dummy driver as an X server with two monitors of different sizes
# side by side, as RandR outputs (so Qt and window managers see both): the primary
# 1600x1000 at 0,0 and a 1024x768 one right of it. Sets DISPLAY and KESTOVAR_XORG (its
# process id). WORKDIR gets its configuration and log. Xorg takes a configuration file
# of its own only from root.
kestovar_xorg_two_monitors_start() {
  local work="$1"
  [ "$(id -u)" -eq 0 ] || { echo "xorg: only root may give Xorg its own configuration"; return 1; }
  cat >"$work/xorg.conf" <<'EOF'
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 65536
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 2624 1000
  EndSubSection
EndSection
EOF
  kestovar_x_server_start xorg "$work/xorg.out" Xorg -displayfd 3 -config "$work/xorg.conf" \
    -logfile "$work/xorg.log" -noreset -nolisten tcp -keeptty -novtswitch -sharevts
  local started=$?
  KESTOVAR_XORG=$KESTOVAR_X_SERVER
  [ $started = 0 ] || return 1
  xrandr --newmode 1600x1000 132.25 1600 1696 1864 2128 1000 1003 1009 1038 -hsync +vsync \
    && xrandr --addmode DUMMY0 1600x1000 && xrandr --addmode DUMMY1 1024x768 \
    && xrandr --fb 2624x1000 --output DUMMY0 --primary --mode 1600x1000 --pos 0x0 \
      --output DUMMY1 --mode 1024x768 --pos 1600x0 \
    || { echo "xorg: the two monitors could not be set up"; return 1; }
}

# The mapped top-level windows of the station's clients, bottom first, as decimal ids.
# With a window manager its stacking list is used (it reparents the windows into frames);
# without one the root's children are (xwininfo lists them top first).
kestovar_x_stack() {
  local listed
  listed="$(xprop -root -notype _NET_CLIENT_LIST_STACKING 2>/dev/null | grep -o '0x[0-9a-f]*' || true)"
  if [ -z "$listed" ]; then
    listed="$(xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}' | tac)"
  fi
  local id
  for id in $listed; do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && echo $((id))
  done
}

# The window WM_TRANSIENT_FOR names (decimal), or nothing.
kestovar_x_owner() {
  local owner
  owner="$(xprop -id "$1" WM_TRANSIENT_FOR 2>/dev/null | grep -o '0x[0-9a-f]*' | head -1)"
  [ -n "$owner" ] && echo $((owner)) || true
}

# WxH+X+Y of a window on the screen (its client area, without a frame).
kestovar_x_area() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {printf "%dx%d+%d+%d\n", w, h, x, y}'
}

# Share (0 to 1) of the pixels of AREA on the screen that have COLOUR (within 3 %).
kestovar_x_colour_share() {
  local area="$1" colour="$2" work="$3"
  import -window root -crop "$area" "$work/share.png"
  convert "$work/share.png" -fuzz 3% -fill black +opaque "$colour" -fill white -opaque "$colour" \
    -colorspace gray -format '%[fx:mean]' info:
  rm -f "$work/share.png"
}

# Standard deviation (0 to 1) of the pixels of AREA on the screen: 0 for a blank area.
kestovar_x_picture_spread() {
  local area="$1" work="$2"
  import -window root -crop "$area" "$work/spread.png"
  convert "$work/spread.png" -colorspace gray -format '%[fx:standard_deviation]' info:
  rm -f "$work/spread.png"
}

# Writes the journal of recordings in progress in REGISTRY_DIR naming MOVIE, as the
# station does when it starts recording a movie: a movie cut off by a power cut or a
# kill that the next start repairs (and tells the operator about).
kestovar_journal_movie() {
  local registry="$1" movie
  movie="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
  mkdir -p "$registry"
  printf 'kestovar recordings in progress 1\n%s %s %s\n' "$(stat -c %d "$movie")" "$(stat -c %i "$movie")" "$movie" \
    >"$registry/recordings-in-progress"
}
