#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""Automation call rates through a plain D-Bus client (dbus-python, Debian's python3-dbus).

Poke and Peek of the program against a call that does no work (Peer.Ping on the same object) and
against the same calls to the do-nothing server on the same bus (tarsion_null_server, when it
runs). The kinds take turns in rounds of a few hundred calls, so that a change in the machine's
load meets all of them alike. Prints one line: "poke=N peek=N ping=N null_poke=N null_peek=N"
(calls per second; the null figures only when the server runs).
Usage: call_rates.py [CALLS]
"""
import sys
import time

import dbus

calls = int(sys.argv[1]) if len(sys.argv) > 1 else 10000
ROUND = 250
bus = dbus.SessionBus()
target = bus.get_object("com.tessaric.Tarsion", "/Trm90627", introspect=False)
board = dbus.Interface(target, "com.tessaric.Trm90627")
peer = dbus.Interface(target, "org.freedesktop.DBus.Peer")
NULL_SERVER = "com.tessaric.Tarsion.Board.null"
null = None
if bus.name_has_owner(NULL_SERVER):
    null = dbus.Interface(bus.get_object(NULL_SERVER, "/Trm90627", introspect=False), "com.tessaric.Trm90627")


def variant(value):
    return dbus.Int32(value, variant_level=1)


kinds = {
    "ping": lambda i: peer.Ping(),
    "poke": lambda i: board.Poke(variant(0x0A), variant(i)),
    "peek": lambda i: board.Peek(dbus.Int16(0x0A)),
}
if null is not None:
    kinds["null_poke"] = lambda i: null.Poke(variant(0x0A), variant(i))
    kinds["null_peek"] = lambda i: null.Peek(dbus.Int16(0x0A))
spent = dict.fromkeys(kinds, 0.0)

peer.Ping()  # warm-up: name lookup
if null is not None:
    null.Peek(dbus.Int16(0x0A))
rounds = 0
for done in range(0, calls, ROUND):
    rounds += 1
    for name, call in kinds.items():
        start = time.monotonic()
        for i in range(done, done + ROUND):
            call(i)
        spent[name] += time.monotonic() - start


def rate(name):
    return rounds * ROUND / spent[name]


print(" ".join("%s=%.0f" % (name, rate(name)) for name in kinds))
