# SPDX-License-Identifier: GPL-3.0-or-later
# python-can's socketcand client against our server: reads frames of can0 and can1 until COUNT
# have come, prints them one a line ("IFACE ID DATA"), then sends the frames given as ID#DATA.
import logging
import sys
import time

import can

# Its parser warns of every read that ends between two messages.
logging.getLogger('can').setLevel(logging.ERROR)

host, port, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
buses = {name: can.Bus(interface='socketcand', host=host, port=port, channel=name)
         for name in ('can0', 'can1')}
print('ready', flush=True)
# Kept and printed at the end. Polled in rounds far apart, so frames pile up and the client's
# reads of 1,024 bytes split them: each split loses a frame unless the server ends its lines.
lines = []
deadline = time.monotonic() + 120
while len(lines) < count and time.monotonic() < deadline:
    for name, bus in buses.items():
        msg = bus.recv(timeout=0.01)
        while msg is not None:
            # This client marks every frame extended: the identifier and data are what count.
            lines.append('%s %X %s' % (name, msg.arbitration_id, msg.data.hex().upper()))
            msg = bus.recv(timeout=0)
    time.sleep(0.05)
for text in sys.argv[4:]:
    ident, data = text.split('#')
    buses['can0'].send(can.Message(arbitration_id=int(ident, 16), is_extended_id=len(ident) > 3,
                                   data=bytes.fromhex(data)))
time.sleep(0.5)
for bus in buses.values():
    bus.shutdown()
print('\n'.join(lines))
print('done', len(lines), flush=True)
