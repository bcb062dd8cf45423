#!/usr/bin/env bash
# Unpacks a built .deb into a throw-away root (dpkg-deb -x, which places the files as dpkg -i would) and
# runs both programs from there: --version, and the dialog itself on Qt's offscreen platform for a few
# seconds. Checks the package's declared dependencies too.
# Usage: deb_installs_and_runs.sh PACKAGE.deb
set -euo pipefail
deb=$1
version=$(dpkg-deb -f "$deb" Version)
root=$(mktemp -d "${TMPDIR:-/tmp}/dovra-package.XXXXXX")
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in fonts-noto-cjk libqt6widgets6 libfmt; do
    if [[ $depends != *"$needed"* ]]; then
        echo "FAIL: the package does not depend on $needed: $depends" >&2
        exit 1
    fi
done
bash "$(dirname "$0")/check_installed_tree.sh" "$root" "$version"

# The dialog starts and stays up until it is ended: a crash or a missing library ends it before the timeout.
status=0
QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/dovra-updater" >/dev/null 2>&1 || status=$?
if [ "$status" -ne 124 ]; then
    echo "FAIL: the installed dialog ended by itself with status $status" >&2
    exit 1
fi
echo "package $(basename "$deb") installs and both programs run (Depends: $depends)"
