// Automation call rate: Poke against a call that does no work (D-Bus Peer.Ping on the same object).
// The two alternate in blocks, so that a machine whose load changes during the run slows both alike.
var Tarsion = WScript.CreateObject("Trm90627");
var calls = WScript.Arguments.length > 0 ? Number(WScript.Arguments(0)) : 10000;
var block = 100;

var pokeMs = 0, pingMs = 0;
Tarsion.Ping(); // warm-up: name lookup and connection set-up
for (var done = 0; done < calls; done += block) {
    var start = Date.now();
    for (var i = done; i < done + block; ++i)
        Tarsion.Poke(0x0a, i);
    var middle = Date.now();
    for (var j = 0; j < block; ++j)
        Tarsion.Ping();
    pokeMs += middle - start;
    pingMs += Date.now() - middle;
}
var made = Math.ceil(calls / block) * block;
var poke = made / (pokeMs / 1000);
var ping = made / (pingMs / 1000);
WScript.Echo("calls each:  " + made);
WScript.Echo("Poke:        " + poke.toFixed(0) + " calls/s");
WScript.Echo("bare (Ping): " + ping.toFixed(0) + " calls/s");
WScript.Echo("ratio:       " + (poke / ping).toFixed(2));
