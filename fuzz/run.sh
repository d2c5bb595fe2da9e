#!/usr/bin/env bash
# Builds the fuzz targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer (including
# float division by zero and float-to-integer/narrowing overflow) and runs one of them.
#   fuzz/run.sh TARGET SECONDS      e.g. fuzz/run.sh whole_run_fuzz 600
# The corpus grows in fuzz/corpus-TARGET (not committed), seeded from fuzz/corpus/<name>/;
# crashes land in fuzz/artifacts/.
set -euo pipefail
target=${1:?usage: fuzz/run.sh TARGET SECONDS}
seconds=${2:?usage: fuzz/run.sh TARGET SECONDS}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build="$root/build-fuzz"

sanitizers="address,undefined,float-divide-by-zero,float-cast-overflow"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUELVAR_FUZZ=ON -DQUELVAR_TESTS=OFF -DQUELVAR_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=$sanitizers,fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer" >/dev/null
cmake --build "$build" --target "$target" -j 2

seeds="$here/corpus/${target%_fuzz}"
corpus="$here/corpus-$target"
mkdir -p "$corpus" "$here/artifacts"
[ -d "$seeds" ] && cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
cd "$here"
exec "$build/$target" "$corpus" -max_total_time="$seconds" -jobs=1 -workers=1 \
  -artifact_prefix="$here/artifacts/" -max_len=65536 -timeout=20 -print_final_stats=1
