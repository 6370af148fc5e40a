#!/usr/bin/env bash
# The real program under its own Xvfb: the three windows open with their titles, sizes and
# places, and "q" in the main window or in the section window ends it with status 0.
# Usage: startup_and_quit.sh LOFTWORK_BINARY SOURCE_DIR
set -euo pipefail
if [ -z "${LOFTWORK_E2E_INNER:-}" ]; then
    LOFTWORK_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
binary="$1"
source_dir="$2"
work="$(mktemp -d /tmp/loftwork-e2e-XXXXXX)"
trap 'rm -rf "$work"' EXIT
cp "$source_dir"/examples/*.surf "$work"/ 2>/dev/null || true
cp "$source_dir"/examples/defaultFile.config "$work"/ 2>/dev/null || echo vase.surf >"$work/defaultFile.config"
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

# geometry WINDOW_NAME -> "x y width height"
geometry() {
    local id
    id="$(xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1)"
    local x y w h
    eval "$(xdotool getwindowgeometry --shell "$id")"
    echo "$X $Y $WIDTH $HEIGHT"
}

# quit_with_key WINDOW_NAME: start the editor, press q over that window, check status 0.
quit_with_key() {
    "$binary" >"$work/stdout.txt" 2>"$work/stderr.txt" &
    local pid=$!
    local main section panel
    main="$(geometry "main window")"
    section="$(geometry "section curve window")"
    panel="$(geometry operations)"
    [ "$main" = "640 0 640 480" ] || fail "main window at $main, expected 640 0 640 480"
    [ "$section" = "0 0 320 240" ] || fail "section window at $section, expected 0 0 320 240"
    [ -n "$panel" ] || fail "no operations window"
    local target
    target="$(xdotool search --onlyvisible --name "^$1\$" | head -n 1)"
    # Without a window manager the panel opens over the section window: bring the target up.
    xdotool windowraise "$target"
    xdotool mousemove --window "$target" 50 50
    sleep 0.3
    xdotool key q
    local status=0
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
        fail "q over $1 did not end the program"
    fi
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || fail "q over $1 ended with status $status"
    echo "ok: q over $1 ends with status 0"
}

quit_with_key "main window"
quit_with_key "section curve window"
