#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The recorder left running as in a vehicle: quorvex-record against the virtual module with a
# python-can client on its socketcand server; half way the module is unplugged and plugged in
# again. Every frame the module sent must be in the recordings and at the client.
# Usage: scripts/soak-record.sh [seconds] [bindir]   (default 600 s, the installed /usr/bin; a
#        build directory's tools/ works too)
set -euo pipefail
seconds="${1:-600}"
bin="${2:-/usr/bin}"
exe() { if [ -f "$bin/$1" ]; then echo "$bin/$1"; else echo "$bin/$1/$1"; fi; }
work="$(mktemp -d)"
trap 'kill $(jobs -p) 2>/dev/null || true' EXIT
half=$((seconds / 2 - 5))
link="$work/tarvix0"
mkdir "$work/rec"

module() { # one plug-in: streams for $half seconds, ends once the recorder has read everything
    "$(exe tarvix-sim)" --rate 2000 --duration "$half" --exit-when-done --link "$link" \
        > "$work/sim$1.out" 2>/dev/null
}

# The recorder and the client first: the recorder waits for the module, so the client sees the
# first frame too.
XDG_CONFIG_HOME="$work/config" "$(exe quorvex-record)" --port "$link" --dir "$work/rec" \
    --socketcand 127.0.0.1:29536 2> "$work/record.err" &
recorder=$!
sleep 1
/usr/bin/python3 - 29536 > "$work/client.out" <<'PY' &
import logging, signal, sys, can
logging.getLogger('can').setLevel(logging.ERROR)
buses = [can.Bus(interface='socketcand', host='127.0.0.1', port=int(sys.argv[1]), channel=c)
         for c in ('can0', 'can1')]
print('ready', flush=True)
count = 0
running = True
def stop(*_):
    global running
    running = False
signal.signal(signal.SIGTERM, stop)
while running:
    for bus in buses:
        while bus.recv(timeout=0.005) is not None:
            count += 1
print(count, flush=True)
PY
client=$!
until grep -q ready "$work/client.out" 2>/dev/null; do sleep 0.1; done
sleep 0.5 # past the server's quiet time after rawmode
module 1 &
sim=$!
wait "$sim"
echo "unplugged after $(grep -o 'frames sent [0-9]*' "$work/sim1.out")"
sleep 5
module 2 &
wait $!
echo "second plug-in: $(grep -o 'frames sent [0-9]*' "$work/sim2.out")"
sleep 3
kill -TERM "$client" "$recorder"
wait "$client" "$recorder" || true

sent=$(cat "$work"/sim*.out | grep -o 'frames sent [0-9]*' | awk '{s += $3} END {print s}')
recorded=$(cat "$work"/rec/*.log | grep -c '^(' || true)
received=$(tail -n 1 "$work/client.out")
echo "module sent $sent, recorded $recorded, python-can received $received"
grep -i 'lost\|verbindung\|module\|модул' "$work/record.err" | head -5 || true
[ "$sent" = "$recorded" ] && [ "$sent" = "$received" ]
