#!/usr/bin/env bash
# Packs the build with CPack, as scripts/package does, into a throw-away folder and checks the package
# (deb_installs_and_runs.sh). Says "skipped" (status 77) where the packaging tools are not installed:
# scripts/test installs them.
# Usage: packed_deb_runs.sh BUILD_DIR
set -euo pipefail
build_dir=$1
for tool in dpkg-deb dpkg-shlibdeps; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed (package dpkg-dev): skipped"
        exit 77
    fi
done
out=$(mktemp -d "${TMPDIR:-/tmp}/dovra-cpack.XXXXXX")
trap 'rm -rf "$out"' EXIT
if ! cpack --config "$build_dir/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
    cat "$out/cpack.log"
    exit 1
fi
bash "$(dirname "$0")/deb_installs_and_runs.sh" "$out"/*.deb
