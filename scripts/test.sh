#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
# The fuzzers are only built here; fuzz/README.md says how to run them.
if command -v clang++ >/dev/null; then
  if [ ! -f build-fuzz/build.ninja ]; then
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DLORVEK_BUILD_FUZZERS=ON -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fsanitize=fuzzer-no-link" >/dev/null
  fi
  cmake --build build-fuzz -j "$(nproc)" --target detect_code_fuzz decoders_fuzz regex_fuzz biff_fuzz rtf_fuzz word_fuzz office_xml_fuzz office_zip_fuzz pieces_fuzz
fi
ctest --test-dir build --output-on-failure -j "$(nproc)"
