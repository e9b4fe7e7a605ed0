#!/usr/bin/env bash
# The bash completion of zevi-convert: what it offers for typed lines, and
# that its settings keys are the ones the program itself writes and accepts.
# Usage: completion_test.sh COMPLETION_FILE ZEVI_CONVERT
set -u
completion=$(realpath "$1")
program=$(realpath "$2")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# shellcheck source=/dev/null
source "$completion"
complete -p zevi-convert >/dev/null 2>&1 || fail "no completion registered for zevi-convert"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists" "$work/out"
touch "$work/walk.txt" "$work/walk.ini" "$work/lists/datums.txt"
cd "$work" || exit 1

# Offers for the text before the cursor, as readline would replace them.
offers() {
    COMP_LINE=$1
    COMP_POINT=${#1}
    COMPREPLY=(stale)
    _zevi_convert
    ((${#COMPREPLY[@]} > 0)) && printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' ' -
}

# line typed | expected offers, sorted, space-separated | reason
while IFS='|' read -r line expected reason; do
    [[ -z $line ]] && continue
    got=$(offers "$line")
    [[ $got == "$expected" ]] || fail "$reason: '$line' offered '$got', expected '$expected'"
done <<'ROWS'
zevi-convert --on-e|--on-error|a long option from its start
zevi-convert --show-|--show-settings --show-table|options sharing a start
zevi-convert --on-error |abort all ask ignore|every --on-error value
zevi-convert --on-error a|abort all ask|--on-error values by their start
zevi-convert --on-error=ab|abort|--on-error=value: only the value is replaced
zevi-convert --encoding |auto utf-16 utf-8 windows-1252|every --encoding value
zevi-convert --encoding=utf|utf-16 utf-8|--encoding=value
zevi-convert --set Da|Dateformat= Datum=|settings keys by their start
zevi-convert --set da|Dateformat= Datum=|keys compare without regard to case
zevi-convert --set=WptID|WptIDPrefix=|--set=KEY: only the key is replaced
zevi-convert --set Mode=|| a value of free text offers nothing
zevi-convert wa|walk.ini walk.txt|source files
zevi-convert -s w|walk.ini walk.txt|settings files
zevi-convert -o o|out|the target
zevi-convert --output=o|out|--output=target
zevi-convert --data-dir |lists out|folders only for --data-dir
zevi-convert --set Mode=T wa|walk.ini walk.txt|files after a --set
ROWS

# Called with the words alone, as bash splits them at '=' (no COMP_LINE):
# words, comma-separated, the last being completed | expected offers | reason
while IFS='|' read -r list expected reason; do
    [[ -z $list ]] && continue
    IFS=, read -ra COMP_WORDS <<<"$list"
    [[ $list == *, ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    got=$(unset COMP_LINE COMP_POINT; COMPREPLY=(); _zevi_convert
          ((${#COMPREPLY[@]} > 0)) && printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' ' -)
    [[ $got == "$expected" ]] || fail "$reason: words '$list' offered '$got', expected '$expected'"
done <<'ROWS'
zevi-convert,--on-error,|abort all ask ignore|a value after the option word
zevi-convert,--set,=,Da|Dateformat= Datum=|--set=KEY split at '='
zevi-convert,--encoding,=,utf|utf-16 utf-8|--encoding=value split at '='
zevi-convert,--set,Mode,=,|| a value of free text split at '='
zevi-convert,--sho|--show-settings --show-table|an option
ROWS
unset COMP_WORDS COMP_CWORD

[[ -z $(offers "zevi-convert --zone-letter ") ]] || fail "--zone-letter offered something"

# The keys: every key a settings file holds is offered, and every offered key
# is one the program accepts.
read -ra offered <<<"$(offers "zevi-convert --set ")"
written=$("$program" --show-settings | sed -n 's/^\([A-Za-z]*\)=.*/\1/p')
[[ -n $written ]] || fail "zevi-convert --show-settings printed no keys"
for key in $written; do
    [[ " ${offered[*]} " == *" $key= "* ]] || fail "key $key of a settings file is not offered"
done
for entry in "${offered[@]}"; do
    err=$("$program" --set "${entry}1" --show-settings 2>&1 >/dev/null)
    [[ $err != *"unknown settings key"* ]] || fail "offered key ${entry%=} is refused: $err"
done

# Every option the program lists in its usage is offered.
read -ra options <<<"$(offers "zevi-convert -")"
listed=$("$program" --help | grep -oE '^ +(-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+')
[[ -n $listed ]] || fail "zevi-convert --help listed no options"
for option in $listed; do
    [[ " ${options[*]} " == *" $option "* ]] || fail "option $option of --help is not offered"
done

if ((failures > 0)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "completion: all cases passed"
