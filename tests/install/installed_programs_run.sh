#!/usr/bin/env bash
# "cmake --install" of the build into a throw-away root, then the installed tree's checks.
# Usage: installed_programs_run.sh BUILD_DIR VERSION [--no-dialog]
set -euo pipefail
root=$(mktemp -d "${TMPDIR:-/tmp}/dovra-install.XXXXXX")
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$1" --prefix /usr >/dev/null
bash "$(dirname "$0")/check_installed_tree.sh" "$root" "$2" "${3:-}"
