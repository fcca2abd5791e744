#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""Drives Tarsion's automation object from Python (dbus-python): loads the example filter into the
I coefficient RAM and the example pattern into the pattern memory, writes the carrier frequency
register and reads it back. Works on copies of the example files in a new temporary folder (the
filter load writes its RAM image beside the filter). Exits with status 1 when an operation fails;
Tarsion's log says why."""

import os
import shutil
import sys
import tempfile

try:
    import dbus
except ImportError:
    sys.exit("load_and_read.py needs dbus-python (package python3-dbus)")

HERE = os.path.dirname(os.path.abspath(__file__))
WORK = tempfile.mkdtemp(prefix="tarsion-example-")
for name in ("lowpass.coe", "tone.pat"):
    shutil.copy(os.path.join(HERE, name), WORK)
print(f"working in {WORK} (the filter's RAM image lowpass_I.Ram goes there)")
# Memory loads may take minutes: wait as long as it takes (dbus-python counts in seconds).
NO_TIMEOUT = 24 * 3600.0

bus = dbus.SessionBus()
# Starts Tarsion through D-Bus activation when none runs.
board = bus.get_object("com.tessaric.Tarsion", "/Trm90627")
board.Create(dbus_interface="com.tessaric.Tarsion.Automation", timeout=NO_TIMEOUT)
tarsion = dbus.Interface(board, "com.tessaric.Trm90627")


def check(ok, what):
    if not ok:
        sys.exit(f"{what} failed; see Tarsion's log")


# RAM 0 (I), Best Fit, scale 1.0, load the offset, interpolation 0, not 2-bit mode, not symmetric.
check(tarsion.LoadCoefficientRam(dbus.Int16(0), os.path.join(WORK, "lowpass.coe"), True, 1.0, True,
                                 dbus.Int16(0), False, False, timeout=NO_TIMEOUT), "LoadCoefficientRam")
check(tarsion.LoadExternalMemory(os.path.join(WORK, "tone.pat"), timeout=NO_TIMEOUT), "LoadExternalMemory")
# Register addresses and data travel as variants holding int32 (or double for words of 2^31 and more).
check(tarsion.Poke(dbus.Int32(0x0A, variant_level=1), dbus.Int32(0x20000000, variant_level=1)), "Poke")
value = int(tarsion.Peek(dbus.Int16(0x0A)))
print(f"register 0x0a reads 0x{value:08x}")
sys.exit(0 if value == 0x20000000 else 1)
