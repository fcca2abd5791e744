# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""Private Tarsion servers for tests: a session bus of their own and headless programs on fresh
virtual boards, nothing shared with the user's bus, settings or boards. The pytest plugin's
fixtures are made of these; they serve scripts outside pytest as well:

    with tarsion.testing.PrivateBus(folder) as bus:
        server = bus.start_server("bench")
        with server.board() as b:
            b.poke(0x0a, 1)
"""

import os
import shutil
import signal
import subprocess
import time
from pathlib import Path

import dbus.bus

from . import _arguments as check
from ._interfaces import SERVICE
from .board import Board, DEFAULT_TIMEOUT
from .errors import BoardUnavailable, Error

START_SECONDS = 20.0
STOP_SECONDS = 20.0


def find_program(program: str | None = None) -> str:
    """The tarsion program: `program`, else $TARSION_PROGRAM, else tarsion on PATH."""
    name = program or os.environ.get("TARSION_PROGRAM") or "tarsion"
    found = shutil.which(name)
    if not found:
        raise BoardUnavailable(f"no tarsion program: {name} is not an executable file or on PATH")
    return os.path.abspath(found)


class PrivateBus:
    """A D-Bus session bus of its own, with settings, data and state folders under `folder`, and no
    display: a program it activates runs headless."""

    def __init__(self, folder, program: str | None = None):
        self.folder = Path(folder)
        self.program = find_program(program)
        self.servers: list[PrivateServer] = []
        self.environment = {key: value for key, value in os.environ.items()
                            if key not in ("TARSION_PORT", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        for name, sub in (("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"), ("XDG_STATE_HOME", "state")):
            (self.folder / sub).mkdir(parents=True, exist_ok=True)
            self.environment[name] = str(self.folder / sub)
        try:
            with open(self.folder / "dbus-daemon.log", "wb") as daemon_log:
                self._daemon = subprocess.Popen(
                    ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"],
                    stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, stderr=daemon_log, env=self.environment,
                    text=True)
        except OSError as error:
            raise BoardUnavailable(f"no private session bus: dbus-daemon can't run: {error}") from None
        self.address = self._daemon.stdout.readline().strip()
        if not self.address:
            self._daemon.wait()
            raise BoardUnavailable("no private session bus: dbus-daemon printed no address")
        self.environment["DBUS_SESSION_BUS_ADDRESS"] = self.address
        self.connection = dbus.bus.BusConnection(self.address)
        """A connection of the bus's own, for tarsion.boards(bus=...) and the like."""

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def has_owner(self, name: str) -> bool:
        return bool(self.connection.name_has_owner(name))

    def start_server(self, board_id: str, port: str | None = None, *extra: str) -> "PrivateServer":
        """Starts `tarsion --headless` on a fresh virtual board (or `port`), board id `board_id`."""
        server = PrivateServer(self, check.board_id(board_id), port, extra)
        self.servers.append(server)
        return server

    def close(self) -> None:
        """Stops every server, then the bus."""
        for server in reversed(self.servers):
            server.stop()
        self.servers.clear()
        if self._daemon.poll() is None:
            self.connection.close()
            self._daemon.terminate()
            self._daemon.wait()
        self._daemon.stdout.close()


class PrivateServer:
    """One headless Tarsion on a private bus. Its log is `log_file`; a virtual board's state is
    written to `state_file` when it stops."""

    def __init__(self, bus: PrivateBus, board_id: str, port: str | None, extra=()):
        self.bus = bus
        self.board_id = board_id
        self.bus_name = f"{SERVICE}.Board.{board_id}"
        self.folder = bus.folder / board_id
        self.folder.mkdir(parents=True, exist_ok=True)
        self.state_file = self.folder / "board.txt"
        self.port = port or f"sim:{self.state_file}"
        self.log_file = self.folder / "tarsion.log"
        self.exit_status: int | None = None
        with open(self.log_file, "wb") as log:
            self.process = subprocess.Popen([bus.program, "--headless", "--port", self.port, "--board-id", board_id,
                                             *extra], cwd=self.folder, env=bus.environment, stdin=subprocess.DEVNULL,
                                            stdout=log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + START_SECONDS
        while not bus.has_owner(self.bus_name):
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise BoardUnavailable(f"the private server {board_id} did not come up: {self.log()[-2000:]}")
            time.sleep(0.02)

    def log(self) -> str:
        """What the server wrote so far."""
        return self.log_file.read_text(errors="replace")

    def board(self, timeout: float = DEFAULT_TIMEOUT) -> Board:
        """A Board on this server, over a connection of its own (closed with the Board)."""
        return Board(self.board_id, timeout=timeout, bus_address=self.bus.address)

    def stop(self) -> int:
        """Ends the server as File > Exit does (SIGTERM); its exit status."""
        if self.exit_status is None:
            if self.process.poll() is None:
                self.process.send_signal(signal.SIGTERM)
            try:
                self.exit_status = self.process.wait(STOP_SECONDS)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
                raise Error(f"the private server {self.board_id} ignored SIGTERM") from None
        return self.exit_status
