#!/usr/bin/env bash
# Sourced: starts Xvfb, a tray host and a private PulseAudio daemon for the tests,
# exports DISPLAY / PULSE_SERVER / XDG_RUNTIME_DIR, and stops them on exit.
# scrivora_stop_services (also run on exit) then fails, naming them, when
# processes started since (by the tests) are still running.

SCRIVORA_RUNTIME="$(mktemp -d /tmp/scrivora-test.XXXXXX)"
chmod 700 "$SCRIVORA_RUNTIME"
SCRIVORA_PIDS=()
# Inherited by every process started from here on, however far it strays
# from its parent; this run's own, so another run beside it is not counted.
SCRIVORA_RUN_MARK="${SCRIVORA_RUNTIME##*/}"
export SCRIVORA_RUN_MARK

# "pid command line" of each running process that carries this run's mark
# (builtins only: a program started here would carry it too).
scrivora_marked_processes() {
    local dir entry marked args
    for dir in /proc/[0-9]*; do
        marked=0
        while IFS= read -r -d '' entry; do
            if [ "$entry" = "SCRIVORA_RUN_MARK=$SCRIVORA_RUN_MARK" ]; then
                marked=1
                break
            fi
        done 2>/dev/null <"$dir/environ" || true
        [ "$marked" = 1 ] || continue
        args=""
        while IFS= read -r -d '' entry; do
            args+="$entry "
        done 2>/dev/null <"$dir/cmdline" || true
        # Zombies and processes that just ended have no command line left.
        [ -n "$args" ] && echo "${dir#/proc/} $args"
    done
    return 0
}

# Kills and names what the tests left running; false when there was any.
scrivora_check_leftovers() {
    local leftovers="" pid _
    # The sound server ends a moment after "pactl exit".
    for _ in $(seq 1 50); do
        leftovers="$(scrivora_marked_processes)"
        [ -z "$leftovers" ] && return 0
        sleep 0.1
    done
    echo "Processes started by the tests are still running (killed now):" >&2
    echo "$leftovers" >&2
    while read -r pid _; do
        kill -KILL "$pid" >/dev/null 2>&1 || true
    done <<<"$leftovers"
    return 1
}

scrivora_stop_services() {
    [ -n "${SCRIVORA_RUNTIME:-}" ] || return 0
    if [ -n "${PULSE_SERVER:-}" ]; then
        pactl exit >/dev/null 2>&1 || true
    fi
    for pid in "${SCRIVORA_PIDS[@]}"; do
        kill "$pid" >/dev/null 2>&1 || true
    done
    for pid in "${SCRIVORA_PIDS[@]}"; do
        wait "$pid" >/dev/null 2>&1 || true
    done
    rm -rf "$SCRIVORA_RUNTIME"
    SCRIVORA_RUNTIME=""
    scrivora_check_leftovers
}
trap 'scrivora_stop_services || exit 1' EXIT

# Xvfb picks a free display and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$SCRIVORA_RUNTIME/display" 2>"$SCRIVORA_RUNTIME/xvfb.log" &
SCRIVORA_PIDS+=($!)
for _ in $(seq 1 100); do
    [ -s "$SCRIVORA_RUNTIME/display" ] && break
    sleep 0.05
done
export DISPLAY=":$(head -n1 "$SCRIVORA_RUNTIME/display")"
echo "Xvfb on $DISPLAY"

trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
SCRIVORA_PIDS+=($!)

export XDG_RUNTIME_DIR="$SCRIVORA_RUNTIME"
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
cat >"$SCRIVORA_RUNTIME/test.pa" <<'PA'
load-module module-native-protocol-unix auth-anonymous=1
load-module module-null-source source_name=test_mic rate=16000 channels=1 max_latency_msec=20
load-module module-null-sink sink_name=test_sink
set-default-source test_mic
set-default-sink test_sink
PA
# At the priority a desktop's sound server gets: starved on a loaded machine, it
# refuses connections past a listen backlog of 5, as at a login; the client copes.
if pulseaudio --daemonize=yes -n -F "$SCRIVORA_RUNTIME/test.pa" --exit-idle-time=-1 \
        --log-target=file:"$SCRIVORA_RUNTIME/pulse.log"; then
    for _ in $(seq 1 100); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.05
    done
    echo "PulseAudio on $PULSE_SERVER"
else
    echo "PulseAudio did not start; audio tests will fail" >&2
fi
