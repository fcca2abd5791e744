# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""examples/test_station.py keeps the promises of its help: a report JUnit readers accept, status 1
when a check fails, 2 when Tarsion can't be reached."""

import os
import subprocess
import sys
import xml.etree.ElementTree as ET
from datetime import datetime
from pathlib import Path

from tarsion import testing

STATION = Path(__file__).resolve().parents[2] / "examples" / "test_station.py"


def run_station(bus, *arguments):
    environment = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=bus.address)
    return subprocess.run([sys.executable, str(STATION), *arguments], env=environment, capture_output=True,
                          text=True, timeout=120)


def test_a_failing_check_gives_status_1_and_a_report_readers_accept(tmp_path):
    report = tmp_path / "report.xml"
    with testing.PrivateBus(tmp_path) as bus:
        bus.start_server("bench")
        # A lock flag that never comes: the lock check fails, the others pass.
        run = run_station(bus, "--board", "bench", "--report", str(report), "--lock", "0x07", "0x1", "0x1",
                          "--lock-timeout", "0")
    assert run.returncode == 1, run.stdout + run.stderr
    root = ET.parse(report).getroot()
    assert (root.tag, root.get("tests"), root.get("failures"), root.get("errors")) == ("testsuites", "5", "1", "0")
    suite = root.find("testsuite")
    datetime.fromisoformat(suite.get("timestamp"))
    assert suite.find("properties/property[@name='board id']").get("value") == "bench"
    failure = suite.find("testcase[@name='lock']/failure")
    assert failure.get("type") == "CheckFailed" and "no lock within 0.0 s" in failure.text
    assert [case.find("failure") for case in suite.iter("testcase") if case.get("name") != "lock"] == [None] * 4


def test_no_tarsion_gives_status_2(tmp_path):
    with testing.PrivateBus(tmp_path) as bus:
        run = run_station(bus, "--board", "absent", "--report", str(tmp_path / "report.xml"))
    assert run.returncode == 2 and "can't be reached" in run.stderr
    assert not (tmp_path / "report.xml").exists()
