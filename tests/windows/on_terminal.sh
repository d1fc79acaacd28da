#!/bin/sh
# Runs the command on a pseudo-terminal of its own and exits with its status:
# wine gives a program a console only when it runs on a terminal.
command=""
for argument in "$@"; do
  command="$command '$(printf '%s' "$argument" | sed "s/'/'\\\\''/g")'"
done
exec script -qec "$command" /dev/null </dev/null
