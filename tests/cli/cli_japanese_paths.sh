#!/usr/bin/env bash
# The command line program end to end, as a Japanese Windows user runs it: a settings folder and a table
# whose code page 932 names hold 0x5C bytes (ソ is 0x83 0x5C, 表 is 0x95 0x5C), paths given relative,
# CR LF definition files, then a rewrite whose output replaces an existing .new file.
#
#   cli_japanese_paths.sh PROGRAM [RUNNER...]     RUNNER runs PROGRAM where it cannot run itself (Wine)
set -euo pipefail
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
shift
runner=("$@")
separator=/
[[ $program == *.exe ]] && separator='\'

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() {
    echo "FAILED: $*"
    for log in *.log; do
        echo "--- $log"
        cat "$log"
    done
    exit 1
}
# Writes bytes at an offset of an existing file.
patch() { printf '%s' "$3" | dd of="$1" bs=1 seek=$(($2)) conv=notrunc status=none; }

# One table of three 2-byte records at 0x1000 in the old binary, moved to 0x1100 in the new one.
mkdir ソフト設定
printf '1000,HP,2,2,0,,,0,,,\r\n1001,,,2,0,,,0,,,\r\n' >ソフト設定/表.ini
printf 'A\r\nB\r\nC\r\n' >ソフト設定/表.idn
head -c 8192 /dev/zero >old.bin
head -c 8192 /dev/zero >new.bin
patch old.bin 0x1000 ABCDEF
patch new.bin 0x1100 ABCDEF

"${runner[@]}" "$program" create ソフト設定 old.bin new.bin --yes >create.log 2>&1 || fail "create exited with $?"
grep -qF "ソフト設定_NEW${separator}表.ini" create.log || fail "create did not name its output with '$separator'"
printf '1100,HP,2,2,0,,,0,,,\n1101,,,2,0,,,0,,,\n' | cmp -s - ソフト設定_NEW/表.ini ||
    fail "the shifted definition file differs"
cmp -s ソフト設定/表.idn ソフト設定_NEW/表.idn || fail "the name list was not copied byte for byte"

# The new binary's table was edited since; the rewrite carries the old data back, over an earlier output.
cp new.bin expected.bin
patch new.bin 0x1100 abCDef
printf 'an earlier run' >new.bin.new
"${runner[@]}" "$program" rewrite ソフト設定 ソフト設定_NEW old.bin new.bin --yes >rewrite.log 2>&1 ||
    fail "rewrite exited with $?"
cmp -s expected.bin new.bin.new || fail "new.bin.new is not the new binary with the old table data"
[ ! -e old.bin.new ] && [ "$(ls | grep -c '\.tmp')" -eq 0 ] || fail "stray files left: $(ls)"
