#!/usr/bin/env bash
# Builds the program and starts it against a local stand-in service with demo data, kept in a
# data file in the user's data folder. Arguments are handed to the program (an invite link,
# for instance); when the program already runs, they go to the running one.
set -euo pipefail
cd "$(dirname "$0")/.."

port=8765
url="http://127.0.0.1:$port"
program=build-run/src/app/zumo
data="${XDG_DATA_HOME:-$HOME/.local/share}/zumo-service/data.json"

service=""
app=""

# Whether a child of this script still runs (one that has ended stays a zombie until waited
# for, and kill -0 still finds it).
running() {
    local stat
    { read -r -a stat <"/proc/$1/stat"; } 2>/dev/null && [ "${stat[2]}" != Z ]
}

# Waits up to five seconds for a child to end; false when it still runs.
ended() {
    for _ in $(seq 50); do
        running "$1" || return 0
        sleep 0.1
    done
    ! running "$1"
}

# stop PID [grace]: with "grace" after Ctrl+C, the child is left to end by itself first.
stop() {
    [ -n "$1" ] || return 0
    # Ctrl+C reaches the whole foreground group, and the program takes it (the service, started
    # in the background, ignores it): the program is ending already and gets its time before
    # anything more is sent, which would otherwise cut its clean-up short.
    if [ "${2:-}" = grace ] && [ "$interrupted" = 1 ] && ended "$1"; then
        wait "$1" 2>/dev/null || true
        return 0
    fi
    kill -TERM "$1" 2>/dev/null || return 0
    ended "$1" || kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# However the script ends (the program quits, Ctrl+C, a signal, an error), the program and the
# service it started end too; the service writes its data file as it goes.
interrupted=0
finish() {
    trap - EXIT INT TERM HUP
    stop "$app" grace
    stop "$service"
}
trap finish EXIT
trap 'interrupted=1; exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

need_display() {
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
        echo "Start it under a virtual X server instead:  xvfb-run -a $0 $*" >&2
        exit 1
    fi
}

# Whether the program runs for this user: only a running program answers on its single-instance
# socket (in Qt's runtime folder). A socket file left by a program that was killed answers
# nothing and does not count; the program's next start replaces it. Perl (perl-base) is part of
# every Debian system.
program_runs() {
    local socket="${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -un)}/zumo"
    [ -S "$socket" ] || return 1
    perl -MIO::Socket::UNIX -e \
        'exit(IO::Socket::UNIX->new(Type => SOCK_STREAM(), Peer => $ARGV[0]) ? 0 : 1)' \
        "$socket" 2>/dev/null
}

# The program already running takes the arguments over its single-instance socket from a
# second launch, which then ends: no build, no second service.
if [ -x "$program" ] && program_runs; then
    need_display "$@"
    if [ -n "${1:-}" ]; then
        echo "Zumo already runs; handing the link over to it: $1"
    else
        echo "Zumo already runs; bringing its window forward."
    fi
    exec "$program" "$@"
fi

scripts/install-deps.sh
need_display "$@"

cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DZUMO_SANITIZE=OFF \
    -DZUMO_BENCH=OFF -DZUMO_SERVICE_URL="$url" >/dev/null
cmake --build build-run --target zumo zumo-service -j"${ZUMO_JOBS:-$(nproc)}"

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }

if listening; then
    echo "Something already listens on port $port; the program will talk to it." >&2
    echo "(Stop it first if it is not a zumo-service started earlier.)" >&2
else
    build-run/service/zumo-service --port "$port" --data "$data" --demo &
    service=$!
    for _ in $(seq 50); do
        listening && break
        running "$service" || { echo "zumo-service did not start." >&2; exit 1; }
        sleep 0.1
    done
fi

"$program" "$@" &
app=$!
status=0
wait "$app" || status=$?
app=""
exit "$status"
