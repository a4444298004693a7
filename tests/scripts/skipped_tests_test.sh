#!/bin/sh
# The listing of skipped cases from a made-up CTest log: a reason over two
# lines, one with non-ASCII text, one with CR LF line ends, the same case skipped again by a second run
# of its program (named once), GoogleTest's closing summary (no time: not a
# second entry), a passing case, and a log without skips.
#
#   skipped_tests_test.sh SOURCE_DIR
set -u
source=$1
. "$(dirname "$0")/../support/shell_checks.sh"
make_work kvel-skipped-tests

mkdir -p "$work/b/Testing/Temporary"
cat >"$work/b/Testing/Temporary/LastTest.log" <<'END'
1/2 Testing: one_test
[ RUN      ] A.Passes
[       OK ] A.Passes (1 ms)
[ RUN      ] A.Skips
C:\src\a_test.cpp(12): Skipped
no serial port
COM1 to open here
[  SKIPPED ] A.Skips (0 ms)
[ RUN      ] Rows/B.Case/Cyrillic
b_test.cpp:40: Skipped
кириллица: é 漢字 😀
[  SKIPPED ] Rows/B.Case/Cyrillic (2 ms)
[  SKIPPED ] 2 tests, listed below:
[  SKIPPED ] A.Skips
2/2 Testing: one_test.ru_RU.UTF-8
[ RUN      ] A.Skips
C:\src\a_test.cpp(12): Skipped
no serial port
COM1 to open here
[  SKIPPED ] A.Skips (0 ms)
END
printf '[ RUN      ] C.Crlf\r\nc.cpp:1: Skipped\r\nWine makes none\r\n[  SKIPPED ] C.Crlf (0 ms)\r\n' \
  >>"$work/b/Testing/Temporary/LastTest.log"
cat >"$work/expected" <<'END'
A.Skips: no serial port COM1 to open here
Rows/B.Case/Cyrillic: кириллица: é 漢字 😀
C.Crlf: Wine makes none
END
sh "$source/scripts/show-skipped-tests.sh" "$work/b" >"$work/out" 2>&1 || fail "the script failed"
cmp -s "$work/expected" "$work/out" || fail "listing: $(diff "$work/expected" "$work/out")"

mkdir -p "$work/none/Testing/Temporary"
printf '[ RUN      ] A.Passes\n[       OK ] A.Passes (1 ms)\n' >"$work/none/Testing/Temporary/LastTest.log"
[ "$(sh "$source/scripts/show-skipped-tests.sh" "$work/none")" = "No test case was skipped." ] ||
  fail "a log without skips"
if sh "$source/scripts/show-skipped-tests.sh" "$work/missing" >/dev/null 2>&1; then
  fail "a build folder without a log is not an error"
fi

finish "skipped cases listed as expected"
