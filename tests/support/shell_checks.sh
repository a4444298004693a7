# Sourced by the shell tests: a throw-away working folder and the counting of
# failed checks.
#
#   . "$(dirname "$0")/../support/shell_checks.sh"
#   make_work NAME      $work: a new folder, removed when the script exits
#   fail TEXT...        reports a failed check and counts it
#   finish TEXT...      exits 1 when a check failed, else prints TEXT, exits 0

make_work() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX") || exit 1
  trap 'rm -rf "$work"' EXIT
}

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "$*"
  exit 0
}

# package CPACK BUILD_DIR GENERATOR [cpack options...]: packages the tree as
# built into $work/package; exits 1 when cpack fails, counts a warning as a
# failed check. Naming the Ninja generator keeps cpack from building the
# project from inside a test (the Makefile generator's "preinstall" depends on
# "all").
package() {
  _cpack=$1 _build=$2 _generator=$3
  shift 3
  if ! "$_cpack" --config "$_build/CPackConfig.cmake" -G "$_generator" -B "$work/package" \
      -D CPACK_CMAKE_GENERATOR=Ninja "$@" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack failed" >&2
    exit 1
  fi
  if grep -qi warning "$work/cpack.log"; then
    cat "$work/cpack.log" >&2
    fail "cpack warned"
  fi
}
