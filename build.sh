#!/usr/bin/env bash
# One entry point for building and checking the project.
#   ./build.sh test    install what is missing, build, run every test under AddressSanitizer and
#                      UndefinedBehaviorSanitizer (`asan` is the same)
#   ./build.sh tsan    the suites that start threads under ThreadSanitizer
#   ./build.sh demo    build and run the demonstration against a simulated scanner (the main job)
#   ./build.sh bench   build the benchmarks (bench/ folder of the build)
#   ./build.sh fuzz    build libFuzzer binaries with clang (TARGET="a b" builds only those)
#   ./build.sh deps    only install the Debian packages
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
JOBS=${JOBS:-$(nproc)}

# Build tools, test frameworks, and the independent tools the conformance tests compare against.
PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev lld ccache libgtest-dev libgmock-dev libbenchmark-dev
  libtiff-tools libjpeg-turbo-progs libjpeg62-turbo-dev libtiff-dev python3-pil imagemagick netpbm giflib-tools
  file libxml2-utils libfreetype-dev libfontconfig-dev fonts-liberation2 fonts-dejavu-core libx11-dev xvfb xdotool)

deps() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    local sudo=""
    [[ $(id -u) -ne 0 ]] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# A compiler cache where the machine keeps one: a clean clone and later runs recompile only what changed.
LAUNCHER=()
if command -v ccache >/dev/null; then
  LAUNCHER=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # No base folder: rewriting source paths relative to the build folder would change __FILE__, which a
  # test may use to find its data.
  export CCACHE_BASEDIR=
fi
configure_build() {  # dir, extra cmake args...; TARGET: space-separated targets, default all
  local dir=$1; shift
  local start=$SECONDS
  cmake -S "$ROOT" -B "$dir" -G Ninja "${LAUNCHER[@]}" "$@" >/dev/null
  # shellcheck disable=SC2086
  cmake --build "$dir" -j "$JOBS" ${TARGET:+--target $TARGET}
  echo "build.sh: $dir configured and built in $((SECONDS - start)) s"
}

run_ctest() {  # dir, extra ctest args...
  local dir=$1; shift
  local start=$SECONDS
  ctest --test-dir "$dir" -j "$JOBS" --output-on-failure "$@"
  echo "build.sh: $dir tests ran in $((SECONDS - start)) s"
}

case "${1:-test}" in
  deps) deps ;;
  test | asan)
    deps
    # One build serves the suite and both sanitizers. A plain build beside it would double CI's compile time,
    # and an optimised sanitizer build costs as much to compile as the two together.
    configure_build build -DCMAKE_BUILD_TYPE=Debug "-DZC_SANITIZE=address;undefined"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build
    ;;
  tsan)
    TARGET=zc_thread_suites configure_build build-tsan -DCMAKE_BUILD_TYPE=Debug -DZC_SANITIZE=thread
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run_ctest build-tsan -L threads
    ;;
  demo)
    # The main job: the demonstration against a simulated scanner, built in the test tree (so CI, which has
    # built it already, only runs it) and run in a fresh folder of it. Arguments after "demo" go to the
    # program (--cheques N, --image-type bw|gray, --headless, --x11, --interactive).
    deps
    TARGET=lumivex configure_build build -DCMAKE_BUILD_TYPE=Debug "-DZC_SANITIZE=address;undefined"
    rm -rf build/demo-run && mkdir -p build/demo-run
    shift
    (cd build/demo-run && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 ../demo/lumivex "$@")
    echo "build.sh: the images and lumivex.mcr are in build/demo-run"
    ;;
  bench)
    configure_build build-bench -DCMAKE_BUILD_TYPE=Release -DZC_BENCH=ON -DZC_TESTS=OFF
    ;;
  fuzz)
    # FUZZ_BUILD_TYPE=Debug only checks that the targets build and link (CI); fuzzing wants the default.
    CC=clang CXX=clang++ configure_build build-fuzz -DCMAKE_BUILD_TYPE="${FUZZ_BUILD_TYPE:-RelWithDebInfo}" -DZC_FUZZ=ON \
      "-DZC_SANITIZE=address;undefined" -DZC_TESTS=OFF
    ;;
  *) echo "usage: $0 [test|asan|tsan|demo|bench|fuzz|deps]" >&2; exit 2 ;;
esac
