// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Tessaric
// Automation call rates through tarsion-script: Poke and Peek against a call that does no work
// (D-Bus Peer.Ping on the same object). The three take turns in rounds of a few hundred calls, so
// that a change in the machine's load meets all of them alike.
// Prints one line: "poke=N peek=N ping=N" (calls per second).
var Tarsion = WScript.CreateObject("Trm90627");
var calls = WScript.Arguments.length > 0 ? Number(WScript.Arguments(0)) : 10000;
var round = 250;

var kinds = {
    ping: function () { Tarsion.Ping(); },
    poke: function (i) { Tarsion.Poke(0x0a, i); },
    peek: function () { Tarsion.Peek(0x0a); }
};
var spent = { ping: 0, poke: 0, peek: 0 };

Tarsion.Ping(); // warm-up: name lookup and connection set-up
for (var done = 0; done < calls; done += round) {
    for (var name in kinds) {
        var call = kinds[name];
        var start = Date.now();
        for (var i = done; i < done + round; ++i)
            call(i);
        spent[name] += Date.now() - start;
    }
}
function rate(name) { return (Math.ceil(calls / round) * round / (spent[name] / 1000)).toFixed(0); }
WScript.Echo("poke=" + rate("poke") + " peek=" + rate("peek") + " ping=" + rate("ping"));
