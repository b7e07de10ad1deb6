#!/bin/sh
# Starts the client of a build folder under Wine, as a portable installation
# with "Velmora.ini" beside the program (made from dist-template/ when
# missing). Without an X display it runs on Xvfb and saves a screenshot a few
# seconds after the start, so the window can be seen anyway.
set -eu
BUILD="$1"
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BIN="$(cd "$BUILD" && pwd)/bin"
SHOTS="$ROOT/build/screenshots"

[ -f "$BIN/Velmora.ini" ] || cp "$ROOT/dist-template/Velmora.ini" "$BIN/Velmora.ini"

# The local AIM server with the demo accounts (Alice Demo / welcome1, Bob Demo
# / welcome2) and two scripted buddies, for as long as the client runs.
SERVER="$ROOT/build/native/oscar-server/oscar-server"
SERVER_PID=""
if [ -x "$SERVER" ]; then
  "$SERVER" --demo --accounts "$ROOT/tools/oscar-server/demo-accounts.txt" --control-port 5191 \
    >"$ROOT/build/oscar-server.log" 2>&1 &
  SERVER_PID=$!
  echo "run: local AIM server on 127.0.0.1:5190 (control port 5191; log build/oscar-server.log)"
  echo "run: demo accounts: \"Alice Demo\" / welcome1 and \"Bob Demo\" / welcome2"
fi
stop_server() { [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null || true; }

export WINEPREFIX="$(cd "$BUILD" && pwd)/wineprefix-run"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINELOADER=/usr/lib/wine/wine64

prepare_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "run: preparing the Wine prefix (once)"
    "$WINELOADER" wineboot -i >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver64 -w || true
  fi
}

if [ -n "${DISPLAY:-}" ]; then
  prepare_prefix
  echo "run: starting Velmora on display $DISPLAY"
  trap stop_server EXIT
  "$WINELOADER" "$BIN/Velmora.exe"
  exit 0
fi

DISPLAY="$(VLM_XVFB_DISPLAY="${VLM_RUN_DISPLAY:-88}" "$ROOT/scripts/xvfb-ensure.sh")"
export DISPLAY
prepare_prefix
mkdir -p "$SHOTS"
echo "run: no display set; starting Velmora on Xvfb $DISPLAY"
# Xvfb has no window manager; Wine's own desktop window draws the frames.
"$WINELOADER" explorer /desktop=Velmora,1024x768 "$BIN/Velmora.exe" >/dev/null 2>&1 &
CLIENT=$!
sleep "${VLM_SCREENSHOT_DELAY:-8}"
SHOT="$SHOTS/velmora-$(date +%Y%m%d-%H%M%S).png"
if xwd -root -silent -display "$DISPLAY" | xwdtopnm 2>/dev/null | pnmtopng > "$SHOT" 2>/dev/null; then
  echo "run: screenshot saved to $SHOT"
fi
echo "run: Velmora is running (process $CLIENT); stop it with Ctrl+C"
trap 'kill $CLIENT 2>/dev/null; /usr/lib/wine/wineserver64 -k 2>/dev/null; stop_server' INT TERM EXIT
wait $CLIENT
