# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""Board: one Tarsion program on the session bus, its operations as methods."""

import time
from typing import NamedTuple

import dbus
import dbus.bus

from . import _arguments as check
from ._interfaces import METHODS, PATH, SERVICE
from .errors import ArgumentError, BoardUnavailable, Error, OperationFailed, Timeout

try:
    import numpy
except ImportError:  # numpy is optional: only as_array=True needs it
    numpy = None

DEFAULT_TIMEOUT = 60.0

_FAILED = "com.tessaric.Tarsion.Error.Failed"
_UNAVAILABLE = "com.tessaric.Tarsion.Error.Unavailable"
# What the bus says when nobody serves the name, or the server went away.
_GONE = {"org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
         "org.freedesktop.DBus.Error.NoReply", "org.freedesktop.DBus.Error.Disconnected",
         "org.freedesktop.DBus.Error.NoServer", "org.freedesktop.DBus.Error.UnknownObject",
         "org.freedesktop.DBus.Error.TimedOut"}


class Difference(NamedTuple):
    """A memory word that reads back other than loaded."""
    address: int
    expected: int
    read: int


class FieldChange(NamedTuple):
    """A register field that differs between two snapshots, in the page's units."""
    address: int
    label: str
    before: str
    after: str
    word_before: int
    word_after: int


def _bus_name(board_id: str | None) -> str:
    return SERVICE if board_id is None else f"{SERVICE}.Board.{check.board_id(board_id)}"


def _word_value(raw) -> int:
    return int.from_bytes(bytes(raw), "little")


class Board:
    """One Tarsion program on the session bus: the first one without `board_id`, else the one
    serving that board id (bus name com.tessaric.Tarsion.Board.<id>). When no program serves the
    name, D-Bus activation starts one. `bus` is a dbus-python connection to use (left open by
    close), `bus_address` the address of another bus than the session bus.

    Every method performs one operation in Tarsion, which logs it (and records it while
    recording), and raises OperationFailed with the log's reason when it fails. Arguments are
    checked against the board's limits first (ArgumentError, nothing sent). Each call waits at
    most `timeout` seconds (Timeout); a method's own `call_timeout` overrides it for long loads.
    Lists of words come back as lists of ints, or as numpy arrays with as_array=True.
    """

    def __init__(self, board_id: str | None = None, *, timeout: float = DEFAULT_TIMEOUT, bus=None,
                 bus_address: str | None = None):
        self._timeout = check.timeout("timeout", timeout)
        self._name = _bus_name(board_id)
        self._own_bus = bus is None
        self._bus = None
        try:
            if bus is not None:
                self._bus = bus
            elif bus_address is not None:
                self._bus = dbus.bus.BusConnection(check.text("bus_address", bus_address))
            else:
                self._bus = dbus.SessionBus(private=True)
        except dbus.DBusException as error:
            self.close()
            raise BoardUnavailable(f"no session bus to reach {self._name}: {error.get_dbus_message()}") from None
        try:
            self._call("Create")
        except Error:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def __repr__(self):
        return f"<tarsion.Board {self._name}>"

    @property
    def bus_name(self) -> str:
        """The bus name this Board talks to."""
        return self._name

    def close(self) -> None:
        """Leaves the bus (the program keeps running)."""
        if self._own_bus and self._bus is not None:
            self._bus.close()
        self._bus = None

    # Calls

    def _call(self, method: str, *args, call_timeout: float | None = None):
        interface, inputs, _ = METHODS[method]
        seconds = self._timeout if call_timeout is None else check.timeout("call_timeout", call_timeout)
        if self._bus is None:
            raise BoardUnavailable(f"{method}: this Board is closed")
        began = time.monotonic()
        try:
            # A plain call to the name: when no program runs, the call itself starts one, which
            # answers it with its reason when it can't start.
            return self._bus.call_blocking(self._name, PATH, interface, method, "".join(kind for _, kind in inputs),
                                           args, timeout=seconds, byte_arrays=True)
        except dbus.DBusException as error:
            raise self._translate(method, error, time.monotonic() - began, seconds) from None
        except (TypeError, ValueError, OverflowError) as error:  # checked before: a client fault
            raise ArgumentError(f"{method}: {error}") from None

    def _translate(self, method: str, error: dbus.DBusException, elapsed: float, seconds: float) -> Error:
        name = error.get_dbus_name() or ""
        text = error.get_dbus_message() or ""
        if name == _FAILED:
            index, _, reason = text.partition(": ")
            if index.startswith("item ") and index[5:].isdigit():
                return OperationFailed(method, reason, int(index[5:]))
            return OperationFailed(method, text)
        if name == "org.freedesktop.DBus.Error.InvalidArgs":
            return ArgumentError(f"{method}: {text}")
        if name == "org.freedesktop.DBus.Error.NoReply" and elapsed >= seconds * 0.95:
            return Timeout(method, seconds)
        if name == _UNAVAILABLE or name in _GONE or name.startswith("org.freedesktop.DBus.Error.Spawn."):
            return BoardUnavailable(f"{self._name}: {text}")
        return Error(f"{method}: {name}: {text}")

    def _run(self, method: str, *args, call_timeout: float | None = None) -> None:
        if not self._call(method, *args, call_timeout=call_timeout):
            raise OperationFailed(method, self.last_result())

    @staticmethod
    def _number(value: int):
        # As a script engine passes numbers: int32 when they fit, else a double.
        return dbus.Int32(value) if value < 2**31 else dbus.Double(float(value))

    @staticmethod
    def _array_wanted(as_array: bool) -> bool:
        if as_array and numpy is None:
            raise ArgumentError("as_array=True needs numpy (python3-numpy)")
        return bool(as_array)

    @staticmethod
    def _list(values: list[int], dtype: str, as_array: bool):
        return numpy.array(values, dtype=dtype) if as_array else values

    def last_result(self) -> str:
        """The result lines Tarsion logged for the last operation, joined by "; "."""
        return str(self._call("LastResult"))

    # The 19 board operations of com.tessaric.Trm90627

    def soft_reset(self, *, call_timeout: float | None = None) -> None:
        """Soft reset of the chip."""
        self._run("SoftReset", call_timeout=call_timeout)

    def reset(self, *, call_timeout: float | None = None) -> None:
        """Board reset through the port's reset line."""
        self._run("Reset", call_timeout=call_timeout)

    def poke(self, address: int, data: int, *, call_timeout: float | None = None) -> None:
        """Writes a 32-bit chip register (address 0x00 to 0x1f, data 0 to 0xffffffff)."""
        address = check.integer("address", address, check.CHIP_ADDRESSES)
        data = check.integer("data", data, check.WORD)
        self._run("Poke", self._number(address), self._number(data), call_timeout=call_timeout)

    def modify_bits(self, address: int, data: int, mask: int, *, call_timeout: float | None = None) -> None:
        """register := (data AND mask) OR (old AND NOT mask)."""
        address = check.integer("address", address, check.CHIP_ADDRESSES)
        data = check.integer("data", data, check.WORD)
        mask = check.integer("mask", mask, check.WORD)
        self._run("ModifyBits", self._number(address), self._number(data), self._number(mask),
                  call_timeout=call_timeout)

    def set_bits(self, address: int, mask: int, *, call_timeout: float | None = None) -> None:
        """Sets the mask bits of a chip register."""
        address = check.integer("address", address, check.CHIP_ADDRESSES)
        mask = check.integer("mask", mask, check.WORD)
        self._run("SetBits", self._number(address), self._number(mask), call_timeout=call_timeout)

    def reset_bits(self, address: int, mask: int, *, call_timeout: float | None = None) -> None:
        """Clears the mask bits of a chip register."""
        address = check.integer("address", address, check.CHIP_ADDRESSES)
        mask = check.integer("mask", mask, check.WORD)
        self._run("ResetBits", self._number(address), self._number(mask), call_timeout=call_timeout)

    def send(self, *, call_timeout: float | None = None) -> None:
        """Starts sending the pattern memory to the chip."""
        self._run("Send", call_timeout=call_timeout)

    def stop(self, *, call_timeout: float | None = None) -> None:
        """Stops sending."""
        self._run("Stop", call_timeout=call_timeout)

    def write(self, reg: int, data: int, *, call_timeout: float | None = None) -> None:
        """Writes a CPLD bridge register byte (register 0 to 63, data 0 to 0xff)."""
        reg = check.integer("reg", reg, check.CPLD_REGISTERS)
        data = check.integer("data", data, check.BYTE)
        self._run("Write", self._number(reg), self._number(data), call_timeout=call_timeout)

    def pld_write(self, reg: int, data: int, *, call_timeout: float | None = None) -> None:
        """Writes a CPLD PLD register byte (register 0 to 63, data 0 to 0xff)."""
        reg = check.integer("reg", reg, check.CPLD_REGISTERS)
        data = check.integer("data", data, check.BYTE)
        self._run("PldWrite", self._number(reg), self._number(data), call_timeout=call_timeout)

    def load_external_memory(self, file, *, call_timeout: float | None = None) -> None:
        """Loads the pattern memory from a pattern file (.pat, .imp); relative names are taken
        against Tarsion's start folder."""
        self._run("LoadExternalMemory", check.path("file", file), call_timeout=call_timeout)

    def load_external_mem(self, i_kind: int, q_kind: int, i_amplitude: float, q_amplitude: float,
                          samples_per_cycle: float, number_of_samples: float, *,
                          call_timeout: float | None = None) -> None:
        """Generates a pattern and loads it. Kinds: 0 DC, 1 sine, 2 cosine."""
        self._run("LoadExternalMem", check.choice("i_kind", i_kind, (0, 1, 2)),
                  check.choice("q_kind", q_kind, (0, 1, 2)), check.real("i_amplitude", i_amplitude),
                  check.real("q_amplitude", q_amplitude),
                  check.real("samples_per_cycle", samples_per_cycle, above=0.0),
                  check.real("number_of_samples", number_of_samples), call_timeout=call_timeout)

    def dump_coefficient_ram(self, ram: int, file, *, call_timeout: float | None = None) -> None:
        """Dumps a coefficient RAM (0 = I, 1 = Q) to a file."""
        self._run("DumpCoefficientRam", check.choice("ram", ram, (0, 1)), check.path("file", file),
                  call_timeout=call_timeout)

    def load_constellation_ram(self, file, *, call_timeout: float | None = None) -> None:
        """Loads the constellation RAM from a file of four hexadecimal digits a line."""
        self._run("LoadConstellationRam", check.path("file", file), call_timeout=call_timeout)

    def dump_constellation_ram(self, file, *, call_timeout: float | None = None) -> None:
        """Dumps the constellation RAM to a file."""
        self._run("DumpConstellationRam", check.path("file", file), call_timeout=call_timeout)

    def load_coefficient_ram(self, ram: int, file, best_fit: bool = True, scale: float = 1.0,
                             load_offset: bool = True, interpolation: int = 0, two_bit_mode: bool = False,
                             symmetric: bool = False, *, call_timeout: float | None = None) -> None:
        """Loads a coefficient RAM (0 = I, 1 = Q, 2 = both) from a filter file (.coe, .imp)."""
        self._run("LoadCoefficientRam", check.choice("ram", ram, (0, 1, 2)), check.path("file", file),
                  bool(best_fit), check.real("scale", scale), bool(load_offset),
                  check.integer("interpolation", interpolation, check.INT16, hexadecimal=False),
                  bool(two_bit_mode), bool(symmetric), call_timeout=call_timeout)

    # Reads go through the batch interface, whose failures carry the reason (the single reads
    # answer 0, which a register may well hold).

    def pld_read(self, reg: int, *, call_timeout: float | None = None) -> int:
        """A PLD register byte (register 0 to 63)."""
        reg = check.integer("reg", reg, check.CPLD_REGISTERS)
        return int(self._call("PldReadMany", bytes([reg]), call_timeout=call_timeout)[0])

    def read(self, reg: int, *, call_timeout: float | None = None) -> int:
        """A bridge register byte (register 0 to 63)."""
        reg = check.integer("reg", reg, check.CPLD_REGISTERS)
        value = int(self._call("Read", dbus.Int16(reg), call_timeout=call_timeout))
        if value == 0:
            # 0 is also the answer of a failed read: the log tells them apart.
            reason = self.last_result()
            if not reason.startswith("Returned"):
                raise OperationFailed("Read", reason)
        return value

    def peek(self, address: int, *, call_timeout: float | None = None) -> int:
        """A chip register word (address 0x00 to 0x1f)."""
        address = check.integer("address", address, check.CHIP_ADDRESSES)
        return int(self._call("PeekMany", bytes([address]), call_timeout=call_timeout)[0])

    # com.tessaric.Tarsion.Board1

    def poke_many(self, writes, *, call_timeout: float | None = None) -> None:
        """Writes (address, value) pairs in one operation; `writes` may be a list of pairs, a
        dict, or an n x 2 numpy array. Stops at the first failure (OperationFailed.index)."""
        items = check.pairs("writes", writes, ("address", check.CHIP_ADDRESSES), ("value", check.WORD))
        self._call("PokeMany", dbus.Array([dbus.Struct(item, signature="yu") for item in items], signature="(yu)"),
                   call_timeout=call_timeout)

    def peek_many(self, addresses, *, as_array: bool = False, call_timeout: float | None = None):
        """Chip register words in the order of `addresses`."""
        addresses = check.integers("addresses", addresses, check.CHIP_ADDRESSES)
        as_array = self._array_wanted(as_array)
        values = self._call("PeekMany", bytes(addresses), call_timeout=call_timeout)
        return self._list([int(v) for v in values], "uint32", as_array)

    def pld_write_many(self, writes, *, call_timeout: float | None = None) -> None:
        """Writes (register, byte) pairs to PLD registers under one DataClk guard."""
        items = check.pairs("writes", writes, ("reg", check.CPLD_REGISTERS), ("data", check.BYTE))
        self._call("PldWriteMany", dbus.Array([dbus.Struct(item, signature="yy") for item in items],
                                              signature="(yy)"), call_timeout=call_timeout)

    def pld_read_many(self, regs, *, as_array: bool = False, call_timeout: float | None = None):
        """PLD register bytes in the order of `regs`, under one DataClk guard."""
        regs = check.integers("regs", regs, check.CPLD_REGISTERS)
        as_array = self._array_wanted(as_array)
        values = self._call("PldReadMany", bytes(regs), call_timeout=call_timeout)
        return self._list(list(bytes(values)), "uint8", as_array)

    def read_memory(self, which: str, first: int = 0, count: int | None = None, *, as_array: bool = False,
                    call_timeout: float | None = None):
        """Words of "I", "Q" (9 bytes each), "constellation" (1 byte) or "pattern" (3 bytes) as
        ints, least significant byte first; all of the memory from `first` when `count` is None.
        With as_array=True: a uint32 array, or for I and Q an n x 9 array of bytes."""
        which, words, width = check.memory(which)
        first = check.integer("first", first, (0, words - 1), hexadecimal=False)
        count = words - first if count is None else check.integer("count", count, (0, words - first),
                                                                    hexadecimal=False)
        as_array = self._array_wanted(as_array)
        raw = self._call("ReadMemory", which, dbus.UInt32(first), dbus.UInt32(count), call_timeout=call_timeout)
        if as_array and width > 4:
            return numpy.array([list(bytes(word)) for word in raw], dtype="uint8").reshape(len(raw), width)
        return self._list([_word_value(word) for word in raw], "uint32", as_array)

    def write_memory(self, which: str, first: int, words, *, call_timeout: float | None = None) -> None:
        """Writes "I" or "Q" (9 bytes a word), "constellation" (1 byte) or "pattern" (3 bytes) words from `first`:
        ints, byte strings or sequences of byte values (least significant first)."""
        which, size, width = check.memory(which, writable=True)
        encoded = []
        for index, word in enumerate(words):
            name = f"words[{index}]"
            if isinstance(word, (bytes, bytearray)) or hasattr(word, "__len__"):
                raw = bytes(word) if isinstance(word, (bytes, bytearray)) else \
                    bytes(check.integers(name, word, check.BYTE))
                if len(raw) != width:
                    raise ArgumentError(f"{name} must hold {width} bytes, not {len(raw)}")
            else:
                raw = check.integer(name, word, (0, 256**width - 1)).to_bytes(width, "little")
            encoded.append(dbus.ByteArray(raw))
        first = check.integer("first", first, (0, size - 1), hexadecimal=False)
        if first + len(encoded) > size:
            raise ArgumentError(f"{len(encoded)} words from {first} reach past the end of {which} ({size} words)")
        self._call("WriteMemory", which, dbus.UInt32(first), dbus.Array(encoded, signature="ay"),
                   call_timeout=call_timeout)

    def verify(self, which: str, *, call_timeout: float | None = None) -> list[Difference]:
        """Reads a memory back against its last load: the words that differ, empty when all match."""
        which, _, _ = check.memory(which)
        _, differences = self._call("Verify", which, call_timeout=call_timeout)
        return [Difference(int(a), _word_value(e), _word_value(r)) for a, e, r in differences]

    def wait_for_bits(self, address: int, mask: int, value: int, timeout: float = 1.0) -> bool:
        """Waits until (register AND mask) = (value AND mask): True, or False after `timeout`
        seconds (0 to 60) or when the wait was cancelled in the program (its Cancel, a signal)."""
        address = check.integer("address", address, check.CHIP_ADDRESSES)
        mask = check.integer("mask", mask, check.WORD)
        value = check.integer("value", value, check.WORD)
        try:
            seconds = float(timeout)
        except (TypeError, ValueError):
            raise ArgumentError(f"timeout must be a number of seconds, not {timeout!r}") from None
        if not 0.0 <= seconds <= check.WAIT_SECONDS:
            raise ArgumentError(f"timeout must be from 0 to {check.WAIT_SECONDS:g} s, not {seconds:g}")
        return bool(self._call("WaitForBits", dbus.Byte(address), dbus.UInt32(mask), dbus.UInt32(value),
                               dbus.UInt32(round(seconds * 1000)), call_timeout=self._timeout + seconds))

    def status(self) -> dict:
        """The program's state: "board id", "port" (as the status bar shows it), "base", "demo",
        "recording", "busy", "version". Answered at once, also while an operation runs."""
        return {str(key): bool(value) if isinstance(value, dbus.Boolean) else
                int(value) if isinstance(value, (dbus.Byte, dbus.Int16, dbus.UInt16, dbus.Int32, dbus.UInt32,
                                                 dbus.Int64, dbus.UInt64)) else str(value)
                for key, value in self._call("Status").items()}

    # com.tessaric.Tarsion.Registers1

    def take_snapshot(self, name: str = "") -> str:
        """Keeps the board's registers now under `name`; the snapshot's id ("s1", "s2", ...)."""
        return str(self._call("TakeSnapshot", check.text("name", name)))

    def save_snapshot(self, snapshot_id: str, file) -> None:
        """Writes a snapshot (or "board") as a plain text file."""
        self._call("SaveSnapshot", check.text("snapshot_id", snapshot_id), check.path("file", file))

    def open_snapshot(self, file) -> str:
        """Reads a snapshot file or a saved configuration; the new snapshot's id."""
        return str(self._call("OpenSnapshot", check.path("file", file)))

    def compare(self, a: str, b: str) -> list[FieldChange]:
        """The register fields that differ from snapshot `a` to `b` ("board" is the board now)."""
        rows = self._call("Compare", check.text("a", a), check.text("b", b))
        return [FieldChange(int(r[0]), str(r[1]), str(r[2]), str(r[3]), int(r[4]), int(r[5])) for r in rows]

    def registers(self) -> dict[int, int]:
        """The chip registers that keep a value, as the program last wrote or read them."""
        return {int(address): int(value) for address, value in self._call("Registers").items()}

    def undo(self) -> bool:
        """Takes back the last register write; False when there is nothing to undo."""
        return bool(self._call("Undo"))

    # com.tessaric.Tarsion.Signal1

    def filter_figures(self, which: str, source: str = "written", *, passband_edge: float | None = None,
                       stopband_edge: float | None = None, rolloff: float | None = None,
                       call_timeout: float | None = None) -> dict[str, float]:
        """The figures of merit of the "I" or "Q" shaping filter, as the Filter view gives them.
        `source`: "written" (the RAM as loaded and written since), "board" (read back first, as
        Read from Board) or "file" (the file's taps times the load's gain). Frequencies are in cycles
        per output sample (the symbol rate is 1/R); band edges not given come from `rolloff`
        (default 0.35): (1 - rolloff) / 2R and (1 + rolloff) / 2R. Keys: dc_gain_db, ripple_db,
        stopband_db (negative), f3db, f6db, group_delay, group_delay_variation (output samples),
        isi_evm_percent, isi_evm_db, passband_edge, stopband_edge; NaN where a figure has no value."""
        which = check.word("which", which, ("I", "Q"))
        source = check.word("source", source, ("written", "board", "file"))
        options = {}
        for name, value, high in (("passband_edge", passband_edge, 0.5), ("stopband_edge", stopband_edge, 0.5),
                                  ("rolloff", rolloff, 1.0)):
            if value is not None:
                options[name] = dbus.Double(check.within(name, value, 0.0, high))
        figures = self._call("FilterFigures", which, source, dbus.Dictionary(options, signature="sv"),
                             call_timeout=call_timeout)
        return {str(key): float(value) for key, value in figures.items()}

    def pattern_figures(self, source: str = "written", *, channel: str = "I", peaks: int = 10,
                        channel_width: float | None = None, channel_offsets=None,
                        call_timeout: float | None = None) -> dict:
        """The figures of merit of the pattern memory, as the Pattern view gives them. `source`:
        "written" or "board" (read back first, as Read from Board); `channel` "I", "Q" or "IQ"
        (I + jQ, with negative frequencies). Frequencies in cycles per sample pair. Keys: peaks (a
        list of (frequency, dBFS), largest first), window ("Blackman-Harris 7-term" or "none"),
        fundamental_frequency, fundamental_dbfs, sfdr_db, snr_db, sinad_db, thd_db, enob, pairs;
        with `channel_width` also channel_power_dbfs and aclr_db (a list, one per offset of
        `channel_offsets`, default one width either side); data_clk_hz when DataClk is known."""
        source = check.word("source", source, ("written", "board"))
        options = {"channel": dbus.String(check.word("channel", channel, ("I", "Q", "IQ"))),
                   "peaks": dbus.UInt32(check.integer("peaks", peaks, (0, 1000), hexadecimal=False))}
        if channel_width is not None:
            width = check.within("channel_width", channel_width, 0.0, 1.0)
            if not width > 0:
                raise ArgumentError("channel_width must be above 0")
            options["channel_width"] = dbus.Double(width)
        if channel_offsets is not None:
            try:
                offsets = [check.within(f"channel_offsets[{index}]", value, -1.0, 1.0)
                           for index, value in enumerate(channel_offsets)]
            except TypeError:
                raise ArgumentError(f"channel_offsets must be a list of numbers, not {channel_offsets!r}") from None
            if len(offsets) > 64:
                raise ArgumentError(f"channel_offsets holds at most 64 offsets, not {len(offsets)}")
            options["channel_offsets"] = dbus.Array(offsets, signature="d")
        figures = self._call("PatternFigures", source, dbus.Dictionary(options, signature="sv"),
                             call_timeout=call_timeout)
        result = {}
        for key, value in figures.items():
            key = str(key)
            if key == "peaks":
                result[key] = [(float(frequency), float(level)) for frequency, level in value]
            elif key == "aclr_db":
                result[key] = [float(ratio) for ratio in value]
            elif key == "window":
                result[key] = str(value)
            elif key == "pairs":
                result[key] = int(value)
            else:
                result[key] = float(value)
        return result

    def import_pattern(self, file, *, scaling: str = "as is", preview: bool = False,
                       call_timeout: float | None = None) -> dict:
        """Imports a test pattern from CSV, NumPy (.npy, .npz) or WAV into the pattern memory, as
        Load File on the Board page does; relative names are taken against Tarsion's start folder.
        `scaling`: "as is" (integers are samples, other values fractions of full scale) or "full
        scale" (the largest magnitude becomes 32767). With preview=True nothing is written. The
        report: pairs, clipped, scale, min, max, sample_min, sample_max, first_address, scaling,
        negatives, layout, file, written. A refused file (NaN, too large for the memory, an unknown
        layout) raises OperationFailed with the reason; the memory then stays as it was."""
        options = {"scaling": dbus.String(check.word("scaling", scaling, ("as is", "full scale"))),
                   "preview": dbus.Boolean(bool(preview))}
        report = self._call("ImportPattern", check.path("file", file), dbus.Dictionary(options, signature="sv"),
                            call_timeout=call_timeout)
        return {str(key): bool(value) if isinstance(value, dbus.Boolean) else
                str(value) if isinstance(value, dbus.String) else
                float(value) if isinstance(value, dbus.Double) else int(value)
                for key, value in report.items()}
