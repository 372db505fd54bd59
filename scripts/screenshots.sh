#!/usr/bin/env bash
# Takes screenshots of Tessivar under a virtual X server: the main window at
# start, the about box, and the window after a compaction with the result's
# tooltip (from a database in ../shared/testdata, when it is there). Usage: scripts/screenshots.sh [output folder]
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

database="${TESSIVAR_SHARED_DIR:-$PWD/../shared}/testdata/jackcess__V2003_testIndexPropertiesV2003.mdb"
if [ -f "$database" ]; then
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  work=$(mktemp -d)
  cp "$database" "$work/sales.mdb"
  "$program" "-sf:$work/sales.mdb" "-tf:$work/sales-compact.mdb" -as &
  pid=$!
  main=$(wait_for_window Tessivar)
  for _ in $(seq 1 100); do [ -f "$work/sales-compact.mdb" ] && break; sleep 0.1; done
  sleep 1
  import -window root "$out/after-compaction.png"
  # The pointer on the result section, at the status bar's right end.
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool windowfocus --sync "$main" || true
  xdotool mousemove $((X + WIDTH - 100)) $((Y + HEIGHT - 10))
  sleep 0.3
  xdotool mousemove $((X + WIDTH - 90)) $((Y + HEIGHT - 9))
  sleep 2
  import -window root "$out/after-compaction-tooltip.png"
  rm -rf "$work"
fi
echo "screenshots in $out:"
ls "$out"
