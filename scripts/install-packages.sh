#!/usr/bin/env bash
# Installs every Debian package the builds, the tests and the main job need (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q \
  cmake make g++ libgtest-dev libgmock-dev googletest libbenchmark-dev \
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 xvfb xauth \
  iproute2 util-linux curl valgrind strace locales clang libclang-rt-14-dev ca-certificates python3

# The locales of the desktops the program is made for, and two others, so that the update time
# can be checked against each locale's own date and time texts.
for locale in zh_CN ja_JP ko_KR de_DE en_US; do
  if ! locale -a 2>/dev/null | grep -qx "$locale.utf8"; then
    localedef -i "$locale" -c -f UTF-8 -A /usr/share/locale/locale.alias "$locale.UTF-8"
  fi
done
