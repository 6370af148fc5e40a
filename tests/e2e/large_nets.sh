#!/usr/bin/env bash
# The real program under its own Xvfb and a 4 GB address-space limit, started on large nets:
# a 500 x 500 net (the largest GLU may be handed) and the largest net the editor takes, 1000 x
# 1000 (which overflowed the stack inside GLU at start-up before the main view drew large nets
# from its own grid), load, are drawn, and are drawn again from closer; a 1001 x 1000 and a
# 500 x 3000 net are refused with a message. Either way the editor keeps running and "q" ends
# it with status 0.
# Usage: large_nets.sh LOFTWORK_BINARY SOURCE_DIR
set -euo pipefail
if [ -z "${LOFTWORK_E2E_INNER:-}" ]; then
    LOFTWORK_E2E_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
binary="$(realpath "$1")"
# AddressSanitizer reserves terabytes of address space for its shadow memory, so a build with it
# cannot start under an address-space limit; it runs the same steps without one.
limit=4194304
if ldd "$binary" | grep -q libasan; then limit=unlimited; fi
work="$(mktemp -d /tmp/loftwork-e2e-XXXXXX)"
pid=""
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid"; fi
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

fail() {
    echo "FAIL: $*" >&2
    [ -s "$work/stderr.txt" ] && sed 's/^/  stderr: /' "$work/stderr.txt" >&2
    exit 1
}

# grid NU NV FILE: a degree 1 x 1 net of NU points by NV sections, a gently waved sheet.
grid() {
    awk -v nu="$1" -v nv="$2" 'BEGIN {
        printf "FILENAME:grid\nDEGREE_U_V\n 1 1\nN.C.P._U_V\n %d %d\n", nu, nv
        printf "N.KNOTS_U_V\n %d %d\nCOORD.C.P.(X,Y,Z,W)\n", nu + 2, nv + 2
        for (j = 0; j < nv; j++)
            for (i = 0; i < nu; i++)
                printf "%f %f %f 1\n", i / nu, 0.02 * ((i * 7 + j * 3) % 5), j / nv
    }' >"$3"
}

# run FILE EXPECTED: starts the editor on FILE, waits for the load message, lets it draw, then
# quits with q over the main window.
run() {
    echo "$1" >defaultFile.config
    (ulimit -v "$limit" && exec "$binary") >stdout.txt 2>stderr.txt &
    pid=$!
    local main
    main="$(timeout 60 xdotool search --sync --onlyvisible --name '^main window$' | head -n 1)"
    [ -n "$main" ] || fail "$1: no main window"
    # The load writes two lines that name the file ("load ..." before it reads, "loaded ..." or
    # the refusal after), so wait for the expected line itself, not the first mention.
    for _ in $(seq 1 300); do
        grep -q "$2" stderr.txt && break
        kill -0 "$pid" 2>/dev/null || fail "$1: the editor ended"
        sleep 0.1
    done
    grep -q "$2" stderr.txt || fail "$1: no \"$2\" on standard error"
    # Frames of the main view: the surface is tessellated and drawn at start-up.
    sleep 3
    kill -0 "$pid" 2>/dev/null || fail "$1: the editor ended after the load"
    grep -q "Nurbs Error" stdout.txt && fail "$1: GLU reported an error"
    xdotool windowraise "$main"
    xdotool mousemove --window "$main" 50 50
    sleep 0.3
    # "+" moves the camera closer: the surface is tessellated again for the new view.
    xdotool key plus plus
    sleep 2
    kill -0 "$pid" 2>/dev/null || fail "$1: the editor ended on a closer view"
    xdotool key q
    local status=0
    for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "$1: q did not end the program"
    wait "$pid" || status=$?
    pid=""
    [ "$status" -eq 0 ] || fail "$1: ended with status $status"
    echo "ok: $1: $(grep "$1" stderr.txt | head -n 1)"
}

grid 500 500 glu_largest.surf
grid 1000 1000 largest.surf
grid 1001 1000 wider.surf
grid 500 3000 long.surf
run glu_largest.surf "loaded glu_largest.surf: 500 x 500 points"
run largest.surf "loaded largest.surf: 1000 x 1000 points"
run wider.surf "1001 x 1000 points are more than the 1000000 points the editor can draw"
run long.surf "500 x 3000 points are more than the 1000000"
