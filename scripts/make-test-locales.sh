#!/bin/sh
# Makes the locales the text tests run Wine in (ru_RU.UTF-8: ANSI code page
# 1251; ja_JP.UTF-8: code page 932) into a private folder, for LOCPATH, where
# the machine does not have them. Needs the locales' sources (package
# libc-bin / locales: /usr/share/i18n). Usage: make-test-locales.sh DIR
set -eu
dir=$1
mkdir -p "$dir"
for name in ru_RU ja_JP; do
  if [ ! -f "$dir/$name.UTF-8/LC_CTYPE" ]; then
    localedef -i "$name" -f UTF-8 "$dir/$name.UTF-8.tmp.$$" >/dev/null 2>&1 || {
      echo "make-test-locales: cannot make $name.UTF-8 (are /usr/share/i18n/locales there?)" >&2
      rm -rf "$dir/$name.UTF-8.tmp.$$"
      exit 1
    }
    rm -rf "$dir/$name.UTF-8"
    mv "$dir/$name.UTF-8.tmp.$$" "$dir/$name.UTF-8"
  fi
done
