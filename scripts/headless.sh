#!/usr/bin/env bash
# Runs Quorvel once on a virtual display (run.sh starts this under xvfb-run and
# dbus-run-session): first page, screenshot, orderly quit.
set -euo pipefail
[ -e /proc/self/fd/3 ] && exec 2>&3
app=$1
shot="$PWD/build/quorvel-screenshot.png"
log="$PWD/build/quorvel-headless.log"

# A window manager, so that the window looks as it does on a desktop.
metacity >/dev/null 2>&1 &
wm=$!
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.1
done

G_MESSAGES_DEBUG=Quorvel "$app" >"$log" 2>&1 &
quorvel=$!
shown=no
for _ in $(seq 900); do
  if grep -q "first page load finished" "$log"; then shown=yes; break; fi
  kill -0 "$quorvel" 2>/dev/null || break
  sleep 0.1
done
sleep 2  # let the page paint
import -window root "$shot" || true
kill -TERM "$quorvel" 2>/dev/null || true
status=0
wait "$quorvel" || status=$?
kill "$wm" 2>/dev/null || true

grep -o "milestone: .*" "$log" || true
if [ "$shown" = yes ] && [ "$status" -eq 0 ]; then
  echo "Quorvel showed the sample application and quit in order. Screenshot: $shot"
else
  echo "Quorvel did not show its first page (exit status $status). Screenshot: $shot; log: $log" >&2
  tail -n 20 "$log" >&2
  exit 1
fi
