#!/usr/bin/env bash
# Runs a widget test where Qt's accessibility is live, as on a desktop with a screen reader: on
# a virtual X server, with a session bus and an accessibility bus of its own. Qt passes its
# accessibility events on (to the bus, or to a test's update handler) only while its bridge to
# that bus is up, which the offscreen platform never has.
# Usage: tests/a11y-session.sh <test executable> [arguments...]
set -euo pipefail
launcher=/usr/libexec/at-spi-bus-launcher
[ -x "$launcher" ] || { echo "a11y-session: $launcher is missing (package at-spi2-core)" >&2; exit 1; }
exec dbus-run-session -- bash -c '
    launcher=$1; shift
    "$launcher" --launch-immediately & bus=$!
    # Qt asks the session bus for the accessibility bus once, at start: wait until it answers.
    for _ in $(seq 50); do
        dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
            org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
        sleep 0.1
    done
    status=0
    QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
        xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@" || status=$?
    kill "$bus" 2>/dev/null || true
    wait "$bus" 2>/dev/null || true
    exit "$status"' _ "$launcher" "$@"
