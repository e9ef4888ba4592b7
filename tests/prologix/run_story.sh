#!/usr/bin/env bash
# Usage: run_story.sh SIMULATED_ADAPTER CONSOLE SCRIPT tcp|pty
# Runs the console's script through --prologix on the simulated adapter once it says where.
set -u
adapter=$1 console=$2 script=$3 transport=$4
if [ "$transport" = tcp ]; then
  coproc ENDPOINT { exec "$adapter" --tcp 0; }
else
  coproc ENDPOINT { exec "$adapter" --pty; }
fi
pid=$ENDPOINT_PID
trap 'kill "$pid" 2>/dev/null' EXIT
if ! read -r -t 30 kind where <&"${ENDPOINT[0]}"; then
  echo "run_story: the simulated adapter did not start" >&2
  exit 1
fi
[ "$kind" = tcp ] && where=127.0.0.1:$where
"$console" --prologix "$where" --script "$script"
