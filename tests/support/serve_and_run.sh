#!/usr/bin/env bash
# Usage: serve_and_run.sh OPTION CONSOLE SCRIPT SERVER [ARGUMENT...]
# Starts SERVER (a simulated adapter or a Modbus slave), which prints "tcp PORT" or "pty PATH"
# once it can be reached, then runs the console's SCRIPT in real time with OPTION (--prologix or
# --modbus) naming where.
set -u
option=$1 console=$2 script=$3
shift 3
coproc SERVER { exec "$@"; }
pid=$SERVER_PID
trap 'kill "$pid" 2>/dev/null' EXIT
if ! read -r -t 30 kind where <&"${SERVER[0]}"; then
  echo "serve_and_run: $* did not start" >&2
  exit 1
fi
[ "$kind" = tcp ] && where=127.0.0.1:$where
"$console" "$option" "$where" --script "$script"
