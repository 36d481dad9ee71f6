#!/usr/bin/env bash
# How the real application binary ends when the session ends under it, each
# run with a HOME and an XDG_RUNTIME_DIR of its own on a virtual display of
# its own:
#   - SIGTERM, SIGHUP and SIGINT within a second of a change: the change is
#     in the file (written on the way out, after the signal), exit code 0;
#   - the same on a full disk (a small tmpfs): SIGTERM and SIGHUP end with
#     exit code 1 and a word on standard error, SIGINT asks first (the
#     application stays, with its question on screen) and a second SIGINT
#     ends it the same way; the old file is whole each time, and nothing is
#     left beside it;
#   - the display's server stopped under the running application: the
#     change is in the file before it ends;
#   - the document behind a symbolic link, the application killed with
#     SIGKILL: after the next start none of the save's temporary files is
#     left beside the link's target (and nothing that is not ours is gone).
#
# usage: session-end.sh APP PROBE CONTRACT_CHECK
set -euo pipefail

app="$1"
probe="$2"
check="$3"

# Each account below has a runtime folder of its own, where the application
# keeps its one-copy lock: no other run of the application is ever met.
work=$(mktemp -d /tmp/corvadine-session-end-XXXXXX)
server=""
app_pid=""
disk=""

cleanup() {
    [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null || true
    stop_display
    [ -n "$disk" ] && umount -l "$disk" 2>/dev/null || true
    if [ -z "${CORVADINE_KEEP_TEST_HOME:-}" ]; then rm -rf "$work"; else echo "kept $work"; fi
}

fail() {
    echo "FAIL: $*" >&2
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $log" >&2; tail -n 30 "$log" >&2; }
    done
    exit 1
}

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
here=$(cd "$(dirname "$0")/.." && pwd)
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$here/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_DOCUMENTS_DIR

start_display() {
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$work/display" >>"$work/xvfb.log" 2>&1 &
    server=$!
    for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
    [ -s "$work/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$work/display")"
    "$probe" atoms || fail "could not create the window-manager atoms"
}

stop_display() {
    [ -n "$server" ] || return 0
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    server=""
}
trap cleanup EXIT

# A fresh account: its own HOME and runtime folder.
new_home() {
    export HOME="$work/$1"
    export XDG_RUNTIME_DIR="$work/$1-runtime"
    mkdir -p "$HOME/Documents" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    documents="$HOME/Documents/Corvadine"
    preferences="$documents/preferences/preferences.xml"
}

wait_for() {
    local condition="$1" seconds="$2" what="$3"
    local end=$((SECONDS + seconds))
    until eval "$condition"; do
        [ $SECONDS -lt $end ] || fail "timed out waiting for $what"
        sleep 0.05
    done
}

alive() { kill -0 "$app_pid" 2>/dev/null; }

start_app() {
    "$app" >"$work/$1.log" 2>&1 &
    app_pid=$!
    wait_for '! alive || [ "$("$probe" count Corvadine)" -ge 1 ]' 120 "the main window ($1)"
    alive || fail "the application ended before showing its window ($1)"
}

# Waits for the application to end; its exit code goes into $status.
wait_exit() {
    local end=$((SECONDS + 60))
    while alive; do
        [ $SECONDS -lt $end ] || fail "the application did not end ($1)"
        sleep 0.05
    done
    status=0
    { wait "$app_pid"; } 2>/dev/null || status=$?
    app_pid=""
}

# Temporary files of the store (".<name>.<12 hex digits>.tmp") in a folder.
temporaries() { find "$1" -maxdepth 1 -name '.*.tmp' | grep -E '/\.[^/]+\.[0-9a-f]{12}\.tmp$' || true; }

# Marks the document with an older, still loadable version: the start-up
# stamps the current one in memory, which the deferred save writes a second
# later. That is the change the signal has to save.
mark_old() { sed -i 's/version="0\.9\.[0-9]"/version="0.9.5"/' "$1"; grep -q 'version="0.9.5"' "$1" || fail "could not mark $1"; }

# Points the preferences at a document.
use_document() {
    sed -i "s|fullpathname=\"[^\"]*\"|fullpathname=\"$1\"|" "$preferences"
    grep -q "fullpathname=\"$1\"" "$preferences" || fail "could not point the preferences at $1"
}

# The first start of an account writes its new document and preferences.
first_start() {
    start_app "$1-first"
    wait_for '[ -s "$documents/NewCorvadineDocument.xml" ] && [ -s "$preferences" ]' 60 "the first save ($1)"
    sleep 0.5
    "$probe" close Corvadine >/dev/null || fail "no window to close ($1)"
    wait_exit "$1-first"
    [ "$status" -eq 0 ] || fail "the first start quit with $status ($1)"
}

start_display

# --- A signal within a second of a change: the change is in the file.
for signal in TERM HUP INT; do
    new_home "signal-$signal"
    first_start "signal-$signal"
    document="$documents/NewCorvadineDocument.xml"
    proven=no
    for attempt in 1 2 3; do
        mark_old "$document"
        start_app "signal-$signal-$attempt"
        touch "$work/marker"
        kill -"$signal" "$app_pid"
        wait_exit "SIG$signal"
        [ "$status" -eq 0 ] || fail "SIG$signal: the application ended with $status"
        grep -q 'version="0.9.9"' "$document" || fail "SIG$signal: the change is not in the file"
        "$check" --in-range "$document" >"$work/contract.log" 2>&1 || fail "SIG$signal: the document breaks the contract"
        [ -z "$(temporaries "$documents")" ] || fail "SIG$signal: temporary files left: $(temporaries "$documents")"
        # Written after the signal, on the way out: not by the deferred save
        # before it (then this round proved nothing, and runs again).
        if [ "$document" -nt "$work/marker" ]; then proven=yes; break; fi
        echo "note: SIG$signal came after the deferred save (attempt $attempt)"
    done
    [ "$proven" = yes ] || fail "SIG$signal: the deferred save came first in every attempt"
    echo "ok: SIG$signal within a second of a change: written on the way out, exit 0"
done

# --- The same on a full disk.
mkdir -p "$work/disk"
if mount -t tmpfs -o size=512k tmpfs "$work/disk" 2>/dev/null; then
    disk="$work/disk"
    new_home "full"
    first_start "full"

    for signal in TERM HUP INT; do
        show="$disk/Show.xml"
        rm -f "$disk"/* "$disk"/.[!.]* 2>/dev/null || true
        cp "$documents/NewCorvadineDocument.xml" "$show"
        mark_old "$show"
        cp "$show" "$work/old.xml"
        use_document "$show"
        # Fill the disk: the next write of the document cannot go there.
        dd if=/dev/zero of="$disk/filler" bs=4k >/dev/null 2>&1 || true

        start_app "full-$signal"
        log="$work/full-$signal.log"
        if [ "$signal" = INT ]; then
            # Someone at the terminal: the window asks before anything is lost.
            kill -INT "$app_pid"
            sleep 3
            alive || fail "SIGINT on a full disk quit without asking"
            wait_for '[ "$("$probe" shown)" -ge 2 ]' 30 "the question after SIGINT on a full disk"
            cmp -s "$show" "$work/old.xml" || fail "SIGINT on a full disk: the old file changed"
        fi
        kill -"$signal" "$app_pid"
        wait_exit "full disk, SIG$signal"
        [ "$status" -eq 1 ] || fail "SIG$signal on a full disk: the application ended with $status, not 1"
        grep -q "couldn't save the document: No space left on device" "$log" \
            || fail "SIG$signal on a full disk: nothing on standard error says the document was not saved"
        grep -q "File: $show" "$log" || fail "SIG$signal on a full disk: standard error does not name the file"
        cmp -s "$show" "$work/old.xml" || fail "SIG$signal on a full disk: the old file is not whole"
        [ -z "$(temporaries "$disk")" ] || fail "SIG$signal on a full disk: temporary files left: $(temporaries "$disk")"
        [ -z "$(find "$disk" -maxdepth 1 -type f -empty)" ] || fail "SIG$signal on a full disk: empty files left"
        echo "ok: SIG$signal on a full disk: old file whole, said on standard error, exit 1, nothing left"
    done
    umount -l "$disk"
    disk=""
else
    echo "note: no right to mount a small disk here; the full-disk rounds are skipped"
fi

# --- The display's server stopped under the running application.
new_home "lost-display"
first_start "lost-display"
document="$documents/NewCorvadineDocument.xml"
proven=no
for attempt in 1 2 3; do
    mark_old "$document"
    start_app "display-$attempt"
    touch "$work/marker"
    stop_display
    wait_exit "display stopped"
    start_display
    [ "$status" -ne 0 ] || fail "the application ended with 0 when its display went away"
    grep -q 'version="0.9.9"' "$document" || fail "display stopped: the change is not in the file (exit $status)"
    "$check" --in-range "$document" >"$work/contract.log" 2>&1 || fail "display stopped: the document breaks the contract"
    [ -z "$(temporaries "$documents")" ] || fail "display stopped: temporary files left"
    if [ "$document" -nt "$work/marker" ]; then proven=yes; break; fi
    echo "note: the display went after the deferred save (attempt $attempt)"
done
[ "$proven" = yes ] || fail "display stopped: the deferred save came first in every attempt"
echo "ok: the display stopped within a second of a change: written before the end (exit $status)"

# --- SIGKILL with the document behind a symbolic link.
new_home "linked"
first_start "linked"
elsewhere="$work/elsewhere"
mkdir -p "$elsewhere"
target="$elsewhere/Target.xml"
link="$documents/Linked.xml"
cp "$documents/NewCorvadineDocument.xml" "$target"
ln -s "$target" "$link"
use_document "$link"
for round in 1 2 3 4 5; do
    mark_old "$target"
    start_app "linked-$round"
    # Around the deferred save, a second after the start.
    sleep "0.$((RANDOM % 10))$((RANDOM % 10))"
    sleep 0.6
    kill -9 "$app_pid"
    wait_exit "SIGKILL"
    [ -L "$link" ] || fail "SIGKILL: the link is no longer a link"
    grep -q '</Corvadine>' "$target" || fail "SIGKILL: the target is not a whole document"
done
# What a write killed in the middle leaves, and what is not the store's.
touch "$elsewhere/.Target.xml.0123456789ab.tmp" "$elsewhere/.Target.xml.fedcba987654.tmp"
touch "$elsewhere/.Target.xml.backup" "$elsewhere/Target.xml.0123456789ab.tmp" "$elsewhere/.Other.xml.0123456789ab.tmp"
start_app "linked-next"
sleep 1
[ -z "$(find "$elsewhere" -maxdepth 1 -name '.Target.xml.*.tmp')" ] \
    || fail "temporary files beside the link's target outlived the next start: $(find "$elsewhere" -name '.Target.xml.*.tmp')"
for kept in .Target.xml.backup Target.xml.0123456789ab.tmp .Other.xml.0123456789ab.tmp; do
    [ -e "$elsewhere/$kept" ] || fail "the start removed $kept, which is not one of the document's temporary files"
done
"$probe" close Corvadine >/dev/null || fail "no window to close (linked)"
wait_exit "linked"
[ "$status" -eq 0 ] || fail "the application quit with $status (linked)"
[ -L "$link" ] || fail "the link is no longer a link"
grep -q 'version="0.9.9"' "$target" || fail "the target did not get the change through the link"
[ -z "$(temporaries "$elsewhere" | grep Target)" ] || fail "temporary files left beside the target"
echo "ok: SIGKILL with the document behind a link: nothing of the store's left beside the target after the next start"

echo "PASS: signals and a lost display keep the change, a full disk keeps the old file and says so, nothing left behind"
