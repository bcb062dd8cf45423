#!/usr/bin/env bash
# The man page says what the program's --help says: every line of the help (but its "usage:" heading) is on
# the rendered page, in the same order, and the page's header names the program's --version.
# Usage: man_page_matches_help.sh PROGRAM PAGE
set -euo pipefail
cli=$1
page=$2

trimmed() { sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' | grep -v '^$' || true; }

mapfile -t help_lines < <("$cli" --help | tail -n +2 | trimmed)
if command -v man >/dev/null; then
    # As a reader sees it: wide enough that no line is filled or broken.
    mapfile -t page_lines < <(MANWIDTH=250 LC_ALL=C.UTF-8 man -l "$page" 2>/dev/null | trimmed)
else
    echo "man is not installed: comparing the page's source"
    mapfile -t page_lines < <(sed -e '/^\.\\"/d' -e 's/\\-/-/g' -e 's/\\e/\\/g' -e 's/^\\&//' "$page" | trimmed)
fi

next=0
for line in "${help_lines[@]}"; do
    found=
    for ((i = next; i < ${#page_lines[@]}; ++i)); do
        if [ "${page_lines[i]}" = "$line" ]; then
            found=$i
            break
        fi
    done
    if [ -z "$found" ]; then
        echo "not on the man page (or out of order): $line" >&2
        exit 1
    fi
    next=$((found + 1))
done

version=$("$cli" --version)
if ! grep -q "^\.TH .*\"${version//-/\\\\-}\"" "$page"; then
    echo "the page's header does not name \"$version\":" >&2
    grep '^\.TH' "$page" >&2
    exit 1
fi
echo "${#help_lines[@]} lines of --help on the man page, version $version"
