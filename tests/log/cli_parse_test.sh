#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# kestrun-cli parse on sample files: output, exit status and messages.
#   cli_parse_test.sh KESTRUN_CLI SOURCE_DIR
set -uo pipefail
cli=$1
src=$2
# shellcheck source=../common/check.sh
source "$src/tests/common/check.sh"

"$cli" parse "$src/samples/demo.log" > "$tmp/out" 2> "$tmp/err"
check "demo exit" 0 $?
check "demo records" "" "$(diff "$src/tests/log/data/demo.parse.jsonl" "$tmp/out")"

"$cli" parse - < "$src/samples/demo.log" > "$tmp/stdin"
check "standard input" "" "$(diff "$tmp/out" "$tmp/stdin")"

check "count" 18 "$("$cli" parse --count "$src/samples/demo.log")"
check "ignore with and without blank" 16 "$("$cli" parse --ignore "FF 45" --count "$src/samples/demo.log")"
check "ignore run together" 16 "$("$cli" parse --ignore FF45 --count "$src/samples/demo.log")"

"$cli" parse "$tmp/absent.log" > "$tmp/out" 2> "$tmp/err"
check "missing file exit" 1 $?
check "missing file message" "kestrun-cli parse: Cannot open file \"$tmp/absent.log\". No such file or directory" "$(cat "$tmp/err")"
check "missing file output" "" "$(cat "$tmp/out")"

printf '\xef\xbb\xbfa\r\n\xc0\x80\r\n' > "$tmp/bad.log"
"$cli" parse "$tmp/bad.log" > "$tmp/out" 2> "$tmp/err"
check "bad UTF-8 exit" 1 $?
check "bad UTF-8 message" "kestrun-cli parse: $tmp/bad.log, строка 2: No mapping for the Unicode character exists in the target multi-byte code page" "$(cat "$tmp/err")"

p2='[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol2'
printf '%s -> 8F 06 00 01 00 10 AA 12 34\r\n%s <- 8F 07 00 01 00 10 00 56 78\r\nx\r\n%s -> 8F 06 00 01 00 10 9F 82 12 34\r\n%s <- 8F 07 00 01 00 10 00 56 78\r\n' \
  "$p2" "$p2" "$p2" "$p2" > "$tmp/frame.log"
"$cli" parse "$tmp/frame.log" > "$tmp/out" 2> "$tmp/err"
check "bad frame exit" 1 $?
check "bad frame message" "kestrun-cli parse: $tmp/frame.log: Некорректный формат пакета" "$(cat "$tmp/err")"
check "records before bad frame" \
  '{"Data":"10 AA","Attributes":"[12.03.2024 10:15:30.123] [00001A2C]","AnswerData":"10 00","Protocol":"pProtocol2","LineNumber":1,"DriverError":"","DurationMs":0}' \
  "$(cat "$tmp/out")"

"$cli" parse > /dev/null 2>&1
check "no file exit" 2 $?
"$cli" parse --ignore > /dev/null 2>&1
check "ignore without value exit" 2 $?

exit $((failures > 0))
