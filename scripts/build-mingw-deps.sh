#!/bin/sh
# Builds the Windows (MinGW-w64) forms of the libraries the project links:
# Boost.Filesystem and Tcl 8.6 from Debian's own source packages, GoogleTest
# from /usr/src/googletest. Everything goes into a cache folder outside the
# source tree, which is reused while its stamp says it is complete.
#
#   scripts/build-mingw-deps.sh            build (or reuse) the cache
#   scripts/build-mingw-deps.sh --print    print the cache's prefix folder
#
# KVEL_MINGW_DEPS overrides the cache folder; the default is
# ${XDG_CACHE_HOME:-$HOME/.cache}/kvel-frontends/mingw-deps.
#
# Source packages come through `apt-get source` with a private apt
# configuration, made at run time from the system's own sources list (its
# deb entries become deb-src); the system's apt configuration is left alone.
set -eu

CACHE=${KVEL_MINGW_DEPS:-${XDG_CACHE_HOME:-$HOME/.cache}/kvel-frontends/mingw-deps}
PREFIX=$CACHE/prefix
# Raise when what this script builds changes, so old caches are rebuilt.
RECIPE=1
STAMP=$PREFIX/.complete-$RECIPE
HOST=x86_64-w64-mingw32
JOBS=${KVEL_JOBS:-2}

if [ "${1:-}" = "--print" ]; then
  echo "$PREFIX"
  exit 0
fi

# What the Windows build tree and the ZIP take from the prefix besides the
# libraries: Tcl's script library, its module tree (msgcat, http, platform,
# tcltest) and the dde and registry packages with their DLLs.
tcl_library_complete() {
  for f in lib/tcl8.6/init.tcl lib/tcl8.6/encoding/cp1252.enc lib/tcl8.6/tzdata/UTC \
           lib/dde1.4/pkgIndex.tcl lib/reg1.3/pkgIndex.tcl; do
    [ -f "$1/$f" ] || return 1
  done
  ls "$1"/lib/dde1.4/tcldde*.dll "$1"/lib/reg1.3/tclreg*.dll \
     "$1"/lib/tcl8/8.5/msgcat-*.tm "$1"/lib/tcl8/8.6/http-*.tm \
     "$1"/lib/tcl8/8.4/platform-*.tm >/dev/null 2>&1
}

# A cache made before its Tcl library was checked is rebuilt when that
# library is incomplete.
if [ -f "$STAMP" ] && tcl_library_complete "$PREFIX"; then
  echo "MinGW dependencies: reusing $PREFIX"
  exit 0
fi

echo "MinGW dependencies: building into $PREFIX"
start=$(date +%s)
rm -rf "$PREFIX" "$CACHE/work"
mkdir -p "$PREFIX/lib" "$PREFIX/include" "$CACHE/work" "$CACHE/apt"
WORK=$CACHE/work

# --- private apt configuration ---------------------------------------------
APT=$CACHE/apt
mkdir -p "$APT/lists/partial" "$APT/archives/partial"
"$(dirname "$0")/mingw-apt-sources.sh" /etc/apt "$APT"
APT_OPTS="-o Dir::Etc::SourceList=$APT/sources.list
 -o Dir::Etc::SourceParts=$APT/sources.list.d
 -o Dir::State::Lists=$APT/lists
 -o Dir::Cache=$APT
 -o Dir::Cache::Archives=$APT/archives
 -o Debug::NoLocking=1
 -o APT::Sandbox::User=root"
# shellcheck disable=SC2086
apt-get $APT_OPTS -qq update

fetch_source() {
  (cd "$WORK" && apt-get $APT_OPTS -qq source --download-only "$1" >/dev/null)
}

# --- Boost.Filesystem (static) ---------------------------------------------
# Debian's Boost headers are used as they are, through a folder that holds
# only a link to them (never the whole of /usr/include).
mkdir -p "$PREFIX/boost-include"
ln -sfn /usr/include/boost "$PREFIX/boost-include/boost"
fetch_source boost1.74
boost_orig=$(ls "$WORK"/boost1.74_*.orig.tar.* | head -n 1)
mkdir -p "$WORK/boost"
tar -xf "$boost_orig" -C "$WORK/boost" --strip-components=1 --wildcards '*/libs/filesystem/src/*'
mkdir -p "$WORK/boost/obj"
export HOST PREFIX WORK
# shellcheck disable=SC2016
ls "$WORK"/boost/libs/filesystem/src/*.cpp | xargs -P "$JOBS" -I{} sh -c '
  "$HOST-g++-posix" -std=c++17 -O2 -DNDEBUG -DBOOST_FILESYSTEM_SOURCE -DBOOST_FILESYSTEM_STATIC_LINK \
    -DBOOST_ALL_NO_LIB -DBOOST_USE_WINDOWS_H -DWIN32_LEAN_AND_MEAN \
    -I"$PREFIX/boost-include" -c "$1" -o "$WORK/boost/obj/$(basename "$1" .cpp).o"' sh {}
"$HOST-ar" rcs "$PREFIX/lib/libboost_filesystem.a" "$WORK"/boost/obj/*.o

# --- Tcl 8.6 (its win/ build: library and script library only) ---------------
fetch_source tcl8.6
tcl_orig=$(ls "$WORK"/tcl8.6_*.orig.tar.* | head -n 1)
mkdir -p "$WORK/tcl"
tar -xf "$tcl_orig" -C "$WORK/tcl" --strip-components=1
(
  cd "$WORK/tcl/win"
  ./configure --host=$HOST --prefix="$PREFIX" --enable-64bit --enable-threads \
    CC="$HOST-gcc-posix" >"$WORK/tcl-configure.log" 2>&1
  make -j"$JOBS" binaries libraries >"$WORK/tcl-make.log" 2>&1
  make install-binaries install-libraries >"$WORK/tcl-install.log" 2>&1
) || { echo "Tcl build failed; logs in $WORK" >&2; exit 1; }
tcl_library_complete "$PREFIX" || { echo "Tcl's library is incomplete in $PREFIX/lib" >&2; exit 1; }

# --- GoogleTest --------------------------------------------------------------
cmake -S /usr/src/googletest -B "$WORK/gtest" -G Ninja \
  -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_CXX_COMPILER="$HOST-g++-posix" -DCMAKE_C_COMPILER="$HOST-gcc-posix" \
  -DCMAKE_RC_COMPILER="$HOST-windres" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
  -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF >"$WORK/gtest-configure.log"
cmake --build "$WORK/gtest" -j"$JOBS" >"$WORK/gtest-build.log"
cmake --install "$WORK/gtest" >"$WORK/gtest-install.log"

rm -rf "$WORK"
touch "$STAMP"
echo "MinGW dependencies: built in $(( $(date +%s) - start )) s"
