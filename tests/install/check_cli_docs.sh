#!/usr/bin/env bash
# Usage: check_cli_docs.sh VEMRA-CLI SOURCE-DIR
# Fails when a command of `vemra-cli --help` is missing from vemra-cli(1) or
# from the bash completion, or when the completion offers a command the
# program does not have.
set -euo pipefail
cli=$1
source_dir=$2
manual=$source_dir/docs/man/vemra-cli.1

commands=$("$cli" --help | sed -n '/^Commands:/,/^$/p' |
    sed -n 's/^  \([a-z][a-z0-9-]*\)\( .*\)\{0,1\}$/\1/p' | sort -u)
[[ -n $commands ]] || { echo "no commands in the help"; exit 1; }

failures=0
# In the manual, each command is a term of its own: ".B name" or ".BI name ...".
terms=$(sed -e 's/\\-/-/g' "$manual" | sed -n 's/^\.BI\{0,1\} "\{0,1\}\([a-z][a-z0-9-]*\).*/\1/p' | sort -u)
for command in $commands; do
    if ! grep -qx -- "$command" <<<"$terms"; then
        echo "vemra-cli(1) does not describe '$command'"
        failures=$((failures + 1))
    fi
done

# The completion, as bash runs it, for the first word and for one option.
offered=$(bash -c '
    source "$1"
    COMP_WORDS=("$2" "")
    COMP_CWORD=1
    _vemra_cli
    printf "%s\n" "${COMPREPLY[@]}"
' check "$source_dir/tools/cli/vemra-cli.bash-completion" "$cli" | sort -u)
if [[ $offered != "$commands" ]]; then
    echo "the completion offers:"; echo "$offered"
    echo "the help names:"; echo "$commands"
    failures=$((failures + 1))
fi
options=$(bash -c '
    source "$1"
    COMP_WORDS=("$2" --plugins /tmp decode picture.jpg --qu)
    COMP_CWORD=5
    _vemra_cli
    printf "%s\n" "${COMPREPLY[@]}"
' check "$source_dir/tools/cli/vemra-cli.bash-completion" "$cli")
if [[ $options != "--quality" ]]; then
    echo "completing 'decode --qu' gave: $options"
    failures=$((failures + 1))
fi

[[ $failures -eq 0 ]] && echo "$(wc -w <<<"$commands") commands documented and completed"
exit $((failures > 0))
