# SPDX-License-Identifier: GPL-3.0-or-later
# python-can's socketcand client against our server, in one of two ways:
#   rounds HOST PORT COUNT [ID#DATA ...]
#     reads frames of can0 and can1 until COUNT have come, polling in rounds far apart, then
#     sends the frames given;
#   lockstep HOST PORT COUNT BURST
#     reads frames of can0 as they come and says "got N" after each BURST, so the test sends the
#     next burst only once this one is in (a client that keeps up).
# Either way it prints the frames one a line ("IFACE ID DATA"), then
# "done N bad B incomplete I other O": the warnings python-can logged ("Bad data: ...",
# "incomplete message", anything else).
import logging
import sys
import time

import can


class WarningCount(logging.Handler):
    def __init__(self):
        super().__init__(logging.WARNING)
        self.counts = {'bad': 0, 'incomplete': 0, 'other': 0}

    def emit(self, record):
        text = record.getMessage()
        if text.startswith('Bad data'):
            self.counts['bad'] += 1
        elif 'incomplete message' in text.lower():
            self.counts['incomplete'] += 1
        else:
            self.counts['other'] += 1


warnings = WarningCount()
logger = logging.getLogger('can')
logger.addHandler(warnings)
logger.setLevel(logging.WARNING)
logger.propagate = False

mode, host, port, count = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
names = ('can0', 'can1') if mode == 'rounds' else ('can0',)
buses = {name: can.Bus(interface='socketcand', host=host, port=port, channel=name)
         for name in names}
print('ready', flush=True)


def line(name, msg):
    # This client marks every frame extended: the identifier and data are what count.
    return '%s %X %s' % (name, msg.arbitration_id, msg.data.hex().upper())


lines = []
deadline = time.monotonic() + 120  # a hang guard only
if mode == 'rounds':
    # Polled in rounds far apart, so frames pile up and the client's reads of 1,024 bytes split
    # them: each split loses a frame unless the server gives it a character to drop.
    while len(lines) < count and time.monotonic() < deadline:
        for name, bus in buses.items():
            msg = bus.recv(timeout=0.01)
            while msg is not None:
                lines.append(line(name, msg))
                msg = bus.recv(timeout=0)
        time.sleep(0.05)
    for text in sys.argv[5:]:
        ident, data = text.split('#')
        buses['can0'].send(can.Message(arbitration_id=int(ident, 16),
                                       is_extended_id=len(ident) > 3, data=bytes.fromhex(data)))
    time.sleep(0.5)
else:
    burst = int(sys.argv[5])
    while len(lines) < count and time.monotonic() < deadline:
        msg = buses['can0'].recv(timeout=1)
        if msg is None:
            continue
        lines.append(line('can0', msg))
        if len(lines) % burst == 0:
            print('got', len(lines), flush=True)
for bus in buses.values():
    bus.shutdown()
print('\n'.join(lines))
print('done %d bad %d incomplete %d other %d' % (len(lines), warnings.counts['bad'],
                                                warnings.counts['incomplete'],
                                                warnings.counts['other']), flush=True)
