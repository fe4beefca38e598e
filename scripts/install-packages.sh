#!/usr/bin/env bash
# Installs every Debian package the builds, the tests and the main job need (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q \
  cmake make g++ libgtest-dev libgmock-dev googletest libbenchmark-dev \
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 xvfb xauth \
  iproute2 util-linux curl valgrind clang libclang-rt-14-dev ca-certificates python3
