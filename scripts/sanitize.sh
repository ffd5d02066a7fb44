#!/usr/bin/env bash
# The test suite again in the sanitizer build the fuzzers use (clang,
# AddressSanitizer and UndefinedBehaviorSanitizer), then every fuzzer for a
# while on the seeds in tests/data. Run after scripts/test.sh (which
# configures build-fuzz/); CI runs both.
#   scripts/sanitize.sh [SECONDS_PER_FUZZER]      (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
command -v clang++ >/dev/null || { echo "clang++ is needed" >&2; exit 2; }
if [ ! -f build-fuzz/build.ninja ]; then
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DLORVEK_BUILD_FUZZERS=ON -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fsanitize=fuzzer-no-link" >/dev/null
fi
cmake --build build-fuzz -j "$(nproc)"
# Any finding fails the run; Qt and the libraries it loads are not built
# with the sanitizers, so leaks are not looked for.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The scripts that time big inputs and many processes run in the plain build.
ctest --test-dir build-fuzz --output-on-failure -j "$(nproc)" -E '^(robustness|concurrent_replace|signal_cleanup)$'

seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
for name in detect_code_fuzz decoders_fuzz regex_fuzz biff_fuzz rtf_fuzz word_fuzz office_xml_fuzz office_zip_fuzz pieces_fuzz; do
  corpus="$seeds/$name"
  mkdir -p "$corpus"
  case "$name" in
    biff_fuzz|rtf_fuzz|word_fuzz) find tests/data/docs -type f -size -200k -exec cp {} "$corpus/" \; ;;
    office_xml_fuzz|office_zip_fuzz) find tests/data/office -type f -size -200k -exec cp {} "$corpus/" \; ;;
    *) find tests/data/text -type f -size -64k -exec cp {} "$corpus/" \; ;;
  esac
  echo "== $name, ${seconds} s"
  build-fuzz/fuzz/$name "$corpus" -max_total_time="$seconds" -max_len=65536 -print_final_stats=0 \
    -artifact_prefix="$seeds/" 2>&1 | tail -n 3
done
