// Automation call rate: Poke against a call that does no work (D-Bus Peer.Ping on the same object).
var Tarsion = WScript.CreateObject("Trm90627");
var calls = WScript.Arguments.length > 0 ? Number(WScript.Arguments(0)) : 10000;

function rate(call) {
    var start = Date.now();
    for (var i = 0; i < calls; ++i)
        call(i);
    return calls / ((Date.now() - start) / 1000);
}

Tarsion.Ping(); // warm-up: name lookup and connection set-up
var poke = rate(function (i) { Tarsion.Poke(0x0a, i); });
var ping = rate(function () { Tarsion.Ping(); });
WScript.Echo("calls each:  " + calls);
WScript.Echo("Poke:        " + poke.toFixed(0) + " calls/s");
WScript.Echo("bare (Ping): " + ping.toFixed(0) + " calls/s");
WScript.Echo("ratio:       " + (poke / ping).toFixed(2));
