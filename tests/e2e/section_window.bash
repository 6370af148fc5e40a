# Shared by the end-to-end scripts that edit the bottle's section: source it with the script's
# arguments (LOFTWORK_BINARY SOURCE_DIR). It sets binary and source_dir, and makes a scratch
# directory, work, the current one; on exit the editor started there (pid) is ended and the
# directory removed (KEEP_WORK=1 keeps it). Not a test of its own.

binary="$1"
source_dir="$2"
work="$(mktemp -d /tmp/loftwork-e2e-XXXXXX)"
pid=""
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid"; fi
    [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
cp "$source_dir/examples/bottle.surf" "$work/bottle.surf"
echo "$work/bottle.surf" >"$work/defaultFile.config"

fail() {
    echo "FAIL: $*" >&2
    [ -s "$work/stderr.txt" ] && sed 's/^/  stderr: /' "$work/stderr.txt" >&2
    exit 1
}

# points FILE SECTION: the stored x y z w of every point of that section, one line each.
points() {
    awk -v section="$2" '
        NR == 5 { n = $1 }
        /^COORD/ { reading = 1; next }
        /^KNOTS_U/ { reading = 0 }
        reading && NF == 4 { if (int(i / n) == section) print $1, $2, $3, $4; i++ }
    ' "$1"
}
# header FILE LINE: the two integers on that line of the file's header.
header() { sed -n "$2p" "$1"; }

# The section window looks along +x at the centroid of section 0's stored coordinates, with the
# box [-1, 1] x [-0.75, 0.75] on 320 x 240 pixels: z to the right, y up, 160 pixels a unit.
read -r cy cz < <(points bottle.surf 0 | awk '{ y += $2; z += $3; n++ } END { print y / n, z / n }')
# pixel Y Z: GLUT position (y down) of the model point (y, z) in the section window.
pixel() {
    awk -v y="$1" -v z="$2" -v cy="$cy" -v cz="$cz" \
        'BEGIN { printf "%d %d\n", 160 + (z - cz) * 160 + 0.5, 120 - (y - cy) * 160 + 0.5 }'
}

# start_editor: runs the editor in the background and finds its section and panel windows.
start_editor() {
    "$binary" >"$work/stdout.txt" 2>"$work/stderr.txt" &
    pid=$!
    section="$(xdotool search --sync --onlyvisible --name '^section curve window$' | head -n 1)"
    panel="$(xdotool search --sync --onlyvisible --name '^operations$' | head -n 1)"
    # Without a window manager the panel opens over the section window; move it below.
    xdotool windowmove --sync "$panel" 0 262
    # The section window unprojects the pointer with the matrices of its last frame: wait for
    # the surface to be loaded and drawn, however busy the machine is.
    for _ in $(seq 1 100); do
        grep -q "^loaded " "$work/stderr.txt" 2>/dev/null && break
        sleep 0.1
    done
    sleep 1.5
}

# drag_point Y0 Z0 Y1 Z1: drags the section point at (y0, z0) to (y1, z1) with the left button.
drag_point() {
    local px py qx qy step
    read -r px py < <(pixel "$1" "$2")
    read -r qx qy < <(pixel "$3" "$4")
    xdotool mousemove "$px" "$py"
    sleep 0.2
    xdotool mousedown 1
    sleep 0.2
    for step in 1 2 3 4; do
        xdotool mousemove $((px + (qx - px) * step / 4)) $((py + (qy - py) * step / 4))
        sleep 0.1
    done
    xdotool mouseup 1
    sleep 0.3
}

# save_points: "save points", the second button of the panel's left column, found by its colour
# in a capture of the panel (the pointer rests on an empty corner of the panel, so no button is
# drawn highlighted); waits until bottle.surf changes or three seconds pass.
save_points() {
    local save_row before X Y
    eval "$(xdotool getwindowgeometry --shell "$panel")"
    xdotool mousemove $((X + 540)) $((Y + 640))
    sleep 0.4
    import -window "$panel" "$work/panel.png"
    save_row="$(convert "$work/panel.png" -crop 1x200+10+0 txt:- |
        awk -F'[ ,:]+' 'NR > 1 { print $2, ($0 ~ /#24466E/) }' |
        awk '$2 == 1 && !inside { runs++; inside = 1; if (runs == 2) start = $1 }
             $2 == 1 && inside && runs == 2 { end = $1 }
             $2 == 0 { inside = 0 }
             END { if (runs >= 2) print int((start + end) / 2) }')"
    [ -n "$save_row" ] || fail "no \"save points\" button found in the panel"
    before="$(stat -c %Y.%N.%s bottle.surf; md5sum <bottle.surf)"
    eval "$(xdotool getwindowgeometry --shell "$panel")"
    xdotool mousemove $((X + 40)) $((Y + save_row))
    sleep 0.3
    xdotool mousedown 1
    sleep 0.15
    xdotool mouseup 1
    for _ in $(seq 1 30); do
        [ "$(stat -c %Y.%N.%s bottle.surf; md5sum <bottle.surf)" != "$before" ] && break
        sleep 0.1
    done
    sleep 0.3
}

# key_in_section KEYS: xdotool key names typed with the pointer over the section window.
key_in_section() {
    xdotool mousemove --window "$section" 100 100
    sleep 0.2
    xdotool key "$@"
    sleep 0.3
}

# wait_for_exit: waits up to five seconds for the editor to end and checks its status was 0.
wait_for_exit() {
    local status=0
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "the program did not end"
    wait "$pid" || status=$?
    pid=""
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}
