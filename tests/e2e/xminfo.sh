#!/usr/bin/env bash
# xminfo over real XM files (Debian's heroes-sound-tracks): every one loads and reports sane
# facts, and lasts as long as another player (openmpt123, a black box) says; several files,
# standard input; damaged and missing files get their reason and exit status.
set -u
source "$QUARBTRO_SOURCE/tests/lib/check.sh"
source "$QUARBTRO_SOURCE/tests/lib/real_modules.sh"
xminfo="$QUARBTRO_BUILD/xminfo"
work=$(mktemp -d "${TMPDIR:-/tmp}/quarbtro-xminfo.XXXXXX")
trap 'rm -rf "$work"' EXIT

fetch_real_modules || exit 1
check_eq "the package has its 13 modules" 13 "${#real_modules[@]}"

# Everything the sequencer and mixer rely on, as one jq expression that is true or false.
sane='
  (.channels >= 1 and .channels <= 32)
  and (.songLength >= 1 and .songLength <= 256) and (.orders | length) == .songLength
  and .restartPosition >= 0 and .restartPosition < .songLength
  and (.patternRows | length) == .patternCount
  and ([.orders[]] | max) < .patternCount
  and all(.patternRows[]; . >= 1 and . <= 256)
  and .defaultSpeed >= 1 and .defaultBpm >= 32
  and .duration > 0 and .duration <= 1200
  and (.linear | type) == "boolean"
  and all(.samples[];
        .instrument >= 1 and .slot >= 0 and .slot < 16
        and ([.loopType, .loop] | . == [1, "none"] or . == [2, "forward"] or . == [4, "ping-pong"])
        and .loopStart + .loopLength <= .length
        and (.length == 0 or .loopLength >= 1)
        and (.loopType != 1 or (.loopStart == 0 and .loopLength == .length))
        and .volume >= 0 and .volume <= 64 and .panning >= 0 and .panning <= 255
        and .finetune >= -128 and .finetune <= 127)
  and ([.samples[].instrument] | all(. <= $count))'
for module in "${real_modules[@]}"; do
  name=$(basename "$module")
  status=0
  json=$("$xminfo" --json "$module" 2>"$work/err") || status=$?
  check_eq "$name loads" 0 "$status"
  count=$(jq '.instrumentCount' <<<"$json")
  check_eq "$name: sane facts" true "$(jq --argjson count "$count" "$sane" <<<"$json")"
  check_true "$name: has sample data" jq -e '[.samples[].length] | add > 0' <<<"$json" >/dev/null
  check_eq "$name: nothing on standard error" "" "$(cat "$work/err")"
  # Each player ends a song on its own rule: allow 0.2 % and 10 ms, as the render test does.
  ours=$(jq '.duration * 1000 | round' <<<"$json")
  theirs=$(openmpt123 --info "$module" 2>/dev/null | awk '/^Duration/ { split($2, t, ":"); printf "%d", (t[1] * 60 + t[2]) * 1000 + 0.5 }')
  difference=$(( ours - theirs ))
  check_true "$name: lasts as long as openmpt123 says (${ours} ms, ${theirs} ms)" \
    test "${difference#-}" -le $(( ours / 500 + 10 ))
done

# One file in detail, its facts read from the file by hand.
intro="${real_modules[0]%/*}/intro.xm"
"$xminfo" --json "$intro" >"$work/intro.json"
check_eq "intro.xm: header facts" '[8,2,0,[0,1],2,[64,64],8,true,10,140]' \
  "$(jq -c '[.channels, .songLength, .restartPosition, .orders, .patternCount, .patternRows, .instrumentCount, .linear, .defaultSpeed, .defaultBpm]' "$work/intro.json")"
check_eq "intro.xm: second sample ping-pong" '{"instrument":2,"slot":0,"name":"","nameBytes":"                      ","length":16628,"loopStart":64,"loopLength":16564,"loopType":4,"loop":"ping-pong","volume":64,"finetune":0,"panning":128,"relativeNote":-12}' \
  "$(jq -c '.samples[1]' "$work/intro.json")"
summary=$("$xminfo" "$intro")
check_eq "summary: title and tracker" 'title "", written with "FastTracker v2.00"' "$(sed -n 2p <<<"$summary")"
check_eq "summary: channels line" "8 channels, linear frequencies, speed 10, 140 BPM" "$(sed -n 3p <<<"$summary")"
check_eq "summary: orders" "song length 2, restart at 0, orders: 0 1" "$(sed -n 4p <<<"$summary")"
check_eq "summary: duration" "duration 0:$(jq -r '.duration' "$work/intro.json" | awk '{ printf "%06.3f", $1 }')" \
  "$(sed -n 5p <<<"$summary")"
check_eq "summary: an instrument's name" 'instrument 1 "alexel.": 1 sample' "$(grep '^instrument 1 ' <<<"$summary")"
check_eq "summary: a sample" '  sample 0 "": 16628 frames, ping-pong loop 64+16564, volume 64, finetune 0, panning 128, relative note -12' \
  "$(grep -A1 '^instrument 2 ' <<<"$summary" | tail -n 1)"
check_true "summary: a sample without a loop shows no loop points" \
  grep -Eq '^  sample [0-9]+ "[^"]*": [0-9]+ frames, no loop, volume' <<<"$summary"
check_eq "summary: no loop points anywhere for a sample without a loop" "" "$(grep 'no loop [0-9]' <<<"$summary")"

# Names, read from the files by hand: the title, the tracker, instruments and samples.
endscroll="${real_modules[0]%/*}/endscroll.xm"
check_eq "endscroll.xm: title, tracker, first instrument" \
  '["nanny (short vers.)","FastTracker v2.00","Alexel/Realtech/Slkd",1]' \
  "$("$xminfo" --json "$endscroll" | jq -c '[.title, .tracker, .instruments[0].name, .instruments[0].sampleCount]')"
check_eq "every instrument is listed once" "$(jq '.instrumentCount' "$work/intro.json")" "$(jq '.instruments | length' "$work/intro.json")"
# A title with a quote, a control character and accents in code page 437 (the file is
# FastTracker 2's) is still valid JSON.
cp "$intro" "$work/named.xm"
printf 'a"b\001\202t\202' | dd of="$work/named.xm" bs=1 seek=17 conv=notrunc status=none
check_eq "an odd title in JSON" "$(printf 'a"b\001\303\251t\303\251')" "$("$xminfo" --json "$work/named.xm" | jq -r .title)"
check_eq "an odd title for people" "$(printf 'title "a"b?\303\251t\303\251"')" "$("$xminfo" "$work/named.xm" | sed -n 2p | cut -d, -f1)"
check_true "the title's bytes themselves, escaped" grep -q '"titleBytes":"a\\"b\\u0001\\u0082t\\u0082 *"' <("$xminfo" --json "$work/named.xm")
# Any other tracker's file is read in Windows-1252: curly quotes, the euro.
printf 'MilkyTracker        ' | dd of="$work/named.xm" bs=1 seek=38 conv=notrunc status=none
printf '\223x\224 \200   ' | dd of="$work/named.xm" bs=1 seek=17 conv=notrunc status=none
check_eq "another tracker's title in Windows-1252" "$(printf '\342\200\234x\342\200\235 \342\202\254')" \
  "$("$xminfo" --json "$work/named.xm" | jq -r .title)"

# Several files: one summary after another, or one JSON array; standard input as "-" or a pipe.
"$xminfo" --json "$intro" "$intro" >"$work/two.json"
check_eq "two files: a JSON array of both" "$(jq -c '[., .]' "$work/intro.json")" "$(jq -c . "$work/two.json")"
check_eq "two files: two summaries" 2 "$("$xminfo" "$intro" "$intro" | grep -c '^duration ')"
check_eq "standard input as -: the same facts" "$(jq -c 'del(.file)' "$work/intro.json")" \
  "$("$xminfo" --json - <"$intro" | jq -c 'del(.file)')"
check_eq "a pipe as /dev/stdin: the same facts" "$(jq -c 'del(.file)' "$work/intro.json")" \
  "$(cat "$intro" | "$xminfo" --json /dev/stdin | jq -c 'del(.file)')"
check_eq "each object names its file" '["-","/dev/stdin"]' \
  "$("$xminfo" --json - /dev/stdin <"$intro" 2>/dev/null | jq -c '[.[].file]')"
check_eq "standard input is shown by name" "standard input" "$(cat "$intro" | "$xminfo" - | head -n 1)"

# Refusals: the reason on standard error and status 1.
cp "$intro" "$work/no-channels.xm"
printf '\0\0' | dd of="$work/no-channels.xm" bs=1 seek=68 conv=notrunc status=none
status=0; message=$("$xminfo" "$work/no-channels.xm" 2>&1 >/dev/null) || status=$?
check_eq "no channels: status 1" 1 "$status"
check_eq "no channels: reason" "xminfo: $work/no-channels.xm: the song has no channels" "$message"
# Damaged files that still play: the warning says what is missing, and the status is 0.
head -c 100000 "$intro" >"$work/cut.xm"
status=0; "$xminfo" --json "$work/cut.xm" >"$work/cut.json" 2>"$work/err" || status=$?
check_eq "cut in a sample: status 0" 0 "$status"
check_eq "cut in a sample: a warning that says what is missing" \
  '["the file ends early: the sample data lacks 10077 bytes from sample 0 of instrument 4 (of its 21702 bytes) on, and instruments 5 to 8 are missing; the missing part plays as silence"]' \
  "$(jq -c .warnings "$work/cut.json")"
check_eq "cut in a sample: the sample keeps its length" "$(jq .samples[3].length "$work/intro.json")" "$(jq .samples[3].length "$work/cut.json")"
check_true "cut in a sample: the warning for people too" grep -q '^warning: the file ends early' <("$xminfo" "$work/cut.xm")
patterns_end=$(( 336 + $(od -An -tu4 -j 336 -N4 "$intro") ))  # the first pattern's header and data
patterns_end=$(( patterns_end + $(od -An -tu2 -j $(( 336 + 7 )) -N2 "$intro") ))
head -c "$patterns_end" "$intro" >"$work/no-instruments.xm"
check_eq "cut after its first pattern: the rest said to be missing" \
  '["the file ends early: pattern 1 and instruments 1 to 8 are cut short or missing; the missing part plays as silence"]' \
  "$("$xminfo" --json "$work/no-instruments.xm" | jq -c .warnings)"
check_eq "a whole file: no warnings" '[]' "$(jq -c .warnings "$work/intro.json")"
status=0; message=$("$xminfo" "$QUARBTRO_SOURCE/README.md" 2>&1 >/dev/null) || status=$?
check_eq "not an XM file: status 1" 1 "$status"
check_eq "not an XM file: reason" "xminfo: $QUARBTRO_SOURCE/README.md: not an XM module: it does not begin with \"Extended Module: \"" "$message"

# Files that cannot be read: status 1, the others still shown. Wrong arguments: status 2.
status=0; message=$("$xminfo" "$work/missing.xm" 2>&1 >/dev/null) || status=$?
check_eq "missing file: status 1" 1 "$status"
check_eq "missing file: says so" "xminfo: cannot open $work/missing.xm: No such file or directory" "$message"
status=0; message=$("$xminfo" "$work" 2>&1 >/dev/null) || status=$?
check_eq "a directory: status 1" 1 "$status"
check_eq "a directory: says so" "xminfo: cannot read $work: Is a directory" "$message"
status=0; "$xminfo" --json "$intro" "$work/missing.xm" "$intro" >"$work/some.json" 2>/dev/null || status=$?
check_eq "a missing file among others: status 1" 1 "$status"
check_eq "a missing file among others: an error in its place" \
  "[\"$intro\",{\"file\":\"$work/missing.xm\",\"error\":\"cannot open $work/missing.xm: No such file or directory\"},\"$intro\"]" \
  "$(jq -c 'map(if .error then . else .file end)' "$work/some.json")"
# Files that cannot be modules are refused at once, however much they hold.
check_eq "/dev/zero: refused at once" "xminfo: /dev/zero: not an XM module: it does not begin with \"Extended Module: \"" \
  "$(timeout 5 "$xminfo" /dev/zero 2>&1)"
truncate -s 2G "$work/huge.xm"
check_eq "a 2 GiB file: refused by its size" "xminfo: $work/huge.xm: 2.0 GiB, larger than 256 MiB, more than this player takes for an XM module" \
  "$(timeout 5 "$xminfo" "$work/huge.xm" 2>&1)"
rm "$work/huge.xm"
# A song of length 0 has nothing to play: shown with that warning, refused by the players.
cp "$intro" "$work/empty-song.xm"
printf '\0\0' | dd of="$work/empty-song.xm" bs=1 seek=64 conv=notrunc status=none
check_eq "a song of length 0: duration 0 and why" '[0,["the song has no order positions (its song length is 0): nothing to play"]]' \
  "$("$xminfo" --json "$work/empty-song.xm" | jq -c '[.duration, .warnings]')"
status=0; "$xminfo" >/dev/null 2>&1 || status=$?
check_eq "no arguments: status 2" 2 "$status"

finish
