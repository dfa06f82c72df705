#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own folder and runs each for a bounded time.
# Usage: fuzz/run_fuzz.sh BUILD_DIR [SECONDS_PER_TARGET]
# Fails on a crash, a hang (an input taking over 5 s) or any sanitizer report.
# Exits 77 (a skip for CTest) when clang or libFuzzer is not installed.
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:?build folder}"
secs="${2:-10}"

if ! command -v clang++ >/dev/null; then
  echo "clang++ not installed: fuzz run skipped"
  exit 77
fi
if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer - -o /dev/null 2>/dev/null; then
  echo "libFuzzer (libclang-rt-dev) not installed: fuzz run skipped"
  exit 77
fi

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DQUILLET_FUZZ=ON -DQUILLET_TESTS=OFF -DQUILLET_BENCH=OFF -DQUILLET_WERROR=ON >/dev/null
cmake --build "$build" --target quillet_fuzzers -j "${FUZZ_JOBS:-2}"

status=0
for fuzzer in "$build"/fuzz/*_fuzz; do
  name="$(basename "$fuzzer")"
  corpus="$build/fuzz-corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "$src/fuzz/seeds/$name" ] && seeds+=("$src/fuzz/seeds/$name")
  echo "== $name (${secs}s)"
  if ! (cd "$build" && "$fuzzer" -max_total_time="$secs" -timeout=5 -rss_limit_mb=2048 \
        -print_final_stats=1 "$corpus" "${seeds[@]}" 2>&1 | tail -n 25); then
    echo "!! $name failed"
    status=1
  fi
done
exit $status
