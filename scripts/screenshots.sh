#!/usr/bin/env bash
# Takes screenshots of Tessivar under a virtual X server: the main window at
# start and the about box. Usage: scripts/screenshots.sh [output folder]
# (default build/screenshots). Needs xvfb, xdotool and imagemagick
# (scripts/setup.sh installs them) and a built program (build/bin/tessivar).
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/screenshots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
program="$PWD/build/bin/tessivar"
[ -x "$program" ] || { echo "build the program first: cmake --build build --target tessivar" >&2; exit 1; }

if [ -z "${TESSIVAR_IN_XVFB:-}" ]; then
  export TESSIVAR_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" "$0" "$out"
fi

export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

wait_for_window() {
  for _ in $(seq 1 100); do
    if id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "no window named $1 appeared" >&2
  return 1
}

main=$(wait_for_window Tessivar)
sleep 1
import -window "$main" "$out/main-window.png"
import -window root "$out/screen.png"

# The about box, through the help menu: Alt+H, second item.
xdotool windowfocus --sync "$main" || true
xdotool key --window "$main" alt+h
sleep 0.5
xdotool key Down Return
about=$(wait_for_window "バージョン情報")
sleep 1
import -window "$about" "$out/about-box.png"
import -window root "$out/screen-about.png"
xdotool key Return || true
sleep 0.5
echo "screenshots in $out:"
ls "$out"
