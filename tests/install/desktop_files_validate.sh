#!/usr/bin/env bash
# The desktop file and the AppStream metainfo as their validators see them. Says "skipped" (status 77, which
# CTest shows as a skipped test) rather than passing when a validator is not installed: scripts/test installs
# both.
# Usage: desktop_files_validate.sh DESKTOP_FILE METAINFO_FILE
set -euo pipefail
desktop=$1
metainfo=$2
for tool in desktop-file-validate appstreamcli; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed (package desktop-file-utils / appstream): skipped"
        exit 77
    fi
done
status=0
desktop-file-validate "$desktop" || status=1
# --pedantic: the hints a software centre would show too, not just the errors.
appstreamcli validate --no-net --pedantic "$metainfo" || status=1
exit $status
