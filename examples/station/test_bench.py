# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""A pytest test station: the checks of ../test_station.py as pytest tests on the tarsion plugin's
tarsion_board fixture. pytest writes the report:

    pytest --junitxml=station-report.xml examples/station                 # a private virtual board per test
    pytest --junitxml=station-report.xml examples/station --tarsion-board parport0   # a real board

On a real board, set the lock register and bits of its lock flag in LOCK.
"""

import shutil
from pathlib import Path

import pytest

EXAMPLES = Path(__file__).resolve().parent.parent
# (register, value): carrier and symbol NCOs, the PLL enabled (LockDetectControl bits 25, 24).
SETUP = [(0x0A, 0x20000000), (0x0B, 0x01234567), (0x07, 0x03000000)]
LOCK = (0x07, 0x03000000, 0x03000000)  # address, mask, value
CONSTELLATION = [0x00, 0x40, 0xC0, 0x7F, 0x81, 0x3C, 0xC3, 0x55]


@pytest.fixture
def files(tmp_path):
    """Copies of the example filter and pattern: a filter load writes its RAM image beside the filter."""
    for name in ("lowpass.coe", "tone.pat"):
        shutil.copy(EXAMPLES / name, tmp_path)
    return tmp_path


def test_registers(tarsion_board):
    tarsion_board.poke_many(SETUP)
    assert tarsion_board.peek_many([address for address, _ in SETUP]) == [value for _, value in SETUP]


def test_lock(tarsion_board):
    tarsion_board.poke_many(SETUP)
    assert tarsion_board.wait_for_bits(*LOCK, timeout=2.0)


def test_coefficients_i(tarsion_board, files):
    tarsion_board.load_coefficient_ram(0, files / "lowpass.coe")
    assert tarsion_board.verify("I") == []


def test_constellation(tarsion_board):
    tarsion_board.write_memory("constellation", 0, CONSTELLATION)
    assert tarsion_board.read_memory("constellation", 0, len(CONSTELLATION)) == CONSTELLATION
    assert tarsion_board.verify("constellation") == []


def test_pattern(tarsion_board, files):
    tarsion_board.load_external_memory(files / "tone.pat")
    assert tarsion_board.verify("pattern") == []
