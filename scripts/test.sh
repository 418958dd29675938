#!/usr/bin/env bash
# Builds the program and every test with AddressSanitizer and UndefinedBehaviorSanitizer,
# runs the tests, then runs each fuzz target for a bounded number of inputs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${ZUMO_JOBS:-$(nproc)}

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZUMO_SANITIZE=ON >/dev/null
cmake --build build-test -j"$jobs"

# A private session bus with an unlocked throwaway keyring, so that the keychain and the
# D-Bus tests meet real services and never touch the user's own.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/run" "$scratch/data" "$scratch/config" "$scratch/cache"
chmod 700 "$scratch/run"
export XDG_RUNTIME_DIR="$scratch/run" XDG_DATA_HOME="$scratch/data"
export XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch/cache"
dbus-run-session -- bash -c '
    printf %s throwaway | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1 || true
    ctest --test-dir build-test --output-on-failure -j"$1"' _ "$jobs" | tee "$scratch/ctest.log"

if [ -f fuzz/CMakeLists.txt ]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZUMO_FUZZ=ON >/dev/null
    cmake --build build-fuzz -j"$jobs" --target fuzz_wire fuzz_frame fuzz_invite
    for target in build-fuzz/fuzz/fuzz_*; do
        [ -f "$target" ] && [ -x "$target" ] || continue
        name=$(basename "$target")
        corpus="$root/fuzz/corpus/${name#fuzz_}"
        work="$scratch/corpus-$name"
        mkdir -p "$work"
        echo "fuzzing $name"
        "$target" -runs="${ZUMO_FUZZ_RUNS:-20000}" -max_len=4096 "$work" "$corpus" 2>&1 | tail -n 3
        [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "fuzz target $name found a fault"; exit 1; }
    done
fi

# The test summary once more, as the last line.
grep -E '^[0-9]+% tests passed' "$scratch/ctest.log" | tail -n 1
