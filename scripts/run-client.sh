#!/usr/bin/env bash
# make run: Velmora signed on to the local AIM server, with a demo buddy on
# line to talk to. Starts the server on free loopback ports, copies the
# program of the 64-bit build folder into the run folder (build/run/) with a
# portable "Velmora.ini" that signs "Alice Demo" on by itself, runs it under
# Wine, and stops the server when Velmora exits. Without an X display it
# runs on an Xvfb of its own and saves screenshots: a few seconds after the
# sign-on, and after the demo buddy's first answer.
#
#   scripts/run-client.sh <64-bit build folder>
#
# Settings of the run folder other than the demo's are kept from run to run.
# Environment: VLM_RUN_DIR (the run folder), VLM_RUN_DISPLAY (the Xvfb display
# number, 88), VLM_RUN_PREFIX (the Wine prefix), VLM_SCREENSHOTS (where the
# screenshots go, build/screenshots), VLM_SCREENSHOT_DELAY (seconds after the
# sign-on, 3), VLM_OSCAR_SERVER (the server executable).
set -euo pipefail
BUILD="$(cd "$1" && pwd)"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
RUN_DIR="${VLM_RUN_DIR:-$ROOT/build/run}"
SHOTS="${VLM_SCREENSHOTS:-$ROOT/build/screenshots}"
TAG=run
# shellcheck source=demo-session.sh
source "$ROOT/scripts/demo-session.sh"
export WINEPREFIX="${VLM_RUN_PREFIX:-$BUILD/wineprefix-run}"
TYPING_PAUSE_MS=1500
SIGNON_SECONDS=120

# One demo per run folder. A second `make run` while the first still runs
# starts the program once more, which (one client per logon session) only
# brings the running one forward.
mkdir -p "$RUN_DIR"
exec 9>"$RUN_DIR/.run-lock"
if ! flock -n 9; then
  exec 9>&-
  use_display "${VLM_RUN_DISPLAY:-88}"
  OWN_XVFB=""
  say "Velmora already runs from $RUN_DIR; bringing it forward"
  "$WINELOADER" "$RUN_DIR/Velmora.exe" >/dev/null 2>&1 </dev/null || true
  exit 0
fi

WATCH_PID=""
finish() {
  [ -n "$WATCH_PID" ] && kill "$WATCH_PID" 2>/dev/null || true
  stop_client
  stop_server
  finish_display
}
trap finish EXIT
trap 'exit 130' INT TERM

prepare_run_folder
use_display "${VLM_RUN_DISPLAY:-88}"
prepare_prefix
start_server --typing-pause "$TYPING_PAUSE_MS" --away-every 150 --away-for 20
say "local AIM server on 127.0.0.1:$LOGIN_PORT (control port $CONTROL_PORT; log $SERVER_LOG)"
write_demo_settings
say "starting Velmora from $RUN_DIR on display $DISPLAY as \"$DEMO_USER\" (password $DEMO_PASSWORD)"
start_client

STAMP="$(date +%Y%m%d-%H%M%S)"
if wait_online "$DEMO_USER" "$SIGNON_SECONDS"; then
  say "\"$DEMO_USER\" is signed on; \"$DEMO_BUDDY\" is on line in the buddy list: send it an IM (\"help\" lists what it does)"
  if [ -n "$HEADLESS" ]; then
    sleep "${VLM_SCREENSHOT_DELAY:-3}"
    screenshot "$SHOTS/velmora-$STAMP-signed-on.png"
    # The first answer of the demo buddy, once someone writes to it.
    (wait_first_answer "$TYPING_PAUSE_MS" && screenshot "$SHOTS/velmora-$STAMP-first-answer.png") &
    WATCH_PID=$!
  fi
elif kill -0 "$CLIENT_PID" 2>/dev/null; then
  say "\"$DEMO_USER\" did not sign on within $SIGNON_SECONDS seconds (server log: $SERVER_LOG)"
  [ -n "$HEADLESS" ] && screenshot "$SHOTS/velmora-$STAMP-no-signon.png"
fi

if kill -0 "$CLIENT_PID" 2>/dev/null; then
  say "Velmora is running (process $CLIENT_PID); closing it stops the server, or press Ctrl+C"
fi
wait "$CLIENT_PID" 2>/dev/null || true
CLIENT_PID=""
say "Velmora has ended; stopping the server"
