#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""The tarsion Python client against a headless Tarsion on a fresh virtual board: values, order,
and failures raised with the item and the log's reason."""

import sys

if "--without-numpy" in sys.argv:
    sys.modules["numpy"] = None  # the client's import of numpy fails as on a machine without it

import tarsion

failures = []


def expect(what, got, wanted):
    if got != wanted:
        failures.append(f"{what}: got {got!r}, wanted {wanted!r}")


def raises(what, call, reason, index=None):
    try:
        call()
    except tarsion.OperationFailed as error:
        expect(f"{what} reason", error.reason, reason)
        expect(f"{what} index", error.index, index)
        return
    failures.append(f"{what}: no OperationFailed")


with tarsion.Board() as b:
    b.poke(0x0A, 0xFFFFFFFF)  # a word above 2^31 travels as a double
    expect("peek of a word above 2^31", b.peek(0x0A), 0xFFFFFFFF)
    b.poke_many({0x0B: 1, 0x0C: 2})
    b.poke_many([(0x0B, 0x01234567)])
    expect("peek_many in order", list(b.peek_many([0x0C, 0x0B, 0x0A])), [2, 0x01234567, 0xFFFFFFFF])
    b.write(0x0A, 0)
    expect("read of a register holding 0", b.read(0x0A), 0)
    b.pld_write_many([(0, 0x11), (1, 0x22)])
    expect("pld_read_many", list(b.pld_read_many([1, 0])), [0x22, 0x11])
    b.write_memory("constellation", 0x10, [0xA1, b"\xb2"])
    expect("read_memory", list(b.read_memory("constellation", 0x10, 2)), [0xA1, 0xB2])
    expect("verify after the write", b.verify("constellation"), [])
    expect("status", {k: v for k, v in b.status().items() if k in ("board id", "port", "demo", "busy")},
           {"board id": "sim", "port": "Virtual board", "demo": False, "busy": False})

    if tarsion.numpy is not None:
        np = tarsion.numpy
        b.poke_many(np.array([[0x0B, 0xFFFFFFFF], [0x0C, 7]], dtype=np.uint64))
        values = b.peek_many(np.array([0x0B, 0x0C], dtype=np.uint8))
        expect("numpy in and out", (type(values).__name__, values.tolist()), ("ndarray", [0xFFFFFFFF, 7]))
        b.write_memory("pattern", 0x100, np.array([0x012345, 0x00FFFF], dtype=np.uint32))
        expect("numpy memory words", b.read_memory("pattern", 0x100, 2).tolist(), [0x012345, 0x00FFFF])

    # Failures carry what the log said.
    raises("poke of an address with no register", lambda: b.poke(0x13, 1),
           "Error : Invalid Address; Couldn't Poke to Register 13")
    raises("batch stopping at its third item", lambda: b.poke_many([(0x0B, 5), (0x0C, 6), (0x10, 2), (0x0D, 7)]),
           "Error : Invalid Data for this Register; Couldn't Poke to Register 10", 2)
    expect("items before the failure are done", list(b.peek_many([0x0B, 0x0C])), [5, 6])
    raises("load of a missing file", lambda: b.load_constellation_ram("/nonexistent/map.hex"),
           "Could Not Open File /nonexistent/map.hex")
    raises("verify of an unknown memory", lambda: b.verify("fifo"),
           "Error : Unknown Memory, expected I, Q, constellation or pattern", 0)
    expect("wait_for_bits that can't match", b.wait_for_bits(0x0B, 0xFF, 0x06, timeout=0), False)

for failure in failures:
    print("FAIL:", failure, file=sys.stderr)
sys.exit(1 if failures else 0)
