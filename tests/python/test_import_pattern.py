# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""A test station imports the patterns of its own tools on a private virtual board: a WAV written
by Python's wave module and an archive as numpy.savez writes it, previewed, then written and read
back word for word; a refused file raises with the reason and leaves the memory."""

import io
import struct
import wave
import zipfile

import pytest

import tarsion

TOP = 0x40000


def npy(descr, shape, data):
    header = "{'descr': '%s', 'fortran_order': False, 'shape': %s, }" % (descr, shape)
    header += " " * ((64 - (10 + len(header) + 1) % 64) % 64) + "\n"
    return b"\x93NUMPY\x01\x00" + struct.pack("<H", len(header)) + header.encode() + data


def words(pairs):
    """The memory words of (I, Q) samples with chip register 0x02 at 0."""
    out = []
    for i, q in pairs:
        out += [0x30000 | (i & 0xFFFF), 0x20000 | (q & 0xFFFF)]
    return out


def test_a_station_previews_and_imports_its_own_patterns(tarsion_board, tmp_path):
    samples = [(1000, -1000), (-32768, 32767), (0, 5)]
    with wave.open(str(tmp_path / "tone.wav"), "wb") as out:
        out.setnchannels(2)
        out.setsampwidth(2)
        out.setframerate(48000)
        out.writeframes(b"".join(struct.pack("<hh", i, q) for i, q in samples))
    report = tarsion_board.import_pattern(tmp_path / "tone.wav", preview=True)
    assert (report["pairs"], report["clipped"], report["written"]) == (3, 0, False)
    assert report["layout"] == "WAV, stereo, 16-bit PCM"
    assert report["first_address"] == TOP - 6
    assert tarsion_board.read_memory("pattern", TOP - 6, 6) == [0] * 6

    report = tarsion_board.import_pattern(tmp_path / "tone.wav")
    assert report["written"] is True
    assert tarsion_board.read_memory("pattern", TOP - 6, 6) == words(samples)

    # Complex float64 I + jQ in a deflated archive written as numpy.savez writes it, at full scale.
    archive = io.BytesIO()
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
        with z.open("arr_0.npy", "w", force_zip64=True) as member:
            member.write(npy("<c16", "(2,)", struct.pack("<4d", 0.5, -0.25, 1.0, 0.0)))
    (tmp_path / "iq.npz").write_bytes(archive.getvalue())
    report = tarsion_board.import_pattern(tmp_path / "iq.npz", scaling="full scale")
    assert report["scale"] == pytest.approx(32767.0)
    assert tarsion_board.read_memory("pattern", TOP - 4, 4) == words([(16384, -8192), (32767, 0)])


def test_a_refused_file_raises_the_reason_and_leaves_the_memory(tarsion_board, tmp_path):
    (tmp_path / "first.csv").write_text("0x0102,0x0304\n")
    tarsion_board.import_pattern(tmp_path / "first.csv")
    (tmp_path / "bad.csv").write_text("0.5\nnan\n")
    with pytest.raises(tarsion.OperationFailed, match="Refused bad.csv: it holds NaN at line 2"):
        tarsion_board.import_pattern(tmp_path / "bad.csv")
    (tmp_path / "big.npy").write_bytes(npy("<i2", "(131073,)", b""))
    with pytest.raises(tarsion.OperationFailed, match="too large for the memory: 131073 sample pairs"):
        tarsion_board.import_pattern(tmp_path / "big.npy")
    (tmp_path / "link.csv").symlink_to(tmp_path / "first.csv")
    with pytest.raises(tarsion.OperationFailed, match="it is a symbolic link"):
        tarsion_board.import_pattern(tmp_path / "link.csv")
    with pytest.raises(tarsion.ArgumentError, match="scaling"):
        tarsion_board.import_pattern(tmp_path / "first.csv", scaling="loud")
    assert tarsion_board.read_memory("pattern", TOP - 2, 2) == words([(0x0102, 0x0304)])
