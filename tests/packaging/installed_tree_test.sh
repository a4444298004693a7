#!/bin/sh
# Installs the built tree into a throw-away directory and checks the layout and
# that the installed programs run from there with their own libraries.
#
#   installed_tree_test.sh install CMAKE BUILD_DIR CONFIG SOURCE_DIR LIBDIR
#       cmake --install to a temporary prefix
#   installed_tree_test.sh deb CPACK BUILD_DIR CONFIG SOURCE_DIR LIBDIR
#       builds the Debian package with cpack, checks its dependencies, has
#       lintian check it, installs and purges it with dpkg into a throw-away
#       root, and unpacks it with dpkg-deb -x; exits 77 (skipped) without
#       dpkg-deb
#
# LIBDIR is the libraries' folder below the prefix (lib/.../kvel-frontends).
# Both need the whole project built first; neither builds anything.
set -u

if [ $# -ne 6 ]; then
  echo "usage: $0 install|deb CMAKE|CPACK BUILD_DIR CONFIG SOURCE_DIR LIBDIR" >&2
  exit 2
fi
mode=$1 tool=$2 build=$3 config=$4 source=$5 libdir=$6
skipped=77

if [ "$mode" = deb ] && ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "dpkg-deb is not installed: Debian package test skipped"
  exit $skipped
fi

. "$(dirname "$0")/../support/shell_checks.sh"
make_work kvel-packaging

# Runs a program without LD_LIBRARY_PATH or proxy settings from the caller.
run_clean() {
  env -i PATH=/usr/bin:/bin HOME="$work" ${ASAN_OPTIONS+"ASAN_OPTIONS=$ASAN_OPTIONS"} \
    ${UBSAN_OPTIONS+"UBSAN_OPTIONS=$UBSAN_OPTIONS"} "$@"
}

# Words of a directory listing, sorted, on one line.
listing() {
  ls -1 "$1" 2>/dev/null | sort | tr '\n' ' '
}

expect_listing() {  # directory, expected listing, what
  actual=$(listing "$1")
  [ "$actual" = "$2" ] || fail "$3: found '$actual', expected '$2'"
}

config_args=
[ -n "$config" ] && config_args="--config $config"

case $mode in
install)
  prefix=$work/prefix
  # shellcheck disable=SC2086
  if ! "$tool" --install "$build" --prefix "$prefix" $config_args >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install failed" >&2
    exit 1
  fi
  if grep -qi warning "$work/install.log"; then
    cat "$work/install.log" >&2
    fail "cmake --install warned"
  fi
  ;;
deb)
  # The package is made of the tree as built.
  package "$tool" "$build" DEB ${config:+-C "$config"}
  set -- "$work"/package/*.deb
  if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "FAIL: expected one .deb in $work/package, found: $*" >&2
    exit 1
  fi
  deb=$1
  [ "$(dpkg-deb -f "$deb" Package)" = kvel-frontends ] || fail "package name"
  # The runtime packages the programs and libraries need, and nothing that
  # this package ships itself.
  depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/[ (].*//' | sort | tr '\n' ' ')
  echo "Depends: $depends"
  for package in libboost-filesystem1.74.0 libc6 libgcc-s1 libstdc++6 libtcl8.6; do
    case " $depends" in
    *" $package "*) ;;
    *) fail "Depends lacks $package" ;;
    esac
  done
  case $depends in
  *zek*) fail "Depends names a framework library of this package" ;;
  esac

  # Debian's package checker finds no errors (missing copyright file,
  # uncompressed manual pages, unstripped programs, public unversioned
  # libraries, ...).
  if command -v lintian >/dev/null 2>&1; then
    lintian --no-cfg "$deb" >"$work/lintian.out" 2>&1
    if grep -q '^E: ' "$work/lintian.out"; then
      cat "$work/lintian.out" >&2
      fail "lintian reports errors"
    fi
  else
    fail "lintian is not installed (scripts/install-deps.sh installs it)"
  fi

  # Installed with dpkg into an empty root and purged again, the package
  # leaves nothing behind but dpkg's own records, which no longer name it.
  sys=$work/sys
  mkdir -p "$sys/var/lib/dpkg/info" "$sys/var/lib/dpkg/updates" "$sys/var/lib/dpkg/triggers"
  : >"$sys/var/lib/dpkg/status"
  : >"$sys/var/lib/dpkg/available"
  dpkg_root() {
    PATH=/usr/sbin:/sbin:$PATH dpkg --root="$sys" --force-not-root --log=/dev/null "$@" \
      >>"$work/dpkg.log" 2>&1
  }
  if ! dpkg_root --force-depends -i "$deb"; then
    cat "$work/dpkg.log" >&2
    fail "dpkg -i failed"
  fi
  [ -x "$sys/usr/bin/kvel" ] || fail "dpkg -i: usr/bin/kvel not installed"
  if ! dpkg_root --purge kvel-frontends; then
    cat "$work/dpkg.log" >&2
    fail "dpkg --purge failed"
  fi
  left=$(cd "$sys" && find . -mindepth 1 ! -path ./var ! -path ./var/lib ! -path './var/lib/dpkg' \
    ! -path './var/lib/dpkg/*' | sort | tr '\n' ' ')
  [ -z "$left" ] || fail "dpkg --purge left: $left"
  left=$(cd "$sys/var/lib/dpkg" && ls info | grep '^kvel-frontends' | tr '\n' ' ')
  [ -z "$left" ] || fail "dpkg --purge left records: $left"
  ! grep -q '^Package: kvel-frontends$' "$sys/var/lib/dpkg/status" ||
    fail "dpkg --purge left the package in dpkg's status"

  dpkg-deb -x "$deb" "$work/root" || exit 1
  prefix=$work/root/usr
  ;;
*)
  echo "unknown mode $mode" >&2
  exit 2
  ;;
esac

# Layout.
expect_listing "$prefix/bin" "dravik kvel quindle tarnlet " "bin/"
expect_listing "$prefix/lib" "$(echo "$libdir" | cut -d/ -f2) " "lib/"
expect_listing "$prefix/$libdir" "libzek_common.so libzek_commonmain.so " "$libdir/"
expect_listing "$prefix/share/man/man1" "dravik.1.gz kvel.1.gz quindle.1.gz tarnlet.1.gz " "share/man/man1/"
for page in dravik kvel quindle tarnlet; do
  gzip -dc "$prefix/share/man/man1/$page.1.gz" | cmp -s - "$source/doc/$page.1" ||
    fail "share/man/man1/$page.1.gz is not doc/$page.1"
done
expect_listing "$prefix/share/bash-completion/completions" "kvel " "share/bash-completion/completions/"
doc=$prefix/share/doc/kvel-frontends
if [ -d "$source/examples" ]; then
  diff -r -x copyright -x changelog.gz "$source/examples" "$doc" >/dev/null ||
    fail "share/doc/kvel-frontends/ differs from examples/"
fi
cmp -s "$source/doc/copyright" "$doc/copyright" || fail "share/doc/kvel-frontends/copyright"
grep -q '^Licensed under the Apache License, Version 2.0' "$doc/copyright" &&
  grep -q '/usr/share/common-licenses/Apache-2.0' "$doc/copyright" ||
  fail "share/doc/kvel-frontends/copyright does not name the Apache License 2.0"
version=$(sed -n 's/^project(kvel_frontends VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
gzip -dc "$doc/changelog.gz" | head -n 1 | grep -q "^kvel-frontends ($version) " ||
  fail "share/doc/kvel-frontends/changelog.gz does not start with version $version"

# The installed programs load the installed framework libraries.
for program in kvel dravik quindle tarnlet; do
  resolved=$(ldd "$prefix/bin/$program" 2>&1 | grep 'libzek_common\.so')
  case $resolved in
  *"=> $prefix/bin/../$libdir/libzek_common.so"*) ;;
  *) fail "$program loads libzek_common.so from elsewhere: $resolved" ;;
  esac
done

# kvel -help: the usage text on standard error, status 0.
run_clean "$prefix/bin/kvel" -help >"$work/help.out" 2>"$work/help.err"
status=$?
[ $status -eq 0 ] || fail "kvel -help: status $status"
grep -q '^Usage: .*kvel \[options\]$' "$work/help.err" || fail "kvel -help: no usage line"
grep -q '^    --tclbatch ' "$work/help.err" || fail "kvel -help: no --tclbatch"

# A kvel launch: the run script is written and the shell runs it.
run=$work/run
mkdir -p "$run/kvel.dir/top" && : >"$run/kvel.dir/top/kvelk.exe"
(cd "$run" && run_clean "$prefix/bin/kvel" top -testplusarg SEED=7) >"$work/kvel.out" 2>"$work/kvel.err"
status=$?
[ $status -eq 0 ] || fail "kvel top: status $status: $(cat "$work/kvel.err")"
[ "$(cat "$run/kvel.dir/top/kvel_script.tcl" 2>/dev/null)" = \
  "kvel {top} -testplusarg SEED=7 -autoloadwcfg" ] || fail "kvel top: run script"
grep -q '^kvel: top -testplusarg SEED=7 -autoloadwcfg$' "$work/kvel.out" ||
  fail "kvel top: the shell did not run the script: $(cat "$work/kvel.out")"

# dravik and quindle hand over to the shell, whose status they return.
printf 'exit 3\n' >"$run/three.tcl"
for program in dravik quindle; do
  (cd "$run" && run_clean "$prefix/bin/$program" -nolog -mode tcl -source three.tcl) \
    >"$work/$program.out" 2>&1
  status=$?
  [ $status -eq 3 ] || fail "$program: status $status: $(cat "$work/$program.out")"
done

# tarnlet prints the proxy settings.
output=$(run_clean https_proxy=http://proxy.test:3128 "$prefix/bin/tarnlet")
status=$?
[ $status -eq 0 ] || fail "tarnlet: status $status"
[ "$output" = "Proxy=http://proxy.test:3128" ] || fail "tarnlet: printed '$output'"

finish "installed tree ($mode) OK"
