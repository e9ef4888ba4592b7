#!/usr/bin/env bash
# Usage: run_story.sh CONSOLE SCRIPT SERVER [ARGUMENT...]
# Starts SERVER, a Modbus slave that prints "tcp PORT" or "pty PATH" once it can be reached,
# then runs the console's SCRIPT through --modbus on it, in real time.
set -u
console=$1 script=$2
shift 2
coproc SERVER { exec "$@"; }
pid=$SERVER_PID
trap 'kill "$pid" 2>/dev/null' EXIT
if ! read -r -t 30 kind where <&"${SERVER[0]}"; then
  echo "run_story: $* did not start" >&2
  exit 1
fi
[ "$kind" = tcp ] && where=127.0.0.1:$where
"$console" --modbus "$where" --script "$script"
