#!/usr/bin/env bash
# Sourced: starts Xvfb, a tray host and a private PulseAudio daemon for the tests,
# exports DISPLAY / PULSE_SERVER / XDG_RUNTIME_DIR, and stops them on exit.

SCRIVORA_RUNTIME="$(mktemp -d /tmp/scrivora-test.XXXXXX)"
chmod 700 "$SCRIVORA_RUNTIME"
SCRIVORA_PIDS=()

scrivora_stop_services() {
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
}
trap scrivora_stop_services EXIT

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
