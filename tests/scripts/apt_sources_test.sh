#!/bin/sh
# The private apt sources of the MinGW dependency build, made from a made-up
# system configuration: one-line entries with and without options, comments,
# existing deb-src lines, .list files, deb822 .sources files (including one
# that names both types), and files apt itself ignores.
#
#   apt_sources_test.sh SOURCE_DIR
set -u
source=$1
. "$(dirname "$0")/../support/shell_checks.sh"
make_work kvel-apt-sources

etc=$work/etc
mkdir -p "$etc/sources.list.d"
cat >"$etc/sources.list" <<'END'
# deb http://commented.invalid/debian bookworm main
deb http://one.invalid/debian bookworm main contrib
  deb   [signed-by=/usr/share/keyrings/k.gpg] http://two.invalid/debian bookworm-updates main
deb-src http://one.invalid/debian bookworm main
debx http://not-an-entry.invalid/ x y
END
cat >"$etc/sources.list.d/extra.list" <<'END'
deb http://three.invalid/debian bookworm-backports main
END
cat >"$etc/sources.list.d/debian.sources" <<'END'
Types: deb
URIs: http://four.invalid/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

types: deb deb-src
URIs: http://five.invalid/debian-security
Suites: bookworm-security
Components: main
END
echo "deb http://ignored.invalid/ x y" >"$etc/sources.list.d/other.list.disabled"
cp "$etc/sources.list.d/debian.sources" "$etc/sources.list.d/old.sources.save"
( cd "$etc" && find . -type f -exec md5sum {} + | sort ) >"$work/before"

out=$work/out
mkdir -p "$out/sources.list.d"
echo "stale" >"$out/sources.list.d/stale.sources"
if ! sh "$source/scripts/mingw-apt-sources.sh" "$etc" "$out"; then
  echo "FAIL: the script failed" >&2
  exit 1
fi

cat >"$work/expected.list" <<'END'
deb-src http://one.invalid/debian bookworm main contrib
deb-src [signed-by=/usr/share/keyrings/k.gpg] http://two.invalid/debian bookworm-updates main
deb-src http://three.invalid/debian bookworm-backports main
END
cmp -s "$work/expected.list" "$out/sources.list" ||
  fail "sources.list: $(diff "$work/expected.list" "$out/sources.list")"

[ "$(ls "$out/sources.list.d")" = "debian.sources" ] ||
  fail "sources.list.d holds: $(ls "$out/sources.list.d" | tr '\n' ' ')"
sed 's/^[Tt]ypes:.*$/Types: deb-src/' "$etc/sources.list.d/debian.sources" >"$work/expected.sources"
cmp -s "$work/expected.sources" "$out/sources.list.d/debian.sources" ||
  fail "debian.sources: $(diff "$work/expected.sources" "$out/sources.list.d/debian.sources")"
[ "$(grep -c '^Types: deb-src$' "$out/sources.list.d/debian.sources")" = 2 ] ||
  fail "debian.sources: not every stanza is deb-src"

( cd "$etc" && find . -type f -exec md5sum {} + | sort ) >"$work/after"
cmp -s "$work/before" "$work/after" || fail "the system configuration was changed"

finish "private apt sources as expected"
