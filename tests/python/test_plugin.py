# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""The pytest plugin as a test engineer meets it: a plain pytest run of a bench file finds the
fixtures through the package's entry point, gets fresh private boards that stop after each test,
or attaches to a running board with --tarsion-board, and pytest's --junitxml names them."""

import xml.etree.ElementTree as ET

from tarsion import testing

pytest_plugins = ["pytester"]

BENCH = """
import pytest

def test_poke_and_peek(tarsion_board):
    tarsion_board.poke(0x0a, 5)
    assert tarsion_board.peek(0x0a) == 5

def test_each_test_has_a_fresh_board(tarsion_board):
    assert tarsion_board.peek(0x0a) == 0

@pytest.mark.tarsion_boards(3)
def test_station(tarsion_station):
    assert [b.status()["board id"] for b in tarsion_station] == ["virtual1", "virtual2", "virtual3"]
    for index, board in enumerate(tarsion_station):
        board.poke(0x0b, index)
    assert [b.peek(0x0b) for b in tarsion_station] == [0, 1, 2]

def test_a_failing_check(tarsion_board):
    assert tarsion_board.peek(0x0a) == 1
"""


def test_private_boards_and_the_junit_report(pytester):
    pytester.makepyfile(test_bench=BENCH)
    result = pytester.runpytest_subprocess("--junitxml=report.xml", "--tarsion-program", testing.find_program(),
                                           "-p", "no:cacheprovider")
    result.assert_outcomes(passed=3, failed=1)
    suite = ET.parse(pytester.path / "report.xml").getroot().find("testsuite")
    assert (suite.get("tests"), suite.get("failures"), suite.get("errors")) == ("4", "1", "0")
    cases = {case.get("name"): case for case in suite.iter("testcase")}
    assert cases["test_a_failing_check"].find("failure") is not None
    properties = {p.get("name"): p.get("value") for p in cases["test_station"].iter("property")}
    assert sorted(properties) == ["tarsion board 0", "tarsion board 1", "tarsion board 2"]
    assert properties["tarsion board 2"].startswith("virtual3 (")
    # Each private server ended as File > Exit does: a virtual board writes its state at exit.
    states = sorted(pytester.path.glob("**/virtual/board.txt"))
    assert len(states) == 3 and any("chip 0a 00000005" in state.read_text() for state in states)


def test_attaching_to_a_running_board(pytester, tmp_path, monkeypatch):
    pytester.makepyfile(test_attached="""
        def test_attached(tarsion_board):
            assert tarsion_board.status()["board id"] == "bench"
            tarsion_board.poke(0x0c, 0x1234)
    """)
    with testing.PrivateBus(tmp_path) as bus:
        server = bus.start_server("bench")
        monkeypatch.setenv("DBUS_SESSION_BUS_ADDRESS", bus.address)
        result = pytester.runpytest_subprocess("--tarsion-board", "bench", "-p", "no:cacheprovider")
        result.assert_outcomes(passed=1)
        assert server.process.poll() is None  # an attached board is left running
        with server.board() as b:
            assert b.peek(0x0c) == 0x1234


def test_a_board_that_is_not_there(pytester, tmp_path, monkeypatch):
    pytester.makepyfile(test_missing="def test_missing(tarsion_board):\n    pass\n")
    with testing.PrivateBus(tmp_path) as bus:
        monkeypatch.setenv("DBUS_SESSION_BUS_ADDRESS", bus.address)
        result = pytester.runpytest_subprocess("--tarsion-board", "absent", "-p", "no:cacheprovider")
    result.assert_outcomes(errors=1)
    result.stdout.fnmatch_lines(["*BoardUnavailable*absent*"])


def test_the_options_are_in_the_help(pytester):
    pytester.runpytest_subprocess("--help").stdout.fnmatch_lines(["*--tarsion-board=ID*", "*--tarsion-program=PATH*"])
