#!/usr/bin/env bash
# Usage: run_mbpoll.sh F4_MODBUS_SIM tcp|pty
# Debian's mbpoll (libmodbus) against f4-modbus-sim: reads the temperature (register 100, mbpoll's
# reference 101), writes a set point above it (register 300) and reads it back, polls the
# temperature until it has moved toward the set point, finds another slave address silent, and
# ends the program with SIGTERM; a port already taken and a bad option end it with 1 and 2.
set -u
slave=$1 transport=$2
fail() { echo "run_mbpoll ($transport): $*" >&2; exit 1; }
command -v mbpoll >/dev/null || fail "mbpoll is not installed (scripts/setup-deps installs it)"
# Command lines refused with status 2: a port out of range, a plant without thermal mass, an
# option whose value is missing, an option that does not exist (arguments parted by '|').
for line in "--tcp|65536" "--plant|0 1 1 1 1" "--plant" "--tcp" "--pty|--baud"; do
  IFS='|' read -r -a words <<<"$line"
  timeout 5 "$slave" "${words[@]}" 2>/dev/null
  [ $? -eq 2 ] || fail "\"$line\" was not refused with status 2"
done

# A small chamber without dead time: the temperature moves as soon as the set point is written.
plant=(--plant "0.05 2500 1200 10 0")
if [ "$transport" = tcp ]; then
  coproc SLAVE { exec "$slave" --tcp 0 "${plant[@]}"; }
else
  coproc SLAVE { exec "$slave" --pty "${plant[@]}"; }
fi
pid=$SLAVE_PID
trap 'kill "$pid" 2>/dev/null' EXIT
read -r -t 30 kind where <&"${SLAVE[0]}" || fail "f4-modbus-sim did not say where it serves"
if [ "$kind" = tcp ]; then
  line=(-m tcp -p "$where" 127.0.0.1)
  taken=$(timeout 5 "$slave" --tcp "$where" 2>&1)
  [ $? -eq 1 ] && [[ "$taken" == *"Address already in use"* ]] || fail "port taken twice: $taken"
else
  line=(-m rtu -b 9600 -P none "$where")
fi

# The value of one register (mbpoll counts references from 1), or nothing on a failure.
value() { mbpoll -a "${2:-1}" -r $(($1 + 1)) -c 1 -1 -o 1 "${line[@]}" | awk '/^\[/ {print $2}'; }

start=$(value 100)
[[ "$start" =~ ^-?[0-9]+$ ]] || fail "no temperature read from register 100: '$start'"
target=$((start + 15))
mbpoll -a 1 -r 301 -1 "${line[@]}" "$target" | grep -q "^Written 1 references" ||
  fail "set point $target not written to register 300"
[ "$(value 300)" = "$target" ] || fail "register 300 reads $(value 300), not $target"

deadline=$((SECONDS + 20))
now=$start
while [ "$now" = "$start" ] && [ $SECONDS -lt $deadline ]; do
  sleep 0.2
  now=$(value 100)
done
[[ "$now" =~ ^-?[0-9]+$ ]] && [ "$now" -gt "$start" ] ||
  fail "the temperature went from $start to '$now', not toward $target"

[ -z "$(value 100 7)" ] || fail "slave 7 answered"

kill -TERM "$pid"
wait "$pid"
status=$?
trap - EXIT
[ $status -eq 0 ] || fail "f4-modbus-sim ended with status $status on SIGTERM"
echo "run_mbpoll ($transport): temperature $start -> $now toward $target; slave 7 silent"
