# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""The pytest plugin of the tarsion package (entry point "tarsion" in pytest11): a plain `pytest`
finds it.

Fixtures:
    tarsion_board    a tarsion.Board: the program of `--tarsion-board ID` when given, else a
                     private headless Tarsion on a fresh virtual board on a private session bus,
                     stopped after the test
    tarsion_station  a list of Boards: one for each `--tarsion-board ID`, else private ones
                     (`@pytest.mark.tarsion_boards(N)`, default 2) on one private bus

`--tarsion-program PATH` names the program private servers run (default $TARSION_PROGRAM, else
tarsion on PATH). Each test's JUnit record (`--junitxml`) names the boards it used.
"""

import pytest

from .board import Board
from .testing import PrivateBus

DEFAULT_STATION_BOARDS = 2


def pytest_addoption(parser):
    group = parser.getgroup("tarsion", "Tarsion evaluation boards")
    group.addoption("--tarsion-board", action="append", default=[], metavar="ID",
                    help="attach to the Tarsion serving board ID instead of a private virtual board "
                         "(repeat for tarsion_station)")
    group.addoption("--tarsion-program", default=None, metavar="PATH",
                    help="the tarsion program of private servers (default: $TARSION_PROGRAM, else on PATH)")


def pytest_configure(config):
    config.addinivalue_line("markers", "tarsion_boards(count): how many private boards tarsion_station starts")


def _record(request, boards):
    for index, board in enumerate(boards):
        status = board.status()
        request.node.user_properties.append((f"tarsion board {index}", f"{status['board id']} ({status['port']})"))


class _Boards:
    """The boards of one test, attached or private; everything is closed or stopped at the end."""

    def __init__(self, request, tmp_path_factory):
        self.request = request
        self.ids = request.config.getoption("tarsion_board")
        self.program = request.config.getoption("tarsion_program")
        self.tmp_path_factory = tmp_path_factory
        self.bus = None
        self.boards = []

    def open(self, count: int) -> list[Board]:
        if self.ids:
            for board_id in self.ids[:count] if count == 1 else self.ids:
                self.boards.append(Board(board_id))
        else:
            self.bus = PrivateBus(self.tmp_path_factory.mktemp("tarsion"), self.program)
            for index in range(count):
                self.boards.append(self.bus.start_server(f"virtual{index + 1}" if count > 1 else "virtual").board())
        _record(self.request, self.boards)
        return self.boards

    def close(self):
        for board in self.boards:
            board.close()
        if self.bus is not None:
            self.bus.close()


@pytest.fixture
def tarsion_board(request, tmp_path_factory):
    """A tarsion.Board: `--tarsion-board ID`, or a private virtual board for this test."""
    boards = _Boards(request, tmp_path_factory)
    try:
        yield boards.open(1)[0]
    finally:
        boards.close()


@pytest.fixture
def tarsion_station(request, tmp_path_factory):
    """Several tarsion.Boards: every `--tarsion-board ID`, or private virtual boards on one private
    bus (`@pytest.mark.tarsion_boards(N)`, default 2)."""
    marker = request.node.get_closest_marker("tarsion_boards")
    count = int(marker.args[0]) if marker and marker.args else DEFAULT_STATION_BOARDS
    boards = _Boards(request, tmp_path_factory)
    try:
        yield boards.open(count)
    finally:
        boards.close()
