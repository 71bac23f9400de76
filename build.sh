#!/usr/bin/env bash
# One entry point for building Lorimo.
#   ./build.sh run [image]   install what is missing, build, start the viewer
#                            (on the bundled samples unless an image is given)
#   ./build.sh test [ctest args]
#                            install what is missing, build with the sanitizers,
#                            run every test, then the fuzz targets briefly, then
#                            the tests that run threads under ThreadSanitizer
#   ./build.sh build [dev|asan|tsan|release]
#   ./build.sh bench         build and run the benchmarks in bench/
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

command=${1:-run}
shift || true

deps() { "$root/tools/install-deps.sh"; }

build() {
  local preset=$1
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
}

case "$command" in
  run)
    deps
    build release
    image=${1:-$root/samples/sky.jpg}
    exec "$root/build/release/bin/lorimo" "$image"
    ;;
  test)
    deps
    build asan
    ctest --preset asan "$@"
    "$root/fuzz/run-fuzzers.sh"
    build tsan
    ctest --preset tsan "$@"
    ;;
  build)
    deps
    build "${1:-dev}"
    ;;
  bench)
    deps
    build dev
    "$root/bench/run-benchmarks.sh" "$root/build/dev/bin"
    ;;
  *)
    sed -n '2,10p' "$0" >&2
    exit 2
    ;;
esac
