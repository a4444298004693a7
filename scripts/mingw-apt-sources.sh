#!/bin/sh
# Writes the source-package entries of a private apt configuration, made from
# a system's own package sources: each "deb" entry of ETC/sources.list and
# ETC/sources.list.d/*.list becomes a "deb-src" line in OUT/sources.list, and
# each deb822 file ETC/sources.list.d/*.sources is copied to
# OUT/sources.list.d/ with its "Types:" made "deb-src". Nothing under ETC is
# changed.
#
#   scripts/mingw-apt-sources.sh ETC OUT      (ETC is normally /etc/apt)
set -eu

if [ $# -ne 2 ]; then
  echo "usage: $0 ETC OUT" >&2
  exit 2
fi
etc=$1 out=$2

rm -rf "$out/sources.list.d"
mkdir -p "$out/sources.list.d"
: >"$out/sources.list"
for f in "$etc/sources.list" "$etc"/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  sed -n 's/^[[:space:]]*deb[[:space:]][[:space:]]*/deb-src /p' "$f" >>"$out/sources.list"
done
for f in "$etc"/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  sed 's/^Types:.*$/Types: deb-src/I' "$f" >"$out/sources.list.d/$(basename "$f")"
done
