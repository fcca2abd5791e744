#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""Register writes one call each against the same writes in one PokeMany call, on a paced virtual
board (TARSION_PORT=sim-paced): each chip register write is 10 byte cycles of 9 port accesses at
about 1 us each, so the port's own pace is about 90 us a write. Prints one line:
"writes=N single=S batch=B port=P single_cpu=s batch_cpu=b" (seconds each; P = N x 90 accesses x
1 us; s and b the program's own CPU time for the writes, which a busy machine does not stretch).
Usage: batch_rate.py [WRITES]
"""
import os
import sys
import time

import dbus

writes = int(sys.argv[1]) if len(sys.argv) > 1 else 10000
ACCESSES_PER_WRITE = 90
ACCESS_SECONDS = 1e-6
NO_TIMEOUT = 3600.0

bus = dbus.SessionBus()
target = bus.get_object("com.tessaric.Tarsion", "/Trm90627", introspect=False)
board = dbus.Interface(target, "com.tessaric.Trm90627")
board1 = dbus.Interface(target, "com.tessaric.Tarsion.Board1")


def variant(value):
    return dbus.Int32(value, variant_level=1)


daemon = dbus.Interface(bus.get_object("org.freedesktop.DBus", "/org/freedesktop/DBus"), "org.freedesktop.DBus")
server = int(daemon.GetConnectionUnixProcessID("com.tessaric.Tarsion"))


def server_cpu():
    """The program's user and system time, in seconds."""
    with open(f"/proc/{server}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


board.Peek(dbus.Int16(0x0A))  # warm-up: name lookup
cpu = server_cpu()
start = time.monotonic()
for i in range(writes):
    board.Poke(variant(0x0A), variant(i))
single = time.monotonic() - start
single_cpu = server_cpu() - cpu

items = dbus.Array([dbus.Struct((dbus.Byte(0x0A), dbus.UInt32(i)), signature="yu") for i in range(writes)],
                   signature="(yu)")
cpu = server_cpu()
start = time.monotonic()
board1.PokeMany(items, timeout=NO_TIMEOUT)
batch = time.monotonic() - start
batch_cpu = server_cpu() - cpu
if int(board.Peek(dbus.Int16(0x0A))) != writes - 1:
    sys.exit("the last write is not on the board")

print("writes=%d single=%.3f batch=%.3f port=%.3f single_cpu=%.3f batch_cpu=%.3f" %
      (writes, single, batch, writes * ACCESSES_PER_WRITE * ACCESS_SECONDS, single_cpu, batch_cpu))
