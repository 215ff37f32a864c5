#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, when
# they are missing. Shared by `make run`, `make test` and .ci/run.
#
# Usage: scripts/deps.sh [build|test|lint|all]   (default: test)
#   build   what the programs need to build and run
#   test    build, plus what the tests need (GoogleTest, clang's libFuzzer
#           for the short fuzz runs, valgrind for make memcheck)
#   lint    test, plus the static checkers of `make lint`
#   all     lint, plus the optional micro-benchmark library
# As root the missing packages are installed with apt-get; otherwise the
# script prints the exact install line and exits with status 1.
set -euo pipefail

level=${1:-test}

# package name -> a file (or command) that tells whether it is installed
declare -A probe=(
  [g++]=/usr/bin/g++
  [make]=/usr/bin/make
  [cmake]=/usr/bin/cmake
  [libgtest-dev]=/usr/include/gtest/gtest.h
  [libgmock-dev]=/usr/include/gmock/gmock.h
  [libeigen3-dev]=/usr/include/eigen3/Eigen/Sparse
  [libxxhash-dev]=/usr/include/xxhash.h
  [libsqlite3-dev]=/usr/include/sqlite3.h
  [libopenmpi-dev]=/usr/lib/x86_64-linux-gnu/openmpi/include/mpi.h
  [openmpi-bin]=/usr/bin/mpirun
  [gnuplot-nox]=/usr/bin/gnuplot
  [valgrind]=/usr/bin/valgrind
  [libbenchmark-dev]=/usr/include/benchmark/benchmark.h
  [clang-tidy-14]=/usr/bin/clang-tidy-14
  [cppcheck]=/usr/bin/cppcheck
  [python3]=/usr/bin/python3
  [clang-14]=/usr/bin/clang++-14
  [libclang-rt-14-dev]=/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a
)

build_pkgs=(g++ make cmake libeigen3-dev libxxhash-dev libsqlite3-dev libopenmpi-dev openmpi-bin
  gnuplot-nox)
test_pkgs=("${build_pkgs[@]}" libgtest-dev libgmock-dev clang-14 libclang-rt-14-dev valgrind)
lint_pkgs=("${test_pkgs[@]}" clang-tidy-14 cppcheck python3)
all_pkgs=("${lint_pkgs[@]}" libbenchmark-dev)

case $level in
build) wanted=("${build_pkgs[@]}") ;;
test) wanted=("${test_pkgs[@]}") ;;
lint) wanted=("${lint_pkgs[@]}") ;;
all) wanted=("${all_pkgs[@]}") ;;
*)
  echo "scripts/deps.sh: unknown level '$level' (expected build, test, lint or all)" >&2
  exit 2
  ;;
esac

missing=()
for pkg in "${wanted[@]}"; do
  [ -e "${probe[$pkg]}" ] || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them as root with:" >&2
  echo "  apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
