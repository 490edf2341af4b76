#!/bin/sh
# Runs one UI test on a display, session bus and window manager of its own, as a
# desktop session would have them; the accessibility bus starts on demand.
# QUORVEL_DESKTOP=wayland: a headless sway instead of Xvfb and metacity, run as nobody
# when root (sway refuses root). QUORVEL_SCALE=2: GDK_SCALE=2, or an output scaled 2.
# Keys never repeat: on a loaded machine a key's release can come more than the repeat
# delay after its press, and a repeated F11 would leave full screen again.
s=${QUORVEL_SCALE:-1}
[ "${QUORVEL_DESKTOP:-}" = wayland ] || exec env GDK_SCALE="$s" \
  xvfb-run -a -s "-screen 0 $((1600 * s))x$((1000 * s))x24 -nolisten tcp -ardelay 60000" dbus-run-session -- \
  env -u WAYLAND_DISPLAY -u NO_AT_BRIDGE GSETTINGS_BACKEND=memory sh -c '
  metacity >/dev/null 2>&1 &
  trap "kill $!" EXIT
  for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.1; done
  "$@"' sh "$@" 2>&1
exec env -u DISPLAY sh -c '
  run=$(mktemp -d) && printf "output HEADLESS-1 resolution $(($0 * 1600))x$(($0 * 1000)) scale $0\nxwayland disable\ninput * repeat_delay 60000\n" >"$run/config"
  [ "$(id -u)" != 0 ] || { chown nobody "$run" && as="setpriv --reuid=nobody --regid=nogroup --clear-groups"; }
  env -i PATH="$PATH" HOME="$run" XDG_RUNTIME_DIR="$run" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman $as sway -c "$run/config" >"$run/sway.log" 2>&1 &
  # The session bus'"'"'s document portal may still be leaving its mount there.
  trap "kill $!; rm -rf $run 2>/dev/null || { sleep 1; rm -rf $run; }" EXIT
  for _ in $(seq 100); do [ -S "$run/wayland-1" ] && ls "$run"/sway-ipc.* >/dev/null 2>&1 && break; sleep 0.1; done
  XDG_RUNTIME_DIR=$run WAYLAND_DISPLAY=wayland-1 SWAYSOCK=$(echo "$run"/sway-ipc.*) dbus-run-session -- \
    env -u NO_AT_BRIDGE GSETTINGS_BACKEND=memory GDK_BACKEND=wayland "$@"' "$s" "$@" 2>&1
