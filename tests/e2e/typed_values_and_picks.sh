#!/usr/bin/env bash
# The real program under its own Xvfb, driven with X events: a value typed into "z_rot" turns the
# section once, however long its text field stays open before Return; a point picked in the main
# window is no longer picked once another surface is loaded, so "weight" shows -1 and a weight
# drag changes nothing in the new surface. Controls are found through the panel's report file.
# Usage: typed_values_and_picks.sh LOFTWORK_BINARY SOURCE_DIR   (KEEP_WORK=1 keeps the scratch)
set -euo pipefail
if [ -z "${LOFTWORK_E2E_INNER:-}" ]; then
    LOFTWORK_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
source "$2/tests/e2e/section_window.bash" "$@"
cp "$source_dir/examples/hull.surf" "$work/hull.surf"
cp bottle.surf bottle-original.surf
export LOFTWORK_PANEL_REPORT="$work/panel-report.txt"
start_editor
main="$(xdotool search --sync --onlyvisible --name '^main window$' | head -n 1)"

# item KIND LABEL: centre of that panel control in panel pixels; value KIND LABEL: its value.
item() {
    awk -F'|' -v k="$1" -v l="$2" '$1 == k && $3 == l {
        split($4, r, " "); printf "%d %d\n", (r[1] + r[3]) / 2, (r[2] + r[4]) / 2; exit }' \
        panel-report.txt
}
value() { awk -F'|' -v k="$1" -v l="$2" '$1 == k && $3 == l { print $5; exit }' panel-report.txt; }
# click_panel KIND LABEL: a left click on that control.
click_panel() {
    local x y
    read -r x y < <(item "$1" "$2")
    [ -n "$x" ] || fail "no $1 \"$2\" in the panel report"
    xdotool mousemove --window "$panel" "$x" "$y"
    sleep 0.3
    xdotool mousedown 1
    sleep 0.15
    xdotool mouseup 1
    sleep 0.4
}
# save_as_named: "save points" to the file the "file" box names ($1); waits for it to change.
save_to() {
    local before
    before="$(stat -c %Y.%N.%s "$1" 2>/dev/null; md5sum <"$1" 2>/dev/null || true)"
    click_panel button "save points"
    for _ in $(seq 1 30); do
        [ "$(stat -c %Y.%N.%s "$1"; md5sum <"$1")" != "$before" ] && break
        sleep 0.1
    done
    sleep 0.3
}
# eventually COMMAND...: true once the command succeeds, trying for up to five seconds (a busy
# machine may take a while to handle the events and draw the panel).
eventually() {
    for _ in $(seq 1 50); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
shows() { [ "$(value spinner weight)" = "$1" ]; }
eventually test -s panel-report.txt || fail "the panel wrote no report"

# 1. ctrl+click "z_rot", type 0.01, leave the field open for two seconds, then Return.
read -r zx zy < <(item spinner z_rot)
xdotool mousemove --window "$panel" "$zx" "$zy"
sleep 0.3
xdotool keydown ctrl
xdotool mousedown 1
sleep 0.15
xdotool mouseup 1
xdotool keyup ctrl
sleep 0.3
xdotool type --delay 120 0.01
sleep 2
xdotool key Return
sleep 0.5
save_to bottle.surf
# Every point of section 0 away from the pivot's height turned by 0.01 radian about z.
paste <(points bottle-original.surf 0) <(points bottle.surf 0) | awk '
    { x0[NR] = $1; y0[NR] = $2; x1[NR] = $5; y1[NR] = $6; mx += $1; my += $2 }
    END {
        mx /= NR; my /= NR; checked = 0
        for (i = 1; i <= NR; i++) {
            if ((y0[i] - my) ^ 2 + (x0[i] - mx) ^ 2 < 0.04) continue
            a = atan2(y1[i] - my, x1[i] - mx) - atan2(y0[i] - my, x0[i] - mx)
            if (a < 0) a = -a
            if (a < 0.009 || a > 0.011) { printf "point %d turned %.4f radian\n", i - 1, a; exit 1 }
            checked++
        }
        if (checked < 3) { print "too few points to measure"; exit 1 }
    }' || fail "typed z_rot 0.01"
echo "ok: z_rot 0.01 typed and entered after two seconds turns the section by 0.01 radian"

# 2. Right-click point 3 of section 0, (0, 0.1, 0.32), in the main window: the camera is 3.9
# away on +z with a 45 degree field of view, so it lies on the centre column, 16 rows up.
picked=""
for dy in 16 15 17 14 18; do
    xdotool mousemove --window "$main" 320 $((240 - dy))
    sleep 0.2
    xdotool click 3
    sleep 0.4
    if grep -q "^picked point" "$work/stderr.txt"; then picked=yes; break; fi
done
[ -n "$picked" ] || fail "no control point picked in the main window"
eventually shows 1 || fail "\"weight\" shows $(value spinner weight) after the pick"

# Load the hull through the "file" box and "load points".
click_panel "text box" file
xdotool key ctrl+a
sleep 0.2
xdotool type --delay 20 "$work/hull.surf"
xdotool key Return
sleep 0.3
click_panel button "load points"
eventually grep -q "^loaded $work/hull.surf" "$work/stderr.txt" || fail "the hull was not loaded"
eventually shows -1 ||
    fail "\"weight\" shows $(value spinner weight) after loading another surface"
save_to hull.surf
cp hull.surf hull-loaded.surf

# A drag on "weight" with nothing picked changes no point of the hull.
read -r wx wy < <(item spinner weight)
xdotool mousemove --window "$panel" "$wx" "$wy"
sleep 0.3
xdotool mousedown 1
for step in 1 2 3 4 5 6; do
    xdotool mousemove --window "$panel" $((wx + 8 * step)) "$wy"
    sleep 0.1
done
xdotool mouseup 1
sleep 0.5
save_to hull.surf
cmp -s hull-loaded.surf hull.surf || fail "a weight drag changed the hull, whose points were never picked"
echo "ok: loading another surface drops the pick; a weight drag then changes nothing"

key_in_section q
wait_for_exit
