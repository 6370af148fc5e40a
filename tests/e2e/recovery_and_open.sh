#!/usr/bin/env bash
# The real program under its own Xvfb: two editors quitting with unsaved changes of bottle.surf
# keep both recovery files (the second numbered), and the next start says they are there;
# ctrl+o opens the file chooser (a stand-in answers hull.surf) and loads the file chosen, first
# keeping the unsaved drag in a third recovery file; ctrl+s over a file another program
# rewrote keeps that file until ctrl+s is pressed again, and says why.
# Usage: recovery_and_open.sh LOFTWORK_BINARY SOURCE_DIR   (KEEP_WORK=1 keeps the scratch dir)
set -euo pipefail
if [ -z "${LOFTWORK_E2E_INNER:-}" ]; then
    LOFTWORK_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
source "$2/tests/e2e/section_window.bash" "$@"
cp "$source_dir/examples/hull.surf" "$work/hull.surf"
printf '#!/bin/sh\necho "%s/hull.surf"\n' "$work" >"$work/chooser.sh"
chmod +x "$work/chooser.sh"
export LOFTWORK_FILE_CHOOSER="$work/chooser.sh"

# wait_for_line PATTERN: up to fifteen seconds for standard error to show it.
wait_for_line() {
    for _ in $(seq 1 150); do
        grep -q "$1" "$work/stderr.txt" && return 0
        sleep 0.1
    done
    fail "standard error never said: $1"
}

start_editor
drag_point 0.1 0.32 0.1 0.42
key_in_section q
wait_for_exit
[ -s bottle.recovered.surf ] || fail "the first editor wrote no recovery file"
cp bottle.recovered.surf first-recovery.surf

start_editor
grep -q "^loaded .*bottle.surf.*bottle.recovered.surf" "$work/stderr.txt" ||
    fail "start-up does not mention bottle.recovered.surf"
drag_point 0.1 0.32 0.1 0.22
key_in_section q
wait_for_exit
[ -s bottle.recovered-2.surf ] || fail "the second editor's changes are not in bottle.recovered-2.surf"
cmp -s bottle.recovered.surf first-recovery.surf || fail "the second editor replaced the first's recovery file"
[ "$(points bottle.recovered.surf 0 | sed -n 4p)" != "$(points bottle.recovered-2.surf 0 | sed -n 4p)" ] ||
    fail "the two recovery files hold the same drag"
echo "ok: two editors' unsaved changes are both kept, and start-up names them"

start_editor
drag_point 0.1 0.32 0.1 0.52
key_in_section ctrl+o
wait_for_line "^unsaved changes of .*bottle.surf kept in .*bottle.recovered-3.surf; loaded .*hull.surf"
[ "$(points bottle.recovered-3.surf 0 | sed -n 4p)" != "$(points bottle.surf 0 | sed -n 4p)" ] ||
    fail "bottle.recovered-3.surf does not hold the drag"
key_in_section q
wait_for_exit
[ -e bottle.recovered-4.surf ] && fail "q after loading hull.surf spoke of unsaved changes"
echo "ok: ctrl+o loads the file chosen, keeping the unsaved drag first"

start_editor
cp hull.surf bottle.surf  # another program rewrites the file
cp bottle.surf rewritten.surf
sleep 0.2
key_in_section ctrl+s
wait_for_line "not saved: .*bottle.surf changed on disk"
cmp -s bottle.surf rewritten.surf || fail "ctrl+s replaced a file another program had rewritten"
key_in_section ctrl+s
wait_for_line "^saved .*bottle.surf"
cmp -s bottle.surf rewritten.surf && fail "a second ctrl+s did not replace the file"
key_in_section q
wait_for_exit
echo "ok: ctrl+s over a file changed on disk asks again"
