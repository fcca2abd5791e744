#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""A test station on the tarsion Python client: sets up the chip's registers in one batch, waits
for lock, loads the coefficient, constellation and pattern memories and checks each against its
limit (the most words allowed to differ on read-back), then writes a JUnit XML report.

    test_station.py [--board ID] [--report FILE] [--lock ADDRESS MASK VALUE] [--max-differences N]

The lock defaults wait for the PLL enable bits of LockDetectControl written in the setup, which the
virtual board holds; on a real board name the register and bits of its lock flag.
(examples/station/ holds the same checks as a pytest station: pytest --junitxml=FILE.)"""

import argparse
import datetime
import os
import shutil
import socket
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

import tarsion

HERE = os.path.dirname(os.path.abspath(__file__))

# (register, value): carrier and symbol NCOs, the PLL enabled (LockDetectControl bits 25, 24).
SETUP = [(0x0A, 0x20000000), (0x0B, 0x01234567), (0x07, 0x03000000)]
CONSTELLATION = [0x00, 0x40, 0xC0, 0x7F, 0x81, 0x3C, 0xC3, 0x55]


EPILOG = """exit status: 0 when every check passed, 1 when a check failed or ended in an error, 2 when
Tarsion can't be reached (no program, an unknown board id, no answer, or the program went away)."""


class Station:
    def __init__(self, board):
        self.board = board
        self.started = datetime.datetime.now().astimezone()
        # (name, seconds, outcome, exception type, text); outcome None, "failure" or "error"
        self.cases = []
        self.unreachable = False

    def check(self, name, step):
        """Runs one check; its outcome and time go to the report. A check that finds the board
        wrong is a failure, one that could not be made (no answer, a program error) an error."""
        start = time.monotonic()
        outcome = kind = text = None
        try:
            message = step()
            if message:
                outcome, kind, text = "failure", "CheckFailed", message
        except tarsion.OperationFailed as error:
            outcome, kind, text = "failure", type(error).__name__, str(error)
        except (tarsion.BoardUnavailable, tarsion.Timeout) as error:
            outcome, kind, text = "error", type(error).__name__, str(error)
            self.unreachable = True
        except Exception as error:  # a fault of the station itself: reported, the other checks go on
            outcome, kind, text = "error", type(error).__name__, str(error)
        self.cases.append((name, time.monotonic() - start, outcome, kind, text))
        print(f"{(outcome or 'ok').upper():8} {name}{': ' + text if text else ''}")

    def count(self, outcome):
        return sum(1 for case in self.cases if case[2] == outcome)

    def report(self, path):
        """A JUnit XML report: testsuites, one testsuite with its time stamp and the board's
        status as properties, a testcase per check with its failure or error."""
        totals = {"tests": str(len(self.cases)), "failures": str(self.count("failure")),
                  "errors": str(self.count("error")), "time": f"{sum(case[1] for case in self.cases):.3f}"}
        suites = ET.Element("testsuites", name="tarsion-station", **totals)
        suite = ET.SubElement(suites, "testsuite", name="tarsion-station", **totals,
                              timestamp=self.started.isoformat(timespec="seconds"), hostname=socket.gethostname())
        properties = ET.SubElement(suite, "properties")
        try:
            status = self.board.status()
        except tarsion.Error as error:
            status = {"status": f"unavailable: {error}"}
        for key, value in sorted(status.items()):
            ET.SubElement(properties, "property", name=key, value=str(value))
        for name, seconds, outcome, kind, text in self.cases:
            case = ET.SubElement(suite, "testcase", classname="station", name=name, time=f"{seconds:.3f}")
            if outcome:
                element = ET.SubElement(case, outcome, type=kind, message=text.splitlines()[0] if text else "")
                element.text = text
        ET.indent(suites)
        ET.ElementTree(suites).write(path, encoding="utf-8", xml_declaration=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0], epilog=EPILOG)
    parser.add_argument("--board", help="board id (default: the first Tarsion)")
    parser.add_argument("--report", help="default: station-report.xml in the work folder")
    parser.add_argument("--lock", nargs=3, type=lambda text: int(text, 0), metavar=("ADDRESS", "MASK", "VALUE"),
                        default=(0x07, 0x03000000, 0x03000000))
    parser.add_argument("--lock-timeout", type=float, default=2.0, help="seconds")
    parser.add_argument("--max-differences", type=int, default=0, help="limit per memory")
    args = parser.parse_args()
    # Copies of the example files in a new folder: a filter load writes its RAM image beside the filter.
    work = tempfile.mkdtemp(prefix="tarsion-station-")
    for name in ("lowpass.coe", "tone.pat"):
        shutil.copy(os.path.join(HERE, name), work)
    report = args.report or os.path.join(work, "station-report.xml")
    print(f"working in {work}")

    try:
        board = tarsion.Board(args.board)
    except (tarsion.BoardUnavailable, tarsion.Timeout) as error:
        print(f"test_station.py: Tarsion can't be reached: {error}", file=sys.stderr)
        return 2
    with board:
        station = Station(board)

        def registers():
            board.poke_many(SETUP)
            read = list(board.peek_many([address for address, _ in SETUP]))
            wrong = [f"0x{a:02x} reads 0x{r:08x}, not 0x{v:08x}" for (a, v), r in zip(SETUP, read) if r != v]
            return "; ".join(wrong)

        def lock():
            address, mask, value = args.lock
            if not board.wait_for_bits(address, mask, value, args.lock_timeout):
                return f"no lock within {args.lock_timeout} s (register 0x{address:02x} mask 0x{mask:08x})"
            return None

        def within_limit(memory):
            differences = board.verify(memory)
            if len(differences) > args.max_differences:
                first = ", ".join(f"0x{a:x}: 0x{e:x} read 0x{r:x}" for a, e, r in differences[:3])
                return f"{len(differences)} words differ (limit {args.max_differences}): {first}"
            return None

        def coefficients():
            board.load_coefficient_ram(0, os.path.join(work, "lowpass.coe"))
            return within_limit("I")

        def constellation():
            board.write_memory("constellation", 0, CONSTELLATION)
            read = list(board.read_memory("constellation", 0, len(CONSTELLATION)))
            if read != CONSTELLATION:
                return f"read back {read}"
            return within_limit("constellation")

        def pattern():
            board.load_external_memory(os.path.join(work, "tone.pat"))
            return within_limit("pattern")

        station.check("registers", registers)
        station.check("lock", lock)
        station.check("coefficients I", coefficients)
        station.check("constellation", constellation)
        station.check("pattern", pattern)
        station.report(report)
    passed = len(station.cases) - station.count("failure") - station.count("error")
    print(f"{passed} of {len(station.cases)} checks passed; report in {report}")
    if station.unreachable:
        return 2
    return 1 if passed < len(station.cases) else 0


if __name__ == "__main__":
    sys.exit(main())
