#!/bin/sh
# Runs one UI test on a display, session bus and window manager of its own, as a
# desktop session would have them; the accessibility bus starts on demand.
exec xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" dbus-run-session -- \
  env -u WAYLAND_DISPLAY -u NO_AT_BRIDGE GSETTINGS_BACKEND=memory sh -c '
  metacity >/dev/null 2>&1 &
  trap "kill $!" EXIT
  for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.1; done
  "$@"' sh "$@" 2>&1
