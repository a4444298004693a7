#!/bin/sh
# Builds the Windows ZIP from the built tree, unpacks it into a fresh folder
# and runs the programs from there through RUNNER (Wine) with a clean
# environment: no PATH or WINEPATH leading to the build tree.
#
#   windows_zip_test.sh CPACK BUILD_DIR RUNNER
set -u

if [ $# -ne 3 ]; then
  echo "usage: $0 CPACK BUILD_DIR RUNNER" >&2
  exit 2
fi
cpack=$1 build=$2 runner=$3

. "$(dirname "$0")/../support/shell_checks.sh"
make_work kvel-zip

package "$cpack" "$build" ZIP
zip=$(ls "$work"/package/*.zip 2>/dev/null | head -n 1)
if [ -z "$zip" ]; then
  echo "FAIL: no ZIP made" >&2
  exit 1
fi

mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip") || { echo "FAIL: cannot unpack $zip" >&2; exit 1; }
top=$(ls -d "$work"/unpacked/*/ | head -n 1)
top=${top%/}

# Contents: the shipped programs and everything they load, nothing of the tests.
for f in bin/kvel.exe bin/dravik.exe bin/quindle.exe bin/tarnlet.exe \
         bin/libzek_common.dll bin/libzek_commonmain.dll \
         bin/libstdc++-6.dll bin/libgcc_s_seh-1.dll bin/libwinpthread-1.dll \
         bin/tcl86.dll lib/tcl8.6/init.tcl lib/tcl8.6/tzdata/UTC \
         doc/README.md doc/copyright doc/LICENSE doc/kvel.txt doc/dravik.txt doc/quindle.txt doc/tarnlet.txt \
         examples/counter/counter.f examples/counter/kvel.dir/work.counter/kvelk.exe; do
  [ -f "$top/$f" ] || fail "missing $f"
done
if ls "$top"/lib/*/*.a >/dev/null 2>&1; then
  fail "import libraries in the ZIP: $(ls "$top"/lib/*/*.a | tr '\n' ' ')"
fi
if ls "$top"/bin | grep -q '_double\|_test'; then
  fail "test programs in the ZIP: $(ls "$top"/bin | grep '_double\|_test' | tr '\n' ' ')"
fi
cmp -s "$(dirname "$0")/../../LICENSE" "$top/doc/LICENSE" || fail "doc/LICENSE is not the licence"
grep -q 'kvel - ' "$top/doc/kvel.txt" || fail "doc/kvel.txt is not the formatted manual page"
if grep -q "$(printf '\010')" "$top/doc/kvel.txt"; then
  fail "doc/kvel.txt holds overstrike sequences"
fi

# Runs a program of the ZIP with only what Wine itself needs.
run_clean() {
  env -i PATH=/usr/bin:/bin HOME="$HOME" WINEPREFIX="${WINEPREFIX:-$HOME/.wine}" \
    WINEDEBUG=-all ${WINEDLLOVERRIDES+"WINEDLLOVERRIDES=$WINEDLLOVERRIDES"} "$@"
}
# Output of a Windows program without its CRs.
plain() {
  tr -d '\r' <"$1"
}

bin=$top/bin

run_clean $runner "$bin/kvel.exe" -help >"$work/help.out" 2>&1
status=$?
[ $status -eq 0 ] || fail "kvel -help: status $status"
grep -q '^Kvel simulation executable' "$work/help.out" || fail "kvel -help: no usage text"

# The bundled example through the stand-in shell.
cp -R "$top/examples/counter" "$work/counter"
(cd "$work/counter" && run_clean COUNTER_WIDTH=8 SEED=7 $runner "$bin/kvel.exe" counter -f counter.f \
  >"$work/kvel.out" 2>&1 </dev/null)
status=$?
[ $status -eq 0 ] || fail "kvel counter: status $status: $(plain "$work/kvel.out")"
plain "$work/kvel.out" | grep -qx 'kvel: work.counter -testplusarg WIDTH=8 -testplusarg SEED=7 -autoloadwcfg -tclbatch run.tcl -onfinish quit' ||
  fail "kvel counter: the shell did not run the script: $(plain "$work/kvel.out")"
printf 'kvel {work.counter} -testplusarg WIDTH=8 -testplusarg SEED=7 -autoloadwcfg -tclbatch {run.tcl} -onfinish quit\r\n' \
  >"$work/expected_script"
cmp -s "$work/expected_script" "$work/counter/kvel.dir/work.counter/kvel_script.tcl" ||
  fail "kvel counter: run script is not the expected CR LF text"

# dravik on a script; Tcl's script library comes from the ZIP itself.
mkdir "$work/dravik"
printf 'puts "library [info library]"\nputs "hello from dravik"\nexit 3\n' >"$work/dravik/s.tcl"
(cd "$work/dravik" && run_clean $runner "$bin/dravik.exe" -mode batch -source s.tcl -nolog \
  >"$work/dravik.out" 2>&1 </dev/null)
status=$?
[ $status -eq 3 ] || fail "dravik: status $status: $(plain "$work/dravik.out")"
plain "$work/dravik.out" | grep -qx 'hello from dravik' || fail "dravik: no script output"
library=$(plain "$work/dravik.out" | sed -n 's/^library //p')
case $library in
  */$(basename "$work")/unpacked/*/lib/tcl8.6) ;;
  *) fail "dravik: Tcl's library is '$library', not the one in the ZIP" ;;
esac

# Tcl's whole library from the ZIP: clock (msgcat), modules and packages with their DLLs.
{ echo 'puts "clock [clock format 0 -format %Y-%m-%d -gmt 1]"'
  for p in http platform registry dde; do echo "puts \"$p [package require $p]\""; done
} >"$work/dravik/library.tcl"
(cd "$work/dravik" && run_clean $runner "$bin/dravik.exe" -mode batch -source library.tcl -nolog \
  >"$work/library.out" 2>&1 </dev/null) || fail "Tcl library: status $?: $(plain "$work/library.out")"
for line in 'clock 1970-01-01' 'http [0-9].*' 'platform [0-9].*' 'registry [0-9].*' 'dde [0-9].*'; do
  plain "$work/library.out" | grep -qx "$line" || fail "no '$line' in: $(plain "$work/library.out")"
done

# tarnlet
run_clean http_proxy=proxy.example:3128 $runner "$bin/tarnlet.exe" >"$work/tarnlet.out" 2>&1
status=$?
[ $status -eq 0 ] || fail "tarnlet: status $status"
[ "$(plain "$work/tarnlet.out")" = "Proxy=proxy.example:3128" ] ||
  fail "tarnlet: output '$(plain "$work/tarnlet.out")'"

finish "ZIP $(basename "$zip"): contents and programs as expected"
