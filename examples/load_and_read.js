// Drives Tarsion from JavaScript with tarsion-script: loads the example filter into the I
// coefficient RAM and the example pattern into the pattern memory, writes the carrier frequency
// register and reads it back. Run it with: tarsion-script load_and_read.js
var Tarsion = WScript.CreateObject("Trm90627");
var folder = WScript.ScriptFullName.substring(0, WScript.ScriptFullName.lastIndexOf("/") + 1);

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
