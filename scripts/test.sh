#!/usr/bin/env bash
# Builds and runs the whole test suite: a normal build with every test (the program's widget
# tests and the installation check included), then one clang build of the Qt-free core under
# AddressSanitizer and UndefinedBehaviorSanitizer that runs the core's tests and the libFuzzer
# harnesses for a short while each. Prints the time of each phase at the end.
#   QM_FUZZ_SECONDS=N   seconds each fuzzer runs (default 10)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

# Phase timing: wall clock, and the CPU time (user + system) of the phase's processes.
phases=()
times_file=$(mktemp)
trap 'rm -f "$times_file"' EXIT
# Sets CPU to the user + system seconds of every finished child so far. `times` must run in
# this shell (a subshell starts from zero), so its output goes through a file.
cpu_now() {
  times >"$times_file"
  CPU=$(awk 'NR == 2 { gsub(/s/, ""); split($1, u, "m"); split($2, y, "m"); print u[1] * 60 + u[2] + y[1] * 60 + y[2] }' "$times_file")
}
# Appends "NAME  wall  cpu" for a phase begun at wall time $2 and CPU time $3.
add_line() {
  cpu_now
  phases+=("$(awk -v n="$1" -v w="$(date +%s.%N)" -v w0="$2" -v c="$CPU" -v c0="$3" \
    'BEGIN { printf "%-18s %8.1f s wall %8.1f s cpu (user+sys)", n, w - w0, c - c0 }')")
}
run_phase() {
  local name=$1; shift
  local start cpu0 status=0
  start=$(date +%s.%N); cpu_now; cpu0=$CPU
  echo "== $name"
  "$@" || status=$?
  add_line "$name" "$start" "$cpu0"
  if [ $status -ne 0 ]; then report; echo "== FAILED in: $name"; exit $status; fi
}
report() {
  echo "== phase times"
  printf '%s\n' "${phases[@]}"
}
total_start=$(date +%s.%N); cpu_now; total_cpu0=$CPU

run_phase "deps" scripts/deps.sh

# Link with lld when present (much faster on the big test executables); keep line tables only.
linker=()
command -v ld.lld >/dev/null && linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld)

build_all() {
  cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    "${linker[@]}" >/dev/null &&
  cmake --build build/test -j"$jobs"
}
run_phase "configure+build" build_all
run_phase "tests" ctest --test-dir build/test -j"$jobs" --output-on-failure

# One sanitizer build serves the core's tests and the fuzzers: clang, ASan + UBSan, libFuzzer's
# coverage. The GUI stays out (its code runs in the normal build's widget tests).
build_sanitized() {
  cmake -S . -B build/san -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
    -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" -DQM_SANITIZE=ON -DQM_FUZZ=ON -DQM_GUI=OFF -DQM_BENCH=OFF \
    -DQM_FUZZ_SECONDS="${QM_FUZZ_SECONDS:-10}" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${linker[@]}" >/dev/null &&
  cmake --build build/san -j"$jobs"
}
run_phase "asan+fuzz build" build_sanitized
run_phase "asan tests" env ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/san -j"$jobs" --output-on-failure -E '^fuzz_'
run_phase "fuzz run" ctest --test-dir build/san -j"$jobs" --output-on-failure -R '^fuzz_'

add_line total "$total_start" "$total_cpu0"
report
echo "== all tests passed"
