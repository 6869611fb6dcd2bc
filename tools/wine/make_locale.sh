#!/bin/sh
# Compiles a glibc locale into DIR, for programs started with LOCPATH=DIR:
# Wine takes a process's ANSI code page from its locale (ru_RU.UTF-8 gives
# 1251). Needs Debian's locales package, but neither root nor a change to the
# system's locales. Does nothing when DIR already holds it.
# Usage: make_locale.sh DIR ru_RU.UTF-8
set -eu
dir="$1"
name="$2"
[ -f "$dir/$name/LC_IDENTIFICATION" ] && exit 0
mkdir -p "$dir"
rm -rf "$dir/$name.partial"
localedef -i "${name%%.*}" -f "${name#*.}" "$dir/$name.partial"
rm -rf "${dir:?}/$name"
mv "$dir/$name.partial" "$dir/$name"
echo "Locale $name made in $dir"
