# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""Checks of the client's arguments against the board's limits, made before anything is sent: the
automation object would take the low bits of a number that is too large and reach another
register."""

import math
import operator
import os
import re

from .errors import ArgumentError

CHIP_ADDRESSES = (0x00, 0x1F)  # the chip's register space (0x13 to 0x1e hold no register: refused by the board)
CPLD_REGISTERS = (0, 63)  # bridge and PLD register numbers the address byte carries
WORD = (0, 0xFFFFFFFF)
BYTE = (0, 0xFF)
INT16 = (-0x8000, 0x7FFF)
WAIT_SECONDS = 60.0

# Memory name (lower case) -> (words, bytes per word, writable).
MEMORIES = {"i": (256, 9, True), "q": (256, 9, True), "constellation": (256, 1, True),
            "pattern": (0x40000, 3, True)}

_BOARD_ID = re.compile(r"[A-Za-z_-][A-Za-z0-9_-]*")


def _shown(value: int, hexadecimal: bool) -> str:
    return f"0x{value:02x}" if hexadecimal and value >= 0 else str(value)


def integer(name: str, value, limits: tuple[int, int], hexadecimal: bool = True) -> int:
    """`value` as an int within `limits` (both included)."""
    lowest, highest = limits
    span = f"from {_shown(lowest, hexadecimal)} to {_shown(highest, hexadecimal)}"
    try:
        number = operator.index(value)
    except TypeError:
        raise ArgumentError(f"{name} must be a whole number {span}, not {value!r}") from None
    if not lowest <= number <= highest:
        raise ArgumentError(f"{name} must be {span}, not {_shown(number, hexadecimal)}")
    return number


def real(name: str, value, above: float | None = None) -> float:
    """`value` as a finite float (greater than `above` when given)."""
    try:
        number = float(value)
    except (TypeError, ValueError):
        raise ArgumentError(f"{name} must be a number, not {value!r}") from None
    if not math.isfinite(number):
        raise ArgumentError(f"{name} must be a finite number, not {number}")
    if above is not None and not number > above:
        raise ArgumentError(f"{name} must be greater than {above:g}, not {number:g}")
    return number


def within(name: str, value, low: float, high: float) -> float:
    """`value` as a float from `low` to `high`."""
    number = real(name, value)
    if not low <= number <= high:
        raise ArgumentError(f"{name} must be from {low:g} to {high:g}, not {number:g}")
    return number


def word(name: str, value, words: tuple[str, ...]) -> str:
    """One of `words`, matched without regard to case; the spelling of `words`."""
    if isinstance(value, str):
        for known in words:
            if value.lower() == known.lower():
                return known
    raise ArgumentError(f"{name} must be one of {', '.join(repr(w) for w in words)}, not {value!r}")


def path(name: str, value) -> str:
    """A file name as text: str, bytes or os.PathLike, without NUL characters."""
    try:
        text = os.fsdecode(os.fspath(value))
    except TypeError:
        raise ArgumentError(f"{name} must be a file name, not {value!r}") from None
    if "\0" in text:
        raise ArgumentError(f"{name} must not contain a NUL character")
    return text


def text(name: str, value) -> str:
    """A string argument without NUL characters."""
    if not isinstance(value, str):
        raise ArgumentError(f"{name} must be a string, not {value!r}")
    if "\0" in value:
        raise ArgumentError(f"{name} must not contain a NUL character")
    return value


def choice(name: str, value, choices: tuple[int, ...]) -> int:
    """One of a few whole numbers."""
    number = integer(name, value, (min(choices), max(choices)), hexadecimal=False)
    if number not in choices:
        raise ArgumentError(f"{name} must be one of {', '.join(map(str, choices))}, not {number}")
    return number


def memory(value, writable: bool = False) -> tuple[str, int, int]:
    """A memory name: (name as given, words, bytes per word)."""
    names = [key for key, (_, _, can_write) in MEMORIES.items() if can_write or not writable]
    spelled = ", ".join('"I"' if n == "i" else '"Q"' if n == "q" else f'"{n}"' for n in names)
    if not isinstance(value, str) or value.lower() not in names:
        raise ArgumentError(f"which must be one of {spelled} (any case), not {value!r}")
    words, width, _ = MEMORIES[value.lower()]
    return value, words, width


def board_id(value) -> str:
    """A board id as the bus name carries it: letters, digits, '_' and '-', not starting with a digit."""
    if not isinstance(value, str) or not _BOARD_ID.fullmatch(value):
        raise ArgumentError(f"board_id must be letters, digits, '_' and '-' not starting with a digit, "
                            f"not {value!r}")
    return value


def timeout(name: str, value) -> float:
    """A call's timeout in seconds, greater than 0."""
    return real(name, value, above=0.0)


def pairs(name: str, writes, first: tuple[str, tuple[int, int]], second: tuple[str, tuple[int, int]]):
    """(first, second) pairs from a list of pairs, a dict or an n x 2 array, each checked."""
    items = writes.items() if isinstance(writes, dict) else writes
    checked = []
    try:
        for index, item in enumerate(items):
            try:
                a, b = item
            except (TypeError, ValueError):
                raise ArgumentError(f"{name}[{index}] must be a pair, not {item!r}") from None
            checked.append((integer(f"{name}[{index}] {first[0]}", a, first[1]),
                            integer(f"{name}[{index}] {second[0]}", b, second[1])))
    except TypeError:
        raise ArgumentError(f"{name} must be a list of pairs, a dict or an n x 2 array, not {writes!r}") from None
    return checked


def integers(name: str, values, limits: tuple[int, int]) -> list[int]:
    """A list, tuple or array of whole numbers, each within `limits`."""
    try:
        return [integer(f"{name}[{index}]", value, limits) for index, value in enumerate(values)]
    except TypeError:
        raise ArgumentError(f"{name} must be a list of whole numbers, not {values!r}") from None
