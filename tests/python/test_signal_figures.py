# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""A test station checks the signal figures of what it loaded against the limits of its sheet, on
a private virtual board: a filter's passband, stopband and -3 dB point, a tone's SFDR, SNR and
ENOB, and the channel power around it."""

import math
import re
import shutil
from pathlib import Path

import pytest

import tarsion

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"

# The example low-pass (31 taps, cut off at a quarter of the tap rate) at interpolation rate 4; Best
# Fit leaves it a DC gain of about 1.9 / 4.
FILTER_LIMITS = {"ripple_db": (0.0, 0.1), "stopband_db": (-80.0, -45.0), "f3db": (0.22, 0.28),
                 "dc_gain_db": (-7.0, -6.0)}
# A generated complex tone at 0.9 of full scale, rounded to the memory's 16 bits.
TONE_LIMITS = {"sfdr_db": (80.0, 200.0), "snr_db": (85.0, 200.0), "enob": (13.5, 17.0),
               "fundamental_dbfs": (-1.0, -0.8), "channel_power_dbfs": (-1.0, -0.8)}


def within(figures, limits):
    return {key: figures[key] for key, (low, high) in limits.items() if not low <= figures[key] <= high}


def test_a_station_checks_the_filter_it_loaded_against_its_limits(tarsion_board, tmp_path):
    # A copy: the load writes its RAM image beside the file.
    shutil.copy(EXAMPLES / "lowpass.coe", tmp_path)
    tarsion_board.load_coefficient_ram(0, tmp_path / "lowpass.coe", True, 1.0, False, 0)
    written = tarsion_board.filter_figures("I", passband_edge=0.15, stopband_edge=0.35)
    assert within(written, FILTER_LIMITS) == {}
    # What the board holds is what was written; the file's own taps differ only by the rounding.
    assert tarsion_board.filter_figures("i", "board", passband_edge=0.15, stopband_edge=0.35) == written
    file = tarsion_board.filter_figures("I", "file", passband_edge=0.15, stopband_edge=0.35)
    assert abs(file["stopband_db"] - written["stopband_db"]) < 3.0
    assert file["group_delay"] == pytest.approx(15.0) == written["group_delay"]
    # Default edges follow the roll-off: (1 -+ a) / 2R at R = 4.
    defaults = tarsion_board.filter_figures("I", rolloff=0.5)
    assert (defaults["passband_edge"], defaults["stopband_edge"]) == (0.0625, 0.1875)


def test_a_station_checks_a_tone_and_its_channel_against_its_limits(tarsion_board):
    # I = sine, Q = cosine: I + jQ turns the other way, one complex tone at -1/16 (with pi as 3.1416).
    tarsion_board.load_external_mem(1, 2, 0.9, 0.9, 16, 4096)
    figures = tarsion_board.pattern_figures("board", channel="IQ", peaks=4, channel_width=0.2,
                                            channel_offsets=[0.3, -0.3])
    assert within(figures, TONE_LIMITS) == {}
    assert figures["window"] == "Blackman-Harris 7-term" and figures["pairs"] == 4096
    assert figures["peaks"][0][0] == pytest.approx(-3.1416 / (math.pi * 16), abs=1e-4)
    assert len(figures["peaks"]) == 4 and all(level < -80 for _, level in figures["peaks"][1:])
    assert len(figures["aclr_db"]) == 2 and max(figures["aclr_db"]) < -80
    # I alone: the same tone at +1/16, half the power of the complex one in each sign.
    real = tarsion_board.pattern_figures(channel="i")
    assert real["fundamental_frequency"] == pytest.approx(-figures["fundamental_frequency"], abs=1e-9)
    assert real["fundamental_dbfs"] == pytest.approx(figures["fundamental_dbfs"], abs=0.01)
    assert "aclr_db" not in real


def test_figures_of_nothing_loaded_and_bad_options_say_why(tarsion_board):
    with pytest.raises(tarsion.OperationFailed, match="not loaded since the program started"):
        tarsion_board.filter_figures("Q")
    for call, name in [(lambda: tarsion_board.filter_figures("X"), "which"),
                       (lambda: tarsion_board.filter_figures("I", "disk"), "source"),
                       (lambda: tarsion_board.filter_figures("I", stopband_edge=0.6), "stopband_edge"),
                       (lambda: tarsion_board.pattern_figures(channel="IQQ"), "channel"),
                       (lambda: tarsion_board.pattern_figures(peaks=1001), "peaks"),
                       (lambda: tarsion_board.pattern_figures(channel_width=0), "channel_width"),
                       (lambda: tarsion_board.pattern_figures(channel_offsets=[0.1, 2]), "channel_offsets[1]"),
                       (lambda: tarsion_board.pattern_figures(channel_offsets=3), "channel_offsets")]:
        with pytest.raises(tarsion.ArgumentError, match=re.escape(name)):
            call()
