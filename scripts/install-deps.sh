#!/bin/sh
# Installs the Debian packages the build and the tests need; with the argument
# "fuzz", also clang with libFuzzer for the fuzzing build. As root it runs
# apt-get itself; otherwise it prints the one command to run and exits 1.
#
#   scripts/install-deps.sh [fuzz]
set -eu

PACKAGES="cmake g++ make ninja-build libboost-dev libboost-filesystem-dev tcl-dev libgtest-dev dpkg-dev groff-base python3 lintian"
if [ "${1:-}" = "fuzz" ]; then
  PACKAGES="$PACKAGES clang clang-14 libclang-rt-14-dev"
fi

missing=""
for pkg in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $pkg"
  fi
done

if [ -z "$missing" ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 $missing
else
  echo "Missing packages. Run as root:"
  echo "  apt-get update && apt-get install -y$missing"
  exit 1
fi
