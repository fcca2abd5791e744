# SPDX-License-Identifier: GPL-3.0-or-later
"""Python client of Tarsion, the bench program of the TRM90627 evaluation board.

    import tarsion
    with tarsion.Board() as b:              # or tarsion.Board("parport0") for a board by its id
        b.poke(0x0a, 0x20000000)
        print(hex(b.peek(0x0a)))

Every method performs one board operation in Tarsion, which logs it (and records it while
recording). A failed operation raises OperationFailed carrying the reason Tarsion logged. Word
lists are returned as numpy arrays when numpy is installed, else as lists; numpy arrays are
accepted wherever a list is.
"""

import dbus

try:
    import numpy
except ImportError:  # numpy is optional
    numpy = None

__all__ = ["Board", "TarsionError", "OperationFailed", "SERVICE"]

SERVICE = "com.tessaric.Tarsion"
PATH = "/Trm90627"
_BOARD = "com.tessaric.Trm90627"
_BOARD1 = "com.tessaric.Tarsion.Board1"
_CREATION = "com.tessaric.Tarsion.Automation"
_FAILED = "com.tessaric.Tarsion.Error.Failed"
# Memory loads can take minutes: calls wait as long as they take (dbus-python counts seconds).
_NO_TIMEOUT = 7 * 24 * 3600.0


class TarsionError(Exception):
    """Tarsion can't be reached, or refused a call."""


class OperationFailed(TarsionError):
    """A board operation failed. `reason` is what Tarsion's log said; for a batch, `index` is the
    item where it stopped (the items before it were done)."""

    def __init__(self, operation, reason, index=None):
        where = "" if index is None else f" at item {index}"
        super().__init__(f"{operation} failed{where}: {reason or 'see the log'}")
        self.operation = operation
        self.reason = reason
        self.index = index


def _integers(values):
    """A list of Python ints from a list, tuple or numpy array."""
    return [int(v) for v in values]


def _words(values, dtype):
    values = [int(v) for v in values]
    return numpy.array(values, dtype=dtype) if numpy is not None else values


def _byte_words(words, width):
    """Memory words as bytes: each word a bytes object, a sequence of byte values, or an int
    (split into `width` bytes, least significant first); a numpy array of ints counts as one int
    per word, a 2-D array as one row of bytes per word."""
    out = []
    for word in words:
        if isinstance(word, (bytes, bytearray)):
            out.append(dbus.ByteArray(bytes(word)))
        elif numpy is not None and isinstance(word, numpy.ndarray) and word.ndim == 1:
            out.append(dbus.ByteArray(bytes(word.astype(numpy.uint8))))
        elif hasattr(word, "__iter__"):
            out.append(dbus.ByteArray(bytes(_integers(word))))
        else:
            out.append(dbus.ByteArray(int(word).to_bytes(width, "little")))
    return dbus.Array(out, signature="ay")


_WIDTHS = {"i": 9, "q": 9, "constellation": 1, "pattern": 3}


class Board:
    """One Tarsion program on the session bus: the first one without `board_id`, else the one
    serving that board id (bus name com.tessaric.Tarsion.Board.<id>). When no program serves the
    name, D-Bus activation starts one."""

    def __init__(self, board_id=None, bus=None):
        self._own_bus = bus is None
        self._bus = dbus.SessionBus(private=True) if bus is None else bus
        name = SERVICE if board_id is None else f"{SERVICE}.Board.{board_id}"
        try:
            obj = self._bus.get_object(name, PATH)
            obj.Create(dbus_interface=_CREATION, timeout=_NO_TIMEOUT)
        except dbus.DBusException as error:
            self.close()
            raise TarsionError(f"no Tarsion serves {name}: {error.get_dbus_message()}") from None
        self._trm = dbus.Interface(obj, _BOARD)
        self._board1 = dbus.Interface(obj, _BOARD1)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        """Leaves the bus (the program keeps running)."""
        if self._own_bus and self._bus is not None:
            self._bus.close()
        self._bus = None

    # Calls

    def _call(self, interface, method, *args):
        try:
            return getattr(interface, method)(*args, timeout=_NO_TIMEOUT)
        except dbus.DBusException as error:
            if error.get_dbus_name() == _FAILED:
                text = error.get_dbus_message() or ""
                index, _, reason = text.partition(": ")
                if index.startswith("item "):
                    raise OperationFailed(method, reason, int(index[5:])) from None
                raise OperationFailed(method, text) from None
            raise TarsionError(f"{method}: {error.get_dbus_message()}") from None

    def _check(self, method, ok):
        if not ok:
            raise OperationFailed(method, self.last_result())

    def _run(self, method, *args):
        self._check(method, self._call(self._trm, method, *args))

    def last_result(self):
        """The result lines Tarsion logged for the last operation."""
        return str(self._call(self._board1, "LastResult"))

    # The board operations of com.tessaric.Trm90627. Numbers travel as the automation object
    # expects them: register words as int32 when they fit, else as double.

    @staticmethod
    def _number(value):
        value = int(value)
        if -(2**31) <= value < 2**31:
            return dbus.Int32(value, variant_level=1)
        return dbus.Double(float(value), variant_level=1)

    def soft_reset(self):
        self._run("SoftReset")

    def reset(self):
        self._run("Reset")

    def poke(self, address, data):
        self._run("Poke", self._number(address), self._number(data))

    def modify_bits(self, address, data, mask):
        self._run("ModifyBits", self._number(address), self._number(data), self._number(mask))

    def set_bits(self, address, mask):
        self._run("SetBits", self._number(address), self._number(mask))

    def reset_bits(self, address, mask):
        self._run("ResetBits", self._number(address), self._number(mask))

    def send(self):
        self._run("Send")

    def stop(self):
        self._run("Stop")

    def write(self, reg, data):
        self._run("Write", self._number(reg), self._number(data))

    def pld_write(self, reg, data):
        self._run("PldWrite", self._number(reg), self._number(data))

    def load_external_memory(self, file):
        self._run("LoadExternalMemory", str(file))

    def load_external_mem(self, i_kind, q_kind, i_amplitude, q_amplitude, samples_per_cycle, number_of_samples):
        self._run("LoadExternalMem", dbus.Int32(i_kind), dbus.Int32(q_kind), float(i_amplitude),
                  float(q_amplitude), float(samples_per_cycle), float(number_of_samples))

    def dump_coefficient_ram(self, ram, file):
        self._run("DumpCoefficientRam", dbus.Int16(ram), str(file))

    def load_constellation_ram(self, file):
        self._run("LoadConstellationRam", str(file))

    def dump_constellation_ram(self, file):
        self._run("DumpConstellationRam", str(file))

    def load_coefficient_ram(self, ram, file, best_fit=True, scale=1.0, load_offset=True, interpolation=0,
                             two_bit_mode=False, symmetric=False):
        self._run("LoadCoefficientRam", dbus.Int16(ram), str(file), bool(best_fit), float(scale),
                  bool(load_offset), dbus.Int16(interpolation), bool(two_bit_mode), bool(symmetric))

    # Reads go through the batch interface, whose failures carry the reason (the single reads
    # answer 0, which a register may well hold).

    def pld_read(self, reg):
        return int(self._call(self._board1, "PldReadMany", dbus.ByteArray(bytes([int(reg) & 0xFF])))[0])

    def read(self, reg):
        value = int(self._call(self._trm, "Read", dbus.Int16(int(reg) & 0xFF)))
        if value == 0:
            # 0 is also the answer of a failed read: the log tells them apart.
            reason = self.last_result()
            if not reason.startswith("Returned"):
                raise OperationFailed("Read", reason)
        return value

    def peek(self, address):
        return int(self._call(self._board1, "PeekMany", dbus.ByteArray(bytes([int(address) & 0xFF])))[0])

    # com.tessaric.Tarsion.Board1

    def poke_many(self, writes):
        """Writes (address, value) pairs in one operation; `writes` may be a list of pairs, a
        dict, or an n x 2 numpy array."""
        pairs = writes.items() if isinstance(writes, dict) else writes
        items = [dbus.Struct((dbus.Byte(int(a)), dbus.UInt32(int(v))), signature="yu") for a, v in pairs]
        self._call(self._board1, "PokeMany", dbus.Array(items, signature="(yu)"))

    def peek_many(self, addresses):
        values = self._call(self._board1, "PeekMany", dbus.ByteArray(bytes(_integers(addresses))))
        return _words(values, "uint32")

    def pld_write_many(self, writes):
        pairs = writes.items() if isinstance(writes, dict) else writes
        items = [dbus.Struct((dbus.Byte(int(r)), dbus.Byte(int(v))), signature="yy") for r, v in pairs]
        self._call(self._board1, "PldWriteMany", dbus.Array(items, signature="(yy)"))

    def pld_read_many(self, regs):
        values = self._call(self._board1, "PldReadMany", dbus.ByteArray(bytes(_integers(regs))))
        return _words(values, "uint8")

    def read_memory(self, which, first=0, count=None):
        """Words of "I", "Q", "constellation" or "pattern" as ints (9, 1 or 3 bytes, least
        significant first); all of the memory from `first` when `count` is None."""
        if count is None:
            count = {"i": 256, "q": 256, "constellation": 256, "pattern": 0x40000}.get(which.lower(), 0) - first
        words = self._call(self._board1, "ReadMemory", str(which), dbus.UInt32(first), dbus.UInt32(count))
        values = [int.from_bytes(bytes(word), "little") for word in words]
        if numpy is not None and _WIDTHS.get(which.lower(), 9) <= 8:
            return numpy.array(values, dtype="uint32")
        return values

    def write_memory(self, which, first, words):
        """Writes "I", "Q", "constellation" or "pattern" words from `first`: ints, byte strings or byte lists."""
        width = _WIDTHS.get(which.lower(), 1)
        self._call(self._board1, "WriteMemory", str(which), dbus.UInt32(first), _byte_words(words, width))

    def verify(self, which):
        """Reads a memory back against its last load: a list of (address, expected, read) ints,
        empty when all match."""
        _, differences = self._call(self._board1, "Verify", str(which))
        return [(int(a), int.from_bytes(bytes(e), "little"), int.from_bytes(bytes(r), "little"))
                for a, e, r in differences]

    def wait_for_bits(self, address, mask, value, timeout=1.0):
        """Waits until (register AND mask) = (value AND mask); True, or False after `timeout`
        seconds (at most 60)."""
        ms = max(0, min(int(timeout * 1000), 60000))
        return bool(self._call(self._board1, "WaitForBits", dbus.Byte(int(address)), dbus.UInt32(int(mask)),
                               dbus.UInt32(int(value)), dbus.UInt32(ms)))

    def status(self):
        """The program's state: board id, port (as the status bar shows it), base, demo, recording,
        busy, version."""
        return {str(k): (bool(v) if isinstance(v, dbus.Boolean) else
                         int(v) if isinstance(v, (dbus.UInt32, dbus.Int32, dbus.UInt16)) else str(v))
                for k, v in self._call(self._board1, "Status").items()}
