#!/usr/bin/env bash
# docs_test.sh TESSMAR-CLI DOC: docs/cli.md names every option the program's
# help names: those of `tessmar-cli --help` anywhere in it, and those of
# `tessmar-cli COMMAND --help` in that command's own section ("## COMMAND"), so
# the page cannot fall behind the program. Every command has its section.
set -uo pipefail
cli=$1 doc=$2
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
[ -s "$doc" ] || fail "no $doc"
options() { grep -oE -- '--[a-z][a-z0-9-]*[a-z0-9]' <<<"$1" | sort -u; }
# A word in the text, not the start of a longer one (--heatmap in --heatmap-scale).
names() { grep -qE -- "$1([^a-z0-9-]|\$)" <<<"$2"; }

help=$("$cli" --help) || fail "tessmar-cli --help: status $?"
for option in $(options "$help"); do
  names "$option" "$(cat "$doc")" || fail "$doc lacks $option, which tessmar-cli --help names"
done
commands=$(sed -n '/^Subcommands:/,/^$/p' <<<"$help" | awk 'NF && !/:$/ {print $1}')
[ -n "$commands" ] || fail "no commands in tessmar-cli --help"
checked=0
for command in $commands; do
  section=$(awk -v h="## $command" '$0 == h {on = 1; next} /^## / {on = 0} on' "$doc")
  [ -n "$section" ] || fail "$doc has no section \"## $command\""
  text=$("$cli" "$command" --help) || fail "tessmar-cli $command --help: status $?"
  for option in $(options "$text"); do
    case $option in --help | --version) continue ;; esac  # every command's, named once above
    names "$option" "$section" || fail "$doc's section $command lacks $option, which tessmar-cli $command --help names"
    checked=$((checked + 1))
  done
done
echo "$doc names the $checked options of $(wc -w <<<"$commands") commands and the program's own"
