#!/usr/bin/env bash
# Checks an installed tree (a "cmake --install" into a throw-away root, or an unpacked package) as a user and
# a packager see it: every file in its standard place, both programs start from there and name VERSION,
# nothing carries debug information, and the desktop file and the AppStream metainfo pass their validators
# (where those are installed).
# Usage: check_installed_tree.sh ROOT VERSION [--no-dialog]
set -euo pipefail
root=$1
version=$2
dialog=1
[ "${3:-}" = --no-dialog ] && dialog=0
usr=$root/usr
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

expected=(bin/dovra-updater-cli share/man/man1/dovra-updater-cli.1 share/doc/dovra-updater/copyright)
if ((dialog)); then
    expected+=(bin/dovra-updater share/applications/dovra-updater.desktop
               share/icons/hicolor/scalable/apps/dovra-updater.svg
               share/metainfo/io.github.dovraupdater.dovraupdater.metainfo.xml)
    for size in 16 22 24 32 48 64 128 256; do
        expected+=("share/icons/hicolor/${size}x${size}/apps/dovra-updater.png")
    done
fi
for file in "${expected[@]}"; do
    [ -f "$usr/$file" ] || fail "missing $file"
done

cli_version=$("$usr/bin/dovra-updater-cli" --version) || fail "dovra-updater-cli --version failed"
[ "$cli_version" = "dovra-updater-cli $version" ] || fail "dovra-updater-cli --version says \"$cli_version\""
programs=("$usr/bin/dovra-updater-cli")
if ((dialog)); then
    programs+=("$usr/bin/dovra-updater")
    gui_version=$(QT_QPA_PLATFORM=offscreen "$usr/bin/dovra-updater" --version 2>/dev/null) ||
        fail "dovra-updater --version failed"
    [ "$gui_version" = "DovraUpdater $version" ] || fail "dovra-updater --version says \"$gui_version\""
    grep -q "<release version=\"$version\"" "$usr"/share/metainfo/*.metainfo.xml ||
        fail "the metainfo's release is not $version"
    if command -v appstreamcli >/dev/null; then
        appstreamcli validate --no-net "$usr"/share/metainfo/*.metainfo.xml >/dev/null ||
            fail "appstreamcli validate: $(appstreamcli validate --no-net "$usr"/share/metainfo/*.metainfo.xml)"
    fi
    if command -v desktop-file-validate >/dev/null; then
        report=$(desktop-file-validate "$usr/share/applications/dovra-updater.desktop" 2>&1) ||
            fail "desktop-file-validate: $report"
    fi
fi
for program in "${programs[@]}"; do
    if readelf -S "$program" | grep -q '\.debug_'; then
        fail "$(basename "$program") carries debug information"
    fi
done

if ((failures)); then
    exit 1
fi
echo "installed tree in $root: ${#expected[@]} files, both programs say $version"
