# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""The client's exceptions: everything it raises is a tarsion.Error."""


class Error(Exception):
    """Anything the client raises: a refused argument, a failed operation, no program, no answer."""


class ArgumentError(Error, ValueError):
    """An argument outside what the board takes; nothing was sent. The message names the argument
    and its range."""


class OperationFailed(Error):
    """A board operation failed. `reason` is what Tarsion's log said; for a batch, `index` is the
    item where it stopped (the items before it were done)."""

    def __init__(self, operation: str, reason: str, index: int | None = None):
        where = "" if index is None else f" at item {index}"
        super().__init__(f"{operation} failed{where}: {reason or 'see the log'}")
        self.operation = operation
        self.reason = reason
        self.index = index


class BoardUnavailable(Error):
    """No Tarsion serves the board: none runs and none could be started (the message says why and
    what to do), the board id is unknown, or the program went away."""


class Timeout(Error):
    """Tarsion did not answer within the call's timeout (it may still be busy, or stopped)."""

    def __init__(self, operation: str, seconds: float):
        super().__init__(f"{operation}: no answer within {seconds:g} s")
        self.operation = operation
        self.seconds = seconds
