# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""The tarsion Python client against private headless servers on fresh virtual boards: refused
arguments reach nothing, values and order, failures with the log's reason, timeouts, return types,
the package's metadata."""

import importlib.metadata
import inspect
import math
import os
import signal
import subprocess
from pathlib import Path

import pytest

import tarsion
from tarsion import testing

BAD_ARGUMENTS = [
    # (what, call, the argument the message names)
    ("peek above the chip's registers", lambda b: b.peek(0x10A), "address"),
    ("peek of a negative address", lambda b: b.peek(-246), "address"),
    ("poke above the chip's registers", lambda b: b.poke(0x10A, 7), "address"),
    ("poke of a word above 32 bits", lambda b: b.poke(0x0A, 2**32), "data"),
    ("poke of a negative word", lambda b: b.poke(0x0A, -1), "data"),
    ("poke of a string address", lambda b: b.poke("0x0a", 1), "address"),
    ("poke of a fraction", lambda b: b.poke(0x0A, 1.5), "data"),
    ("modify_bits with a mask above 32 bits", lambda b: b.modify_bits(0x0A, 1, 2**32), "mask"),
    ("set_bits past the last register", lambda b: b.set_bits(0x20, 1), "address"),
    ("reset_bits with a negative mask", lambda b: b.reset_bits(0x0A, -1), "mask"),
    ("pld_read of register 269", lambda b: b.pld_read(269), "reg"),
    ("read of register 64", lambda b: b.read(64), "reg"),
    ("write of register 64", lambda b: b.write(64, 0), "reg"),
    ("write of a byte above 255", lambda b: b.write(0, 256), "data"),
    ("pld_write of a negative byte", lambda b: b.pld_write(0, -1), "data"),
    ("poke_many whose second word is too large", lambda b: b.poke_many([(0x0A, 1), (0x0B, 2**32)]), "writes[1] value"),
    ("poke_many of a non-pair", lambda b: b.poke_many([(0x0A, 1, 2)]), "writes[0]"),
    ("peek_many with one address too large", lambda b: b.peek_many([0x00, 0x20]), "addresses[1]"),
    ("pld_write_many of register 64", lambda b: b.pld_write_many({64: 1}), "writes[0] reg"),
    ("pld_read_many of register 300", lambda b: b.pld_read_many([300]), "regs[0]"),
    ("read_memory of an unknown memory", lambda b: b.read_memory("fifo"), "which"),
    ("read_memory from past the end", lambda b: b.read_memory("I", 256), "first"),
    ("read_memory of one word too many", lambda b: b.read_memory("pattern", 0, 0x40001), "count"),
    ("read_memory from a negative address", lambda b: b.read_memory("q", -1, 1), "first"),
    ("write_memory of a long coefficient word", lambda b: b.write_memory("I", 0, [bytes(10)]), "words[0]"),
    ("write_memory past the end", lambda b: b.write_memory("constellation", 255, [1, 2]), "reach past the end"),
    ("write_memory of a word above a byte", lambda b: b.write_memory("constellation", 0, [256]), "words[0]"),
    ("write_memory of a short pattern word", lambda b: b.write_memory("pattern", 0, [b"\x01\x02"]), "words[0]"),
    ("verify of an unknown memory", lambda b: b.verify("fifo"), "which"),
    ("wait_for_bits longer than a minute", lambda b: b.wait_for_bits(0x0A, 1, 1, timeout=61), "timeout"),
    ("wait_for_bits with a mask above 32 bits", lambda b: b.wait_for_bits(0x0A, 2**32, 1), "mask"),
    ("load_coefficient_ram of RAM 3", lambda b: b.load_coefficient_ram(3, "lowpass.coe"), "ram"),
    ("load_coefficient_ram with a NaN scale", lambda b: b.load_coefficient_ram(0, "lowpass.coe", False, math.nan),
     "scale"),
    ("load_coefficient_ram beyond a short", lambda b: b.load_coefficient_ram(0, "lowpass.coe", interpolation=2**15),
     "interpolation"),
    ("dump_coefficient_ram of both RAMs", lambda b: b.dump_coefficient_ram(2, "dump.ram"), "ram"),
    ("load_external_mem of kind 3", lambda b: b.load_external_mem(3, 0, 1.0, 0.0, 16, 16), "i_kind"),
    ("load_external_mem with no samples per cycle", lambda b: b.load_external_mem(1, 0, 1.0, 0.0, 0, 16),
     "samples_per_cycle"),
    ("load_external_mem with an infinite amplitude", lambda b: b.load_external_mem(1, 0, math.inf, 0.0, 16, 16),
     "i_amplitude"),
    ("a file name holding NUL", lambda b: b.load_constellation_ram("map\0.hex"), "file"),
    ("a file name that is a number", lambda b: b.load_external_memory(42), "file"),
    ("a call timeout of 0", lambda b: b.peek(0x0A, call_timeout=0), "call_timeout"),
    ("as_array without numpy", None, "as_array"),
]


@pytest.fixture
def program():
    return testing.find_program()


@pytest.fixture
def bus(tmp_path, program):
    with testing.PrivateBus(tmp_path, program) as private:
        yield private


def operations_logged(server):
    """The log below the server's first line (its version and board): one block per operation."""
    return server.log().splitlines()[1:]


def test_refused_arguments_reach_nothing(bus, monkeypatch):
    untouched = bus.start_server("untouched")
    untouched.stop()
    server = bus.start_server("refusing")
    with server.board() as b:
        monkeypatch.setattr(tarsion.board, "numpy", None)
        for what, call, named in BAD_ARGUMENTS:
            with pytest.raises(tarsion.ArgumentError) as raised:
                call(b) if call else b.peek_many([0x0A], as_array=True)
            assert named in str(raised.value), what
            assert isinstance(raised.value, ValueError) and isinstance(raised.value, tarsion.Error)
    assert server.stop() == 0
    assert operations_logged(server) == []
    assert server.state_file.read_text() == untouched.state_file.read_text()


def test_board_ids_and_timeouts_are_checked_before_the_bus(bus):
    for board_id in ("bad id!", "9x", "", 7):
        with pytest.raises(tarsion.ArgumentError, match="board_id"):
            tarsion.Board(board_id, bus_address=bus.address)
    with pytest.raises(tarsion.ArgumentError, match="timeout"):
        tarsion.Board(timeout=-1, bus_address=bus.address)


def test_values_travel_whole_and_in_order(tarsion_board):
    b = tarsion_board
    b.poke(0x0A, 0xFFFFFFFF)  # a word above 2^31 travels as a double
    b.poke(0x1F, 0)
    assert b.peek(0x0A) == 0xFFFFFFFF
    b.poke_many({0x0B: 1, 0x0C: 2})
    b.poke_many([(0x0B, 0x01234567)])
    assert b.peek_many([0x0C, 0x0B, 0x0A]) == [2, 0x01234567, 0xFFFFFFFF]
    b.write(0x0A, 0)
    assert b.read(0x0A) == 0
    b.write(63, 0x5A)  # the last register the address byte carries
    b.pld_write_many([(0, 0x11), (1, 0x22)])
    assert b.pld_read_many([1, 0]) == [0x22, 0x11]
    b.write_memory("constellation", 0x10, [0xA1, b"\xb2"])
    b.write_memory("pattern", 0x3FFFF, [0xFFFFFF])  # the last word, the largest value
    assert b.read_memory("constellation", 0x10, 2) == [0xA1, 0xB2]
    assert b.read_memory("pattern", 0x3FFFF) == [0xFFFFFF]
    assert b.verify("constellation") == []
    assert len(b.read_memory("I")) == 256
    assert {k: v for k, v in b.status().items() if k in ("board id", "demo", "busy")} == \
        {"board id": "virtual", "demo": False, "busy": False}
    assert b.wait_for_bits(0x0B, 0xFF, 0x06, timeout=0) is False


def test_arrays_on_request_only(tarsion_board, monkeypatch):
    numpy = pytest.importorskip("numpy")
    b = tarsion_board
    b.poke_many(numpy.array([[0x0B, 0xFFFFFFFF], [0x0C, 7]], dtype=numpy.uint64))
    assert type(b.peek_many(numpy.array([0x0B, 0x0C], dtype=numpy.uint8))) is list
    values = b.peek_many([0x0B, 0x0C], as_array=True)
    assert (values.dtype, values.tolist()) == (numpy.uint32, [0xFFFFFFFF, 7])
    b.write_memory("pattern", 0x100, numpy.array([0x012345, 0x00FFFF], dtype=numpy.uint32))
    assert b.read_memory("pattern", 0x100, 2, as_array=True).tolist() == [0x012345, 0x00FFFF]
    assert b.read_memory("I", 0, 2, as_array=True).shape == (2, 9)
    monkeypatch.setattr(tarsion.board, "numpy", None)
    assert type(b.pld_read_many([0])) is list


def test_failures_carry_the_logged_reason_and_item(tarsion_board):
    b = tarsion_board
    with pytest.raises(tarsion.OperationFailed) as failed:
        b.poke(0x13, 1)
    assert (failed.value.reason, failed.value.index) == ("Error : Invalid Address; Couldn't Poke to Register 13", None)
    with pytest.raises(tarsion.OperationFailed) as failed:
        b.poke_many([(0x0B, 5), (0x0C, 6), (0x10, 2), (0x0D, 7)])
    assert (failed.value.reason, failed.value.index) == \
        ("Error : Invalid Data for this Register; Couldn't Poke to Register 10", 2)
    assert b.peek_many([0x0B, 0x0C]) == [5, 6]  # the items before the failure are done
    with pytest.raises(tarsion.OperationFailed, match="Could Not Open File /nonexistent/map.hex"):
        b.load_constellation_ram("/nonexistent/map.hex")
    with pytest.raises(tarsion.OperationFailed, match="nothing was loaded|Nothing"):
        b.verify("pattern")


def test_a_stopped_server_raises_timeout_and_a_gone_one_unavailable(bus):
    server = bus.start_server("stopping")
    with server.board(timeout=0.5) as b:
        b.poke(0x0A, 1)
        os.kill(server.process.pid, signal.SIGSTOP)
        try:
            with pytest.raises(tarsion.Timeout):
                b.peek(0x0A)
            with pytest.raises(tarsion.Timeout):
                b.status()
        finally:
            os.kill(server.process.pid, signal.SIGCONT)
        assert b.peek(0x0A, call_timeout=5) == 1
        server.process.kill()
        server.process.wait()
        with pytest.raises(tarsion.BoardUnavailable):
            b.peek(0x0A)
    with pytest.raises(tarsion.BoardUnavailable, match="nobody"):
        tarsion.Board("nobody", bus_address=bus.address)


def test_boards_lists_the_running_programs_and_the_ports(bus, tmp_path, program):
    bus.start_server("first")
    with bus.start_server("second").board() as b:
        b.load_external_mem(1, 0, 1.0, 0.0, 16.0, 16.0)
    listing = tmp_path / "list-ports"
    listing.write_text("#!/bin/sh\necho '/dev/parport0  base 0x378  usable by this user; a board answers'\n"
                       "echo '/dev/parport1  base 0x278  in use by pid 7 (board bench)'\n")
    listing.chmod(0o755)
    found = tarsion.boards(bus=bus.connection, program=str(listing))
    assert found.running == [tarsion.RunningBoard("first", found.running[0].port, "ready"),
                             tarsion.RunningBoard("second", found.running[1].port, "ready")]
    assert found.ports == [tarsion.ParallelPort("/dev/parport0", 0x378, "usable by this user; a board answers"),
                           tarsion.ParallelPort("/dev/parport1", 0x278, "in use by pid 7 (board bench)")]
    assert all(isinstance(port, tarsion.ParallelPort) for port in tarsion.boards(bus.connection, program).ports)


def test_the_package_says_its_version_types_and_help(program):
    version = subprocess.run([program, "--version"], capture_output=True, text=True, check=True).stdout.split()[1]
    assert tarsion.__version__ == importlib.metadata.version("tarsion") == version
    assert (Path(tarsion.__file__).parent / "py.typed").exists()
    public = [getattr(tarsion, name) for name in tarsion.__all__ if not name.isupper() and name != "__version__"]
    methods = [member for name, member in inspect.getmembers(tarsion.Board) if not name.startswith("_")]
    undocumented = [getattr(thing, "__qualname__", thing) for thing in public + methods if not inspect.getdoc(thing)]
    assert undocumented == []
    assert inspect.signature(tarsion.Board.peek_many).parameters["as_array"].default is False


def test_an_activation_that_cant_start_says_why(bus, program):
    """The program D-Bus activation starts on a port it can't open answers the creation with the
    reason and the remedy instead of leaving the bus to say "disconnected"."""
    subprocess.run([program, "--save-port", "/dev/parport-none"], env=bus.environment, check=True,
                   capture_output=True)
    services = Path(bus.environment["XDG_DATA_HOME"]) / "dbus-1" / "services"
    services.mkdir(parents=True)
    (services / "com.tessaric.Tarsion.service").write_text(
        f"[D-BUS Service]\nName=com.tessaric.Tarsion\nExec={program} --automation\n")
    with pytest.raises(tarsion.BoardUnavailable) as raised:
        tarsion.Board(bus_address=bus.address)
    assert "/dev/parport-none" in str(raised.value) and "tarsion --save-port sim" in str(raised.value)
