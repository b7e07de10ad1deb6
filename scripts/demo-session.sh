# The demo session that `make run` starts and the check of `make test`
# repeats: the local AIM server on free loopback ports, a run folder with a
# copy of the 64-bit program and a portable "Velmora.ini" that signs the demo
# account on by itself, the client under Wine, and the ways to watch it from
# outside (the server's control channel, screenshots). Sourced by
# scripts/run-client.sh and scripts/demo-check.sh (bash), which set:
#
#   ROOT     the repository
#   BUILD    the 64-bit build folder (its bin/ holds the program files, its
#            tools/ demo-settings.exe)
#   RUN_DIR  the run folder
#   TAG      the prefix of this script's messages
#
# and may set VLM_OSCAR_SERVER (default build/native/oscar-server/oscar-server).

DEMO_USER="Alice Demo"
DEMO_PASSWORD="welcome1"
DEMO_BUDDY="Echo Bot"
DEMO_ACCOUNTS="$ROOT/tools/oscar-server/demo-accounts.txt"

# VLM_WINEDEBUG lets a run show Wine's own messages (for example "err+all").
export WINEDEBUG="${VLM_WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64

SERVER_PID=""
SERVER_LOG=""
LOGIN_PORT=""
CONTROL_PORT=""
CLIENT_PID=""
HEADLESS=""
OWN_XVFB=""

say() { printf '%s: %s\n' "$TAG" "$*"; }

# --- the local server ---

# Starts the server with the demo accounts on free loopback ports and learns
# them from the one line it prints when it listens. Extra options (the demo
# buddy's away round) are passed on.
start_server() {
  local server="${VLM_OSCAR_SERVER:-$ROOT/build/native/oscar-server/oscar-server}"
  if [ ! -x "$server" ]; then
    say "no local server at $server (make native builds it)"
    return 1
  fi
  SERVER_LOG="$RUN_DIR/oscar-server.log"
  "$server" --demo --accounts "$DEMO_ACCOUNTS" --port 0 --control-port 0 "$@" >"$SERVER_LOG" 2>&1 9>&- &
  SERVER_PID=$!
  if ! read_server_ports "$SERVER_LOG" 10 "$SERVER_PID"; then
    say "the local server did not start:"
    sed 's/^/  /' "$SERVER_LOG" >&2
    stop_server
    return 1
  fi
}

# Reads LOGIN_PORT and CONTROL_PORT from the line the server prints when it
# listens, waiting up to $2 seconds for it while process $3 lives.
read_server_ports() {
  local log="$1" seconds="$2" pid="$3" line="" i
  for i in $(seq $((seconds * 10))); do
    line="$(grep -m1 '^oscar-server: .* login ' "$log" 2>/dev/null || true)"
    [ -n "$line" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  LOGIN_PORT="$(printf '%s' "$line" | sed -n 's/.* login [^,]*:\([0-9][0-9]*\),.*/\1/p')"
  CONTROL_PORT="$(printf '%s' "$line" | sed -n 's/.* control [^,]*:\([0-9][0-9]*\).*/\1/p')"
  [ -n "$LOGIN_PORT" ] && [ -n "$CONTROL_PORT" ]
}

# One command on the control channel; prints the answer without its final
# "ok" line. Fails on an "error" answer or when the server cannot be reached.
control() {
  local answer
  { exec 3<>"/dev/tcp/127.0.0.1/$CONTROL_PORT"; } 2>/dev/null || return 1
  printf '%s\nquit\n' "$1" >&3
  answer="$(timeout 5 cat <&3 || true)"
  exec 3<&- 3>&-
  # The command's answer, then the "ok" of "quit".
  printf '%s\n' "$answer" | grep -q '^ok$' || return 1
  printf '%s\n' "$answer" | grep -q '^error' && return 1
  printf '%s\n' "$answer" | sed '/^ok$/d'
}

# Waits until the server has the screen name signed on (from "client online"
# on, the moment buddies see it arrive).
wait_online() {
  local name="$1" seconds="$2" i
  for i in $(seq $((seconds * 2))); do
    control online 2>/dev/null | grep -qx "online $name" && return 0
    [ -n "$CLIENT_PID" ] && ! kill -0 "$CLIENT_PID" 2>/dev/null && return 1
    sleep 0.5
  done
  return 1
}

stop_server() {
  [ -n "$SERVER_PID" ] || return 0
  kill "$SERVER_PID" 2>/dev/null || true
  wait "$SERVER_PID" 2>/dev/null || true
  SERVER_PID=""
}

# True when something accepts connections on the loopback port.
listening() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# --- the run folder ---

# The program files of the build, copied beside the settings of earlier runs
# (the build's own Velmora.ini stays behind: the run folder keeps its own).
prepare_run_folder() {
  local bin="$BUILD/bin" f
  if [ ! -f "$bin/Velmora.exe" ]; then
    say "no program in $bin (make x64 builds it)"
    return 1
  fi
  mkdir -p "$RUN_DIR"
  for f in "$bin"/*; do
    [ "$(basename "$f")" = "Velmora.ini" ] && continue
    cp -a "$f" "$RUN_DIR/"
  done
  [ -f "$RUN_DIR/Velmora.ini" ] || cp "$ROOT/dist-template/Velmora.ini" "$RUN_DIR/Velmora.ini"
}

# The path as Wine's Z: drive shows it.
windows_path() {
  printf 'Z:%s' "$1" | tr '/' '\\'
}

# The server address and the demo account, remembered with its password and
# automatic sign-on, written by the program's own code under Wine.
write_demo_settings() {
  local tool="$BUILD/tools/demo-settings.exe"
  if [ ! -f "$tool" ]; then
    say "no $tool (make x64 builds it)"
    return 1
  fi
  "$WINELOADER" "$tool" "$(windows_path "$RUN_DIR/Velmora.ini")" 127.0.0.1 "$LOGIN_PORT" \
    "$DEMO_USER" "$DEMO_PASSWORD" </dev/null 9>&-
}

# --- Wine and the display ---

prepare_prefix() {
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "preparing the Wine prefix (once; this takes a little while)"
    "$WINELOADER" wineboot -i >/dev/null 2>&1 </dev/null 9>&- || true
    "$WINESERVER" -w 9>&- || true
  fi
  "$ROOT/scripts/wine-fonts.sh" "$WINEPREFIX"
}

# Uses the X display given, or else (HEADLESS) an Xvfb numbered $1, which
# finish_display stops again when this script started it.
use_display() {
  if [ -n "${DISPLAY:-}" ]; then
    return 0
  fi
  HEADLESS=1
  local num="$1"
  if [ ! -S "/tmp/.X11-unix/X$num" ]; then
    OWN_XVFB="$num"
  fi
  DISPLAY="$(VLM_XVFB_DISPLAY="$num" "$ROOT/scripts/xvfb-ensure.sh" 9>&-)"
  export DISPLAY
}

finish_display() {
  [ -n "$OWN_XVFB" ] || return 0
  local pid
  pid="$(tr -d ' ' <"/tmp/.X$OWN_XVFB-lock" 2>/dev/null || true)"
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  OWN_XVFB=""
}

# Starts the client of the run folder in the background. On Xvfb, which has
# no window manager, Wine's own desktop window draws the frames.
start_client() {
  if [ -n "$HEADLESS" ]; then
    "$WINELOADER" explorer /desktop=Velmora,1024x768 "$RUN_DIR/Velmora.exe" >/dev/null 2>&1 </dev/null 9>&- &
  else
    "$WINELOADER" "$RUN_DIR/Velmora.exe" >/dev/null 2>&1 </dev/null 9>&- &
  fi
  CLIENT_PID=$!
}

# Ends the client and every Wine process of the prefix.
stop_client() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  if [ -n "$CLIENT_PID" ]; then
    wait "$CLIENT_PID" 2>/dev/null || true
    CLIENT_PID=""
  fi
}

# Saves the screen to $1 (a PNG) and says where.
screenshot() {
  mkdir -p "$(dirname "$1")"
  if xwd -root -silent -display "$DISPLAY" | xwdtopnm 2>/dev/null | pnmtopng >"$1" 2>/dev/null; then
    say "screenshot: $1"
  else
    rm -f "$1"
    say "could not take a screenshot of $DISPLAY"
  fi
}

# Waits until the demo buddy has an IM from the demo user and has had time
# to answer it (its typing pause, $1 ms, and a moment to draw). Stops waiting
# when the client ends.
wait_first_answer() {
  local pause_ms="$1"
  while [ -z "$CLIENT_PID" ] || kill -0 "$CLIENT_PID" 2>/dev/null; do
    if control "inbox \"$DEMO_BUDDY\"" 2>/dev/null | grep -q "^im \"$DEMO_USER\" "; then
      sleep "$(awk "BEGIN { print $pause_ms / 1000 + 2 }")"
      return 0
    fi
    sleep 1
  done
  return 1
}
