#!/bin/sh
# The MSI installer under Wine, in a Wine prefix of its own: an MSI of a lower
# version is installed and its kvel found through the system PATH by a cmd
# started afterwards; the current one replaces it and its programs run from
# the install folder; uninstalling leaves no file of ours and PATH as it was.
#
# Wine's RemoveEnvironmentStrings takes our entry out of PATH but leaves its
# ";" (Windows Installer removes both), and Wine's cmd searches PATH only up
# to an empty entry: so PATH is compared without empty entries, the test
# takes them out of its prefix's PATH first, and the search through PATH is
# checked after the first install.
#
#   windows_msi_test.sh CPACK BUILD_DIR RUNNER
set -u

if [ $# -ne 3 ]; then
  echo "usage: $0 CPACK BUILD_DIR RUNNER" >&2
  exit 2
fi
cpack=$1 build=$2 runner=$3

. "$(dirname "$0")/../support/shell_checks.sh"
make_work kvel-msi

if ! grep -q CPACK_EXTERNAL_PACKAGE_SCRIPT "$build/CPackConfig.cmake"; then
  echo "FAIL: no MSI generator configured: msitools missing (scripts/install-deps.sh windows)" >&2
  exit 1
fi

# The lower version first, then the current one, each with its staged tree.
package "$cpack" "$build" External -R 2017.1
mv "$work/package" "$work/old"
package "$cpack" "$build" External
old=$(ls "$work"/old/*.msi 2>/dev/null | head -n 1)
msi=$(ls "$work"/package/*.msi 2>/dev/null | head -n 1)
if [ -z "$old" ] || [ -z "$msi" ]; then
  echo "FAIL: no MSI made" >&2
  exit 1
fi
stage=$(ls -d "$work"/package/_CPack_Packages/*/External/"$(basename "$msi" .msi)")
# The project's version YYYY.N is the MSI's (YYYY-2000).N.0.
for pair in "$old 17.1.0" "$msi 17.2.0"; do
  msiinfo export "${pair% *}" Property | tr -d '\r' | grep -qx "ProductVersion	${pair##* }" ||
    fail "$(basename "${pair% *}"): MSI version is not ${pair##* }"
done

export KVEL_WINEPREFIX="$build/wineprefix-msi"
prefix=$KVEL_WINEPREFIX
folder="$prefix/drive_c/Program Files/kvel-frontends"
product="kvel front ends"

# Runs a Windows program through RUNNER in the test's prefix with only what
# Wine itself needs and the settings in $wine_env; output without CRs in
# $work/out, status returned.
wine_env=
wine_run() {
  env -i PATH=/usr/bin:/bin HOME="$HOME" KVEL_WINEPREFIX="$prefix" WINEDEBUG=-all $wine_env \
    ${WINEDLLOVERRIDES+"WINEDLLOVERRIDES=$WINEDLLOVERRIDES"} $runner "$@" >"$work/raw" 2>&1 </dev/null
  _status=$?
  tr -d '\r' <"$work/raw" >"$work/out"
  return $_status
}
# The products Wine lists as installed that are ours, one "{code}|||name" a line.
ours() {
  wine_run uninstaller --list
  grep "|||$product " "$work/out"
}

# Left over from an earlier run that stopped half-way: removed first.
for code in $(ours | sed 's/|||.*//'); do
  wine_run uninstaller --remove "$code"
done
# The system PATH that a cmd started now sees, one entry a line, without
# empty entries.
path_entries() {
  wine_run cmd /c 'echo %PATH%'
  tr ';' '\n' <"$work/out" | grep -v '^$'
}
# The empty entries earlier runs left are taken out of the prefix's PATH.
path_entries >"$work/path_before"
wine_run reg add 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH \
  /t REG_EXPAND_SZ /d "$(paste -sd ';' "$work/path_before")" /f ||
  fail "cannot reset the prefix's PATH: $(cat "$work/out")"
if grep -q kvel-frontends "$work/path_before"; then
  fail "PATH names our folder before the install: $(cat "$work/path_before")"
fi

wine_run msiexec /i "Z:$old" /qn || fail "installing $(basename "$old"): status $?: $(cat "$work/out")"
[ "$(ours | sed 's/.*|||//')" = "$product 2017.1" ] || fail "after the first install: $(cat "$work/out")"
# Found through PATH by a cmd started after the install; -version ends with 1.
wine_run cmd /c 'kvel.exe -version'
status=$?
[ $status -eq 1 ] || fail "kvel -version through PATH: status $status: $(cat "$work/out")"
grep -q '2017\.2' "$work/out" || fail "kvel -version through PATH: $(cat "$work/out")"

wine_run msiexec /i "Z:$msi" /qn || fail "installing $(basename "$msi"): status $?: $(cat "$work/out")"
[ "$(ours | sed 's/.*|||//')" = "$product 2017.2" ] ||
  fail "after the upgrade, not one product 2017.2: $(cat "$work/out")"

# The installed tree is the staged tree, file for file.
(cd "$stage" && find . -type f | sort) >"$work/staged"
(cd "$folder" && find . -type f | sort) >"$work/installed" 2>/dev/null
cmp -s "$work/staged" "$work/installed" ||
  fail "installed files differ from the staged tree: $(diff "$work/staged" "$work/installed" | head -n 5)"
while read -r f; do
  cmp -s "$stage/$f" "$folder/$f" || fail "installed $f differs"
done <"$work/staged"

path_entries >"$work/path_installed"
[ "$(grep -c 'kvel-frontends' "$work/path_installed")" -eq 1 ] &&
  grep -qx 'C:\\Program Files\\kvel-frontends\\bin' "$work/path_installed" ||
  fail "PATH after the upgrade: $(tr '\n' ';' <"$work/path_installed")"

# The bundled example and Tcl's library, run from the install folder.
bin='C:\Program Files\kvel-frontends\bin'
cp -R "$folder/examples/counter" "$work/counter"
(cd "$work/counter" && wine_env="COUNTER_WIDTH=8 SEED=7" && wine_run "$bin\kvel.exe" counter -f counter.f)
status=$?
[ $status -eq 0 ] || fail "kvel counter: status $status: $(cat "$work/out")"
grep -qx 'kvel: work.counter -testplusarg WIDTH=8 -testplusarg SEED=7 -autoloadwcfg -tclbatch run.tcl -onfinish quit' \
  "$work/out" || fail "kvel counter: the shell did not run the script: $(cat "$work/out")"
mkdir "$work/dravik"
printf 'puts "library [info library]"\nputs "clock [clock format 0 -format %%Y -gmt 1]"\n' >"$work/dravik/s.tcl"
(cd "$work/dravik" && wine_run "$bin\dravik.exe" -mode batch -source s.tcl -nolog)
status=$?
[ $status -eq 0 ] || fail "dravik: status $status: $(cat "$work/out")"
grep -qx 'library C:/Program Files/kvel-frontends/lib/tcl8.6' "$work/out" ||
  fail "dravik: Tcl's library is not the installed one: $(cat "$work/out")"
grep -qx 'clock 1970' "$work/out" || fail "dravik: no clock: $(cat "$work/out")"

wine_run msiexec /x "Z:$msi" /qn || fail "uninstalling: status $?: $(cat "$work/out")"
[ -z "$(ours)" ] || fail "a product left after the uninstall: $(ours)"
if [ -e "$folder" ]; then
  fail "left in Program Files: $(cd "$folder" && find . | head -n 5 | tr '\n' ' ')"
fi
path_entries >"$work/path_after"
cmp -s "$work/path_before" "$work/path_after" ||
  fail "PATH after the uninstall: $(tr '\n' ';' <"$work/path_after"), before: $(tr '\n' ';' <"$work/path_before")"

finish "MSI $(basename "$msi") ($(wc -c <"$msi") bytes): upgrade, programs through PATH, uninstall as expected"
