#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""Call rates of the tarsion Python client against plain dbus-python: Poke and Peek, each in rounds
that take turns, so a change in the machine's load meets both alike. Prints one line:
"client_poke=N plain_poke=N client_peek=N plain_peek=N" (calls per second).
Usage: client_rates.py [CALLS]   (PYTHONPATH names the folder holding the tarsion module)
"""
import sys
import time

import dbus
import tarsion

calls = int(sys.argv[1]) if len(sys.argv) > 1 else 5000
ROUND = 250
bus = dbus.SessionBus()
target = bus.get_object("com.tessaric.Tarsion", "/Trm90627", introspect=False)
plain = dbus.Interface(target, "com.tessaric.Trm90627")
client = tarsion.Board()


def variant(value):
    return dbus.Int32(value, variant_level=1)


kinds = {
    "client_poke": lambda i: client.poke(0x0A, i),
    "plain_poke": lambda i: plain.Poke(variant(0x0A), variant(i)),
    "client_peek": lambda i: client.peek(0x0A),
    "plain_peek": lambda i: plain.Peek(dbus.Int16(0x0A)),
}
spent = dict.fromkeys(kinds, 0.0)
plain.Peek(dbus.Int16(0x0A))
rounds = 0
for done in range(0, calls, ROUND):
    rounds += 1
    for name, call in kinds.items():
        start = time.monotonic()
        for i in range(done, done + ROUND):
            call(i)
        spent[name] += time.monotonic() - start
client.close()
print(" ".join("%s=%.0f" % (name, rounds * ROUND / spent[name]) for name in kinds))
