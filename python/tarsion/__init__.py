# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""Python client of Tarsion, the bench program of the TRM90627 evaluation board.

    import tarsion
    with tarsion.Board() as b:              # or tarsion.Board("parport0") for a board by its id
        b.poke(0x0a, 0x20000000)
        print(hex(b.peek(0x0a)))

Every method of Board performs one board operation in Tarsion, which logs it (and records it while
recording). Arguments are checked against the board's limits before anything is sent
(ArgumentError, a ValueError naming the argument and its range). A failed operation raises
OperationFailed with the reason Tarsion logged; no program or a program gone raises
BoardUnavailable; a call without answer within its timeout (60 s unless Board(timeout=...) or the
method's call_timeout says otherwise) raises Timeout. All are tarsion.Error.

Word lists come back as lists of ints, or as numpy arrays with as_array=True; numpy arrays are
accepted wherever a list is. tarsion.boards() lists the running programs and the parallel ports.
The package also holds a pytest plugin (tarsion.pytest_plugin) and private test servers
(tarsion.testing).
"""

from ._interfaces import PATH, SERVICE
from ._version import __version__
from .board import DEFAULT_TIMEOUT, Board, Difference, FieldChange
from .discovery import Boards, ParallelPort, RunningBoard, boards
from .errors import ArgumentError, BoardUnavailable, Error, OperationFailed, Timeout

__all__ = ["Board", "Difference", "FieldChange", "boards", "Boards", "RunningBoard", "ParallelPort", "Error",
           "ArgumentError", "OperationFailed", "BoardUnavailable", "Timeout", "SERVICE", "PATH", "DEFAULT_TIMEOUT",
           "__version__"]

# The name of Error in earlier versions of the client.
TarsionError = Error
