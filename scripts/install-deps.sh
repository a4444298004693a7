#!/bin/sh
# Installs the Debian packages the build and the tests need; with the argument
# "fuzz", also clang with libFuzzer for the fuzzing build; with "windows", also
# MinGW-w64, Wine and msitools for the Windows cross-build and its MSI (Wine
# with its preloader, which reserves the address ranges a Windows program
# needs before Linux maps anything there: without it a start can fail at
# random), and then builds the Windows forms of Boost.Filesystem, Tcl and GoogleTest into a
# cache folder (see scripts/build-mingw-deps.sh). As root it runs apt-get
# itself; otherwise it prints the one command to run and exits 1.
#
#   scripts/install-deps.sh [fuzz|windows]
set -eu

PACKAGES="cmake g++ make ninja-build libboost-dev libboost-filesystem-dev tcl-dev libgtest-dev dpkg-dev groff-base python3 lintian"
case "${1:-}" in
  fuzz) PACKAGES="$PACKAGES clang clang-14 libclang-rt-14-dev" ;;
  windows) PACKAGES="$PACKAGES g++-mingw-w64-x86-64-posix wine wine64 wine64-preloader googletest libboost1.74-dev wixl msitools" ;;
  "") ;;
  *) echo "usage: $0 [fuzz|windows]" >&2; exit 2 ;;
esac

# The Windows libraries are built once into their cache, after the packages.
build_windows_deps() {
  if [ "${1:-}" = "windows" ]; then
    "$(dirname "$0")/build-mingw-deps.sh"
  fi
}

missing=""
for pkg in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $pkg"
  fi
done

if [ -z "$missing" ]; then
  build_windows_deps "${1:-}"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 $missing
  build_windows_deps "${1:-}"
else
  echo "Missing packages. Run as root:"
  echo "  apt-get update && apt-get install -y$missing"
  exit 1
fi
