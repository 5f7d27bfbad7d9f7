#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the benchmarks in their own build folder (build-bench: RelWithDebInfo, g++) and runs them
# all, headless. Prints the results as a Markdown table and writes it to bench/results.md.
#
#   bench/run.sh [--monitor-seconds S] [--runs N]
#
#   --monitor-seconds S  how long the monitor lists frames at full line rate (default 60;
#                        600 for ten minutes of traffic)
#   --runs N             runs of each timed benchmark, of which the median is quoted (default 5)
#
# The benchmarks' own progress and details go to standard error. The machine is shared: the build
# uses two jobs at most, and the benchmarks run one after the other. While the monitor lists frames
# at full line rate, a second simulator and the bare Qt reader (rotor-bench-reader) run beside it
# as its yardstick.
set -euo pipefail
cd "$(dirname "$0")/.."

monitor_seconds=60
runs=5
while [ $# -gt 0 ]; do
    case "$1" in
        --monitor-seconds) monitor_seconds=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        *) echo "usage: bench/run.sh [--monitor-seconds S] [--runs N]" >&2; exit 2 ;;
    esac
done

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
      -DROTOR_BENCH=ON >/dev/null
cmake --build build-bench -j 2 --target rotor-bench >&2

export QT_QPA_PLATFORM=offscreen
runtime=$(mktemp -d)
rows=$(mktemp)
trap 'rm -rf "$runtime" "$rows"' EXIT
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime

bench=build-bench/bench/rotor-bench
failed=0
run() {
    echo "== rotor-bench $*" >&2
    if ! "$bench" "$@" >>"$rows"; then
        echo "| $1 | did not run (see the messages above) | | FAIL |" >>"$rows"
        failed=1
    fi
}
run cpu-wait --runs "$runs"
run cpu-monitor --runs "$runs" --seconds 10
run line-time --runs "$runs"
run monitor-rate --seconds "$monitor_seconds"
run listing-append --runs "$runs"
run open-close --runs "$runs"
run network
run click-wait

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
{
    echo "Results of \`bench/run.sh\` ($(date -u '+%Y-%m-%d %H:%M UTC')): $(nproc) cores, ${cpu:-unknown CPU}," \
         "$("$bench" info 2>/dev/null), Linux $(uname -r), g++ RelWithDebInfo; medians of $runs runs;" \
         "monitor at full line rate for $monitor_seconds s."
    echo
    echo "| benchmark | measured (median) | goal | verdict |"
    echo "|---|---|---|---|"
    cat "$rows"
} >bench/results.md
cat bench/results.md
exit "$failed"
