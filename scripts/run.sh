#!/usr/bin/env bash
# Builds the program and starts it against a local stand-in service with demo data.
# Arguments are handed to the program (an invite link, for instance).
set -euo pipefail
cd "$(dirname "$0")/.."

port=8765
url="http://127.0.0.1:$port"

scripts/install-deps.sh

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
    echo "Start it under a virtual X server instead:  xvfb-run -a $0 $*" >&2
    exit 1
fi

cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DZUMO_SANITIZE=OFF \
    -DZUMO_BENCH=OFF -DZUMO_SERVICE_URL="$url" >/dev/null
cmake --build build-run --target zumo zumo-service -j"$(nproc)"

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }

if listening; then
    echo "Something already listens on port $port; the program will talk to it." >&2
    echo "(Stop it first if it is not a zumo-service started earlier.)" >&2
else
    build-run/service/zumo-service --port "$port" --demo &
    service=$!
    # The program replaces this shell below and keeps its process id: once that process is
    # gone, stop the service too.
    (
        while kill -0 "$$" 2>/dev/null; do sleep 1; done
        kill "$service" 2>/dev/null || true
    ) &
    for _ in $(seq 50); do
        listening && break
        kill -0 "$service" 2>/dev/null || { echo "zumo-service did not start." >&2; exit 1; }
        sleep 0.1
    done
fi

exec build-run/src/app/zumo "$@"
