// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Tessaric
// A full generated pattern load (131,072 I/Q pairs) timed from the script's side.
// Usage: tarsion-script long_load.js [PAIRS]
var pairs = WScript.Arguments.length > 0 ? Number(WScript.Arguments(0)) : 131072;
var board = WScript.CreateObject("Trm90627");
var start = new Date().getTime();
var ok = board.LoadExternalMem(1, 0, 1, 0, 16, pairs);
WScript.Echo("pairs=" + pairs + " loaded=" + ok + " seconds=" + ((new Date().getTime() - start) / 1000).toFixed(1));
