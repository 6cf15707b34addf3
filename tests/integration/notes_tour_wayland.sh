#!/usr/bin/env bash
# The notes tour on a Wayland compositor: a headless Weston on a private
# socket, stopped afterwards. Exits 77 (skipped) where Weston is not installed.
#
#   notes_tour_wayland.sh SERVICE_BIN NOTES_BIN SEED
set -euo pipefail
if ! command -v weston >/dev/null; then
  echo "weston is not installed: the Wayland tour is skipped (scripts/deps installs it)"
  exit 77
fi
runtime=$(mktemp -d)
chmod 700 "$runtime"
weston_pid=
stop_weston() {
  [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
  rm -rf "$runtime"
}
trap stop_weston EXIT
XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --socket=wayland-tour --width=1280 --height=1024 \
  --idle-time=0 --no-config >"$runtime/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
  [ -S "$runtime/wayland-tour" ] && break
  kill -0 "$weston_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -S "$runtime/wayland-tour" ]; then
  echo "weston did not start:" >&2
  cat "$runtime/weston.log" >&2
  exit 1
fi
# A headless Weston has no seat, so no keyboard: Qt's Wayland text-input
# context then dereferences the missing input device on every key release.
# A desktop always has a seat; without one, no input method is the sound choice.
XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=wayland-tour NOTES_PLATFORM=wayland QT_IM_MODULE=none \
  "$(dirname "$0")/notes_tour.sh" "$@"
