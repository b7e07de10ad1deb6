#!/usr/bin/env bash
# Part of `make test`: runs the demo of `make run` (scripts/run-client.sh)
# without a display, in a fresh run folder, and checks it from outside the
# client: the demo account reaches the on-line state on the server with the
# demo buddy on line, the client stays on line when the buddy answers an IM,
# the answer is in that day's conversation log, both screenshots are taken,
# the server stops when the client ends, and nothing is left listening.
#
#   scripts/demo-check.sh <64-bit build folder>
#
# Environment: VLM_DEMO_CHECK_DISPLAY (the Xvfb display number, 78),
# VLM_OSCAR_SERVER (passed on to the run).
set -euo pipefail
BUILD="$(cd "$1" && pwd)"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
RUN_DIR="$BUILD/run-check"
TAG=demo-check
# shellcheck source=demo-session.sh
source "$ROOT/scripts/demo-session.sh"
# The prefix the test suites use: it exists by now, and creating one costs half a minute.
export WINEPREFIX="$BUILD/wineprefix"
SIGNON_SECONDS=150                       # longer than the run waits, so its own report comes first
END_SECONDS=30

rm -rf "$RUN_DIR"
mkdir -p "$RUN_DIR"
RUN_LOG="$BUILD/run-check.log"
started=$SECONDS
env -u DISPLAY VLM_RUN_DIR="$RUN_DIR" VLM_RUN_DISPLAY="${VLM_DEMO_CHECK_DISPLAY:-78}" \
  VLM_RUN_PREFIX="$WINEPREFIX" VLM_SCREENSHOTS="$RUN_DIR/screenshots" VLM_SCREENSHOT_DELAY=1 \
  timeout 300 "$ROOT/scripts/run-client.sh" "$BUILD" >"$RUN_LOG" 2>&1 &
RUN_PID=$!

failed=""
fail() {
  say "FAILED: $*"
  failed=1
}
give_up() {
  fail "$*"
  "$WINESERVER" -k >/dev/null 2>&1 || true
  kill "$RUN_PID" 2>/dev/null || true
  wait "$RUN_PID" 2>/dev/null || true
  say "what the run printed ($RUN_LOG):"
  sed 's/^/  /' "$RUN_LOG"
  exit 1
}

read_server_ports "$RUN_DIR/oscar-server.log" 120 "$RUN_PID" || give_up "the local server did not start"
# wait_online stops waiting when the run ends.
CLIENT_PID="$RUN_PID"
wait_online "$DEMO_USER" "$SIGNON_SECONDS" || give_up "\"$DEMO_USER\" did not sign on"
say "\"$DEMO_USER\" signed on after $((SECONDS - started)) s"
online="$(control online || true)"
printf '%s\n' "$online" | grep -qx "online $DEMO_BUDDY" || fail "\"$DEMO_BUDDY\" is not on line: $online"
grep -q "^\[Users\]" "$RUN_DIR/Velmora.ini" || fail "the run folder's Velmora.ini has no remembered users"

# An IM from the demo user to the demo buddy, sent on her behalf through the
# control channel: the buddy's typing and answer then reach the client, and
# the run takes its second screenshot once the answer has had time to arrive.
control "im \"$DEMO_USER\" \"$DEMO_BUDDY\" help" >/dev/null || fail "the control channel refused the IM"
for _ in $(seq 40); do
  compgen -G "$RUN_DIR/screenshots/*-first-answer.png" >/dev/null && break
  sleep 0.5
done
compgen -G "$RUN_DIR/screenshots/*-signed-on.png" >/dev/null || fail "no screenshot after the sign-on"
compgen -G "$RUN_DIR/screenshots/*-first-answer.png" >/dev/null || fail "no screenshot after the first answer"
control online | grep -qx "online $DEMO_USER" || fail "\"$DEMO_USER\" went off line after the answer"
# The client opened a conversation for the answer and logged it: that day's
# conversation log under the run folder holds the buddy's words.
answer_logged() {
  find "$RUN_DIR/Logs" -name Sessions.xml -exec grep -l "I am a demo buddy" {} + 2>/dev/null | grep -q .
}
for _ in $(seq 60); do
  answer_logged && break
  sleep 0.5
done
answer_logged || fail "the answer is not in the day's conversation log under $RUN_DIR/Logs"

# Ending the client must end the run, and the run stops the server.
"$WINESERVER" -k >/dev/null 2>&1 || true
for _ in $(seq $((END_SECONDS * 2))); do
  kill -0 "$RUN_PID" 2>/dev/null || break
  sleep 0.5
done
if kill -0 "$RUN_PID" 2>/dev/null; then
  give_up "the run did not end within $END_SECONDS s of the client"
fi
status=0
wait "$RUN_PID" || status=$?
[ "$status" -eq 0 ] || fail "the run ended with status $status"
for port in "$LOGIN_PORT" "$CONTROL_PORT"; do
  listening "$port" && fail "port $port still listens after the run"
done

if [ -n "$failed" ]; then
  say "what the run printed ($RUN_LOG):"
  sed 's/^/  /' "$RUN_LOG"
  exit 1
fi
say "ok: signed on, \"$DEMO_BUDDY\" on line and answered, the answer logged, screenshots taken, the server stopped with the client, nothing left listening"
