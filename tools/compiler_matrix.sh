#!/usr/bin/env bash
# Builds quelvar with g++ and clang++ at -O0, -O2 and -O3 and runs every fixture directory with
# each build: standard output, standard error, exit status and the result table must be
# bit-identical across the whole matrix. Prints one line per build and fixture, then the verdict.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${MATRIX_DIR:-$root/build-matrix}
mkdir -p "$work"

fixtures=("$root/examples/ferromagnet" "$root/examples/worked_run" "$root/tests/e2e/golden/check_block")
[ -d "$root/bench/full_capacity" ] && fixtures+=("$root/bench/full_capacity")

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

builds=()
for compiler in g++ clang++; do
  command -v "$compiler" >/dev/null || { echo "skipping $compiler: not installed"; continue; }
  for level in O0 O2 O3; do
    name="${compiler%++}-$level"
    [ "$compiler" = "g++" ] && name="gcc-$level"
    dir="$work/$name"
    cmake -S "$root" -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_COMPILER="$compiler" \
      -DCMAKE_CXX_FLAGS="-$level" -DQUELVAR_TESTS=OFF -DQUELVAR_BENCH=OFF >/dev/null
    cmake --build "$dir" --target quelvar -j 2 >/dev/null
    builds+=("$name")
  done
done

reference=""
status=0
for fixture in "${fixtures[@]}"; do
  for name in "${builds[@]}"; do
    run="$work/runs/$name/$(basename "$fixture")"
    rm -rf "$run" && mkdir -p "$run" && cp "$fixture"/* "$run"/
    set +e
    (cd "$run" && "$work/$name/quelvar" >stdout 2>stderr </dev/null)
    echo $? >"$run/exit_status"
    set -e
    digest=$(cd "$run" && cat stdout stderr exit_status Quelvar.dat 2>/dev/null | sha256sum | cut -c1-16)
    echo "$(basename "$fixture") $name $digest"
    key="$(basename "$fixture")"
    ref_file="$work/runs/reference-$key"
    if [ ! -f "$ref_file" ] || [ "$name" = "${builds[0]}" ]; then echo "$digest" >"$ref_file"; fi
    if [ "$digest" != "$(cat "$ref_file")" ]; then
      echo "DIFFERENT: $key under $name"
      status=1
    fi
  done
done
# The golden runs must also be the expected bytes, not merely the same everywhere.
golden="$root/tests/e2e/golden/worked_run"
for name in "${builds[@]}"; do
  run="$work/runs/$name/worked_run"
  if ! cmp -s "$run/stdout" "$golden/expected_output" || ! cmp -s "$run/Quelvar.dat" "$golden/expected_Quelvar.dat"; then
    echo "WRONG: worked_run under $name differs from the golden files"
    status=1
  fi
done
[ $status -eq 0 ] && echo "matrix identical: ${#builds[@]} builds x ${#fixtures[@]} fixtures" || echo "matrix differs"
exit $status
