#!/usr/bin/env bash
# The manual page and the bash completion against the program's own --help:
# every option it prints is documented and completed, every exit code it
# lists has its entry, and the manual page formats without a warning. The
# options are read from --help when the test runs, so an option added to
# the program without its documentation fails here.
#
# Usage: docs_match_help.sh FLITTO SOURCE_FOLDER
set -euo pipefail

flitto=$1
source_folder=$2
manual=$source_folder/docs/flitto.1
completion=$source_folder/tools/completion/flitto
failures=0

fail()
{
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$flitto" --help)

# Qt's option lines start with two blanks and a dash ("  -h, --help  ...");
# the names end where two blanks start the description.
mapfile -t options < <(
    sed -n 's/^  \(-[^ ].*\)$/\1/p' <<<"$help" | sed 's/   *.*//' |
        grep -oE -- '(^|[ ,])--?[[:alnum:]?][[:alnum:]-]*' | tr -d ' ,'
)
[ ${#options[@]} -ge 3 ] || fail "found only ${#options[@]} options in flitto --help"

# The tags of the manual page's .TP entries, escapes taken out: "\-\-from"
# is "--from".
tags=$(awk 'tagged { print; tagged = 0 } /^\.TP/ { tagged = 1 }' "$manual" |
    sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g')

for option in "${options[@]}"; do
    grep -qE -- "(^|[ \"])$(sed 's/[?]/[?]/g' <<<"$option")([ \",]|\$)" <<<"$tags" ||
        fail "$option is in flitto --help but has no entry in docs/flitto.1"
done

# The completion's answer to each long option's first letters, run in a
# bash of its own.
for option in "${options[@]}"; do
    [[ $option == --* ]] || continue
    offered=$(bash -c 'source "$1"; COMP_WORDS=(flitto "$2"); COMP_CWORD=1; _flitto
        printf "%s\n" "${COMPREPLY[@]}"' bash "$completion" "${option:0:4}")
    grep -qxF -- "$option" <<<"$offered" ||
        fail "the completion does not offer $option (it offers: ${offered//$'\n'/ })"
done

# After an option that takes a folder only folders, after --settings files
# too; also in the --option=value form, which bash splits at the "=".
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/data folder"
touch "$scratch/data.ini"
check_completion()
{
    local expected=$1 got
    shift
    got=$(bash -c 'source "$1"; shift; COMP_WORDS=(flitto "$@"); COMP_CWORD=$#; _flitto
        printf "%s\n" "${COMPREPLY[@]}"' bash "$completion" "$@" | sort | paste -sd'|')
    [ "$got" = "$expected" ] || fail "completing '$*' gives '$got', not '$expected'"
}
check_completion "$scratch/data folder" --move-to "$scratch/da"
check_completion "$scratch/data folder" --from = "$scratch/da"
check_completion "$scratch/data folder|$scratch/data.ini" --settings "$scratch/da"

# Every exit code of the help's "Exit codes:" list has its entry under
# EXIT STATUS.
mapfile -t codes < <(sed -n '/^Exit codes:/,$ s/^  \([0-9][0-9+N]*\)  .*/\1/p' <<<"$help")
[ ${#codes[@]} -ge 5 ] || fail "found only ${#codes[@]} exit codes in flitto --help"
exit_tags=$(sed -n '/^\.SH EXIT STATUS/,/^\.SH /p' "$manual" |
    awk 'tagged { print; tagged = 0 } /^\.TP/ { tagged = 1 }')
for code in "${codes[@]}"; do
    grep -qxF ".B $code" <<<"$exit_tags" ||
        fail "exit code $code is in flitto --help but not under EXIT STATUS in docs/flitto.1"
done

# A container may refuse man-db's seccomp filter; the check needs none.
warnings=$(MAN_DISABLE_SECCOMP=1 man --warnings -l "$manual" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "docs/flitto.1 formats with warnings: $warnings"

[ "$failures" -eq 0 ] || exit 1
echo "${#options[@]} options and ${#codes[@]} exit codes checked"
