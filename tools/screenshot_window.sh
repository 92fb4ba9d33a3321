#!/usr/bin/env bash
# Takes screenshots of the real main window on a virtual X server (Xvfb),
# with a window manager when one is installed (openbox), so that the frame
# and the caption bar show too:
#   screen.png   the whole screen just after start-up (the list is empty)
#   window.png   the window alone, with its frame; window.txt its geometry
#   hint.png     the pointer resting on the help button, showing its hint
#   closing.png  after Alt+F4: the question asked before the program quits
# The program is then ended with SIGTERM, which it obeys without asking.
# Needs: xvfb-run, ImageMagick's import; optional: openbox, xdotool.
# Usage: tools/screenshot_window.sh [BUILD_DIR] [OUTPUT_DIR]
#   BUILD_DIR   the build tree whose bin/vers to run (default: build-window)
#   OUTPUT_DIR  where screen.png and window.png go (default: BUILD_DIR/screenshots)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-window}" && pwd)
out=${2:-$build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
program="$build/bin/vers"
[ -x "$program" ] || { echo "no program at $program: build the target vers first" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing" >&2; exit 1; }
command -v import >/dev/null || { echo "ImageMagick's import is missing" >&2; exit 1; }

# The part that runs inside the virtual X server.
inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat >"$inner" <<'INNER'
set -eu
program=$1
out=$2
if command -v openbox >/dev/null; then
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
fi
LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb "$program" >/dev/null 2>&1 &
app=$!
# Wait until the window is mapped (at most 20 s).
id=
for _ in $(seq 40); do
  id=$(xwininfo -root -tree 2>/dev/null | awk '/ВЕРС 7-МТ/ {print $1; exit}')
  [ -n "$id" ] && break
  sleep 0.5
done
sleep 1
import -window root "$out/screen.png"
if [ -n "$id" ]; then
  import -window "$id" -frame "$out/window.png" 2>/dev/null || import -window "$id" "$out/window.png"
  xwininfo -id "$id" >"$out/window.txt"
fi
if [ -n "$id" ] && command -v xdotool >/dev/null; then
  # The help button's middle: 616 + 38/2, 144 + 33/2 in the client area.
  xdotool mousemove --window "$id" 635 160
  sleep 2.5
  import -window root "$out/hint.png"
  xdotool mousemove 5 5
  sleep 0.5
  if [ -n "${wm:-}" ]; then
    xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
    xdotool key --clearmodifiers alt+F4
    sleep 1.5
    import -window root "$out/closing.png"
  fi
fi
kill "$app" 2>/dev/null || true   # SIGTERM: the program ends without asking
wait "$app" || true
[ -n "${wm:-}" ] && kill "$wm" 2>/dev/null || true
INNER

xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" bash "$inner" "$program" "$out"
echo "screenshots in $out"
