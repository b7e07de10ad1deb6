#!/bin/sh
# Prints the name of an X display for the tests, starting one shared Xvfb when
# it is not already running. Several test runs may call this at once, so the
# check and the start happen under a lock.
set -eu
NUM="${VLM_XVFB_DISPLAY:-77}"
LOCK="/tmp/velmora-xvfb-$NUM.lock"
exec 9>"$LOCK"
flock 9
running() {
  [ -S "/tmp/.X11-unix/X$NUM" ] && [ -f "/tmp/.X$NUM-lock" ] &&
    kill -0 "$(tr -d ' ' < "/tmp/.X$NUM-lock")" 2>/dev/null
}
if ! running; then
  rm -f "/tmp/.X$NUM-lock" "/tmp/.X11-unix/X$NUM"
  nohup Xvfb ":$NUM" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 9>&- &
  i=0
  while [ ! -S "/tmp/.X11-unix/X$NUM" ]; do
    i=$((i + 1))
    if [ "$i" -gt 100 ]; then echo "xvfb-ensure: Xvfb :$NUM did not start" >&2; exit 1; fi
    sleep 0.1
  done
fi
echo ":$NUM"
