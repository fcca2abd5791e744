# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""tarsion.boards(): the programs running on the session bus and the machine's parallel ports."""

import re
import subprocess
from typing import NamedTuple

import dbus
import dbus.bus

from ._interfaces import BOARD1, PATH, SERVICE
from .errors import BoardUnavailable, Error

_PREFIX = f"{SERVICE}.Board."
_PORT_LINE = re.compile(r"(\S+)  base (0x[0-9a-fA-F]+)  (.*)")


class RunningBoard(NamedTuple):
    """A Tarsion program on the bus: its board id, its port as the status bar shows it, and its
    state: "busy" (an operation runs), "demo", "recording" or "ready"."""
    board_id: str
    port: str
    state: str


class ParallelPort(NamedTuple):
    """A parallel port as `tarsion --list-ports` shows it: device, base address, and what the
    listing says of it ("usable by this user; ...", "not usable by this user: ...", "in use by ...")."""
    device: str
    base: int
    state: str


class Boards(NamedTuple):
    """What tarsion.boards() found."""
    running: list[RunningBoard]
    ports: list[ParallelPort]


def _state(status) -> str:
    for flag in ("busy", "demo", "recording"):
        if bool(status.get(flag, False)):
            return flag
    return "ready"


def running_boards(bus=None, timeout: float = 5.0) -> list[RunningBoard]:
    """The Tarsion programs on the session bus (or `bus`), by board id."""
    own = bus is None
    try:
        bus = dbus.bus.BusConnection(dbus.bus.BUS_SESSION) if own else bus
        names = sorted(str(name) for name in bus.list_names() if str(name).startswith(_PREFIX))
        found = []
        for name in names:
            try:
                status = bus.get_object(name, PATH, introspect=False).Status(dbus_interface=BOARD1, timeout=timeout)
            except dbus.DBusException:
                continue  # ended while we asked
            found.append(RunningBoard(str(status.get("board id", name[len(_PREFIX):])), str(status.get("port", "")),
                                      _state(status)))
        return found
    except dbus.DBusException as error:
        raise BoardUnavailable(f"no session bus: {error.get_dbus_message()}") from None
    finally:
        if own and isinstance(bus, dbus.bus.BusConnection):
            bus.close()


def parallel_ports(program: str = "tarsion", timeout: float = 10.0) -> list[ParallelPort]:
    """The parallel ports `tarsion --list-ports` shows (none when the machine has none)."""
    try:
        listing = subprocess.run([program, "--list-ports"], capture_output=True, text=True, timeout=timeout,
                                 stdin=subprocess.DEVNULL)
    except (OSError, subprocess.TimeoutExpired) as error:
        raise Error(f"{program} --list-ports could not run: {error}") from None
    if listing.returncode != 0:
        raise Error(f"{program} --list-ports failed: {listing.stderr.strip()}")
    ports = []
    for line in listing.stdout.splitlines():
        match = _PORT_LINE.fullmatch(line)
        if match:
            ports.append(ParallelPort(match[1], int(match[2], 16), match[3]))
    return ports


def boards(bus=None, program: str = "tarsion") -> Boards:
    """The Tarsion programs running on the session bus (board id, port, state) and the parallel
    ports `tarsion --list-ports` shows."""
    return Boards(running_boards(bus), parallel_ports(program))
