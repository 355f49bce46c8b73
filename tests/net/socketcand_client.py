# SPDX-License-Identifier: GPL-3.0-or-later
# python-can's socketcand client against our server: reads frames of can0 and can1 until COUNT
# have come, prints them one a line ("IFACE ID DATA"), then sends the frames given as ID#DATA.
import sys
import time

import can

host, port, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
buses = {name: can.Bus(interface='socketcand', host=host, port=port, channel=name)
         for name in ('can0', 'can1')}
print('ready', flush=True)
# Kept and printed at the end: this client loses a message that straddles two of its socket
# reads, so it must never fall far behind the server.
lines = []
deadline = time.monotonic() + 120
while len(lines) < count and time.monotonic() < deadline:
    for name, bus in buses.items():
        msg = bus.recv(timeout=0.01)
        while msg is not None:
            # This client marks every frame extended: the identifier and data are what count.
            lines.append('%s %X %s' % (name, msg.arbitration_id, msg.data.hex().upper()))
            msg = bus.recv(timeout=0)
for text in sys.argv[4:]:
    ident, data = text.split('#')
    buses['can0'].send(can.Message(arbitration_id=int(ident, 16), is_extended_id=len(ident) > 3,
                                   data=bytes.fromhex(data)))
time.sleep(0.5)
for bus in buses.values():
    bus.shutdown()
print('\n'.join(lines))
print('done', len(lines), flush=True)
