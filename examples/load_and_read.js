// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Tessaric
// Drives Tarsion from JavaScript with tarsion-script: loads the example filter into the I
// coefficient RAM and the example pattern into the pattern memory, writes the carrier frequency
// register and reads it back. Run it with: tarsion-script load_and_read.js [FOLDER]
// Works on copies of the example files in a new folder under FOLDER (default /tmp; the filter load
// writes its RAM image beside the filter). Exits with status 1 when an operation fails; Tarsion's
// log says why.
var examples = WScript.ScriptFullName.substring(0, WScript.ScriptFullName.lastIndexOf("/") + 1);
var parent = WScript.Arguments.length > 0 ? WScript.Arguments(0) : "/tmp";
var folder = parent + "/tarsion-example-" + Date.now().toString(36) + Math.floor(Math.random() * 1e9).toString(36) + "/";

// One word of a command line for WScript.Shell's Run: quoted, with quotes tripled.
function word(text) {
    return '"' + text.replace(/"/g, '"""') + '"';
}

// mkdir fails on a name that exists (a planted link too), so the folder is our own.
var copy = "sh -c " + word('mkdir -m 700 "$0" && cp "$1" "$2" "$0"') + " " + word(folder) + " " +
    word(examples + "lowpass.coe") + " " + word(examples + "tone.pat");
if (WScript.CreateObject("WScript.Shell").Run(copy, 0, true) != 0) {
    WScript.Echo("can't copy the example files to " + folder);
    WScript.Quit(1);
}
WScript.Echo("working in " + folder + " (the filter's RAM image lowpass_I.Ram goes there)");
var Tarsion = WScript.CreateObject("Trm90627");

function check(ok, what) {
    if (!ok) {
        WScript.Echo(what + " failed; see Tarsion's log");
        WScript.Quit(1);
    }
}

// RAM 0 (I), Best Fit, scale 1.0, load the offset, interpolation 0, not 2-bit mode, not symmetric.
check(Tarsion.LoadCoefficientRam(0, folder + "lowpass.coe", true, 1.0, true, 0, false, false), "LoadCoefficientRam");
check(Tarsion.LoadExternalMemory(folder + "tone.pat"), "LoadExternalMemory");
check(Tarsion.Poke(0x0a, 0x20000000), "Poke");
var value = Tarsion.Peek(0x0a);
WScript.Echo("register 0x0a reads 0x" + ("0000000" + value.toString(16)).slice(-8));
WScript.Quit(value == 0x20000000 ? 0 : 1);
