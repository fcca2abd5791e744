# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""The D-Bus methods the client calls, as resources/dbus/*.xml describes them (a test compares the
two): for each method its interface, its input arguments as (name, type) pairs in order, and its
output types. Every call is marshalled with the input signature given here."""

SERVICE = "com.tessaric.Tarsion"
PATH = "/Trm90627"
AUTOMATION = "com.tessaric.Tarsion.Automation"
TRM90627 = "com.tessaric.Trm90627"
BOARD1 = "com.tessaric.Tarsion.Board1"
REGISTERS1 = "com.tessaric.Tarsion.Registers1"
SIGNAL1 = "com.tessaric.Tarsion.Signal1"

INTERFACES = {
    AUTOMATION: {
        "Create": ((), ()),
    },
    TRM90627: {
        "SoftReset": ((), ("b",)),
        "Reset": ((), ("b",)),
        "Poke": ((("address", "v"), ("data", "v")), ("b",)),
        "ModifyBits": ((("address", "v"), ("data", "v"), ("mask", "v")), ("b",)),
        "SetBits": ((("address", "v"), ("mask", "v")), ("b",)),
        "ResetBits": ((("address", "v"), ("mask", "v")), ("b",)),
        "Send": ((), ("b",)),
        "Stop": ((), ("b",)),
        "Write": ((("address", "v"), ("data", "v")), ("b",)),
        "PldWrite": ((("address", "v"), ("data", "v")), ("b",)),
        "LoadExternalMemory": ((("file", "s"),), ("b",)),
        "LoadExternalMem": ((("iKind", "i"), ("qKind", "i"), ("iAmplitude", "d"), ("qAmplitude", "d"),
                             ("samplesPerCycle", "d"), ("numberOfSamples", "d")), ("b",)),
        "DumpCoefficientRam": ((("ram", "n"), ("file", "s")), ("b",)),
        "LoadConstellationRam": ((("file", "s"),), ("b",)),
        "DumpConstellationRam": ((("file", "s"),), ("b",)),
        "LoadCoefficientRam": ((("ram", "n"), ("file", "s"), ("bestFit", "b"), ("scale", "d"), ("loadOffset", "b"),
                                ("interpolation", "n"), ("twoBitMode", "b"), ("symmetric", "b")), ("b",)),
        "PldRead": ((("address", "n"),), ("n",)),
        "Read": ((("address", "n"),), ("n",)),
        "Peek": ((("address", "n"),), ("d",)),
    },
    BOARD1: {
        "PokeMany": ((("writes", "a(yu)"),), ()),
        "PeekMany": ((("addresses", "ay"),), ("au",)),
        "PldWriteMany": ((("writes", "a(yy)"),), ()),
        "PldReadMany": ((("registers", "ay"),), ("ay",)),
        "ReadMemory": ((("which", "s"), ("first", "u"), ("count", "u")), ("aay",)),
        "WriteMemory": ((("which", "s"), ("first", "u"), ("words", "aay")), ()),
        "Verify": ((("which", "s"),), ("b", "a(uayay)")),
        "WaitForBits": ((("address", "y"), ("mask", "u"), ("value", "u"), ("timeout_ms", "u")), ("b",)),
        "Status": ((), ("a{sv}",)),
        "LastResult": ((), ("s",)),
    },
    REGISTERS1: {
        "TakeSnapshot": ((("name", "s"),), ("s",)),
        "SaveSnapshot": ((("id", "s"), ("file", "s")), ("b",)),
        "OpenSnapshot": ((("file", "s"),), ("s",)),
        "Compare": ((("a", "s"), ("b", "s")), ("a(ysssuu)",)),
        "Registers": ((), ("a{yu}",)),
        "Undo": ((), ("b",)),
    },
    SIGNAL1: {
        "FilterFigures": ((("which", "s"), ("source", "s"), ("options", "a{sv}")), ("a{sd}",)),
        "PatternFigures": ((("source", "s"), ("options", "a{sv}")), ("a{sv}",)),
        "ImportPattern": ((("file", "s"), ("options", "a{sv}")), ("a{sv}",)),
    },
}

# Method name -> (interface, input arguments, output types); the names are unique over the object.
METHODS = {method: (interface, arguments, results)
           for interface, methods in INTERFACES.items()
           for method, (arguments, results) in methods.items()}
