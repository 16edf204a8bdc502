// The page's side of the request benchmark, run by pagehost.exe with the control and the
// maker-signed stand-in kernel in the home folder: the page links (starting the kernel),
// times SaveData and LoadData round trips as page script sees them, the first OnResult
// after a command sent from an idle page, how fast a burst of kernel results reaches its
// OnResult handler, and a thousand commands sent in one script turn. Prints "figure <key>
// <value> <unit>" lines, or "missing <key> <reason>" for what it could not measure.
var ROUND_TRIPS = 200;
var BURST_CMD = 100;
var BURST_SERIAL = 4242;
var BURST_COUNT = 50;
var BURST_LIMIT_MS = 15000;
var ECHO_CMD = 2001; // echoed by the kernel
var ECHO_ROUNDS = 50;
var COMMAND_CMD = 2002;
var COMMANDS = 1000;
var VLS_OK = 0;

// The host's performance counter in milliseconds: Date reads whole milliseconds only.
function now() { return host.now(); }
function figure(key, value, unit) { host.print("figure " + key + " " + value + " " + unit); }
function missing(key, reason) { host.print("missing " + key + " " + reason); }

function sorted(samples) { return samples.slice(0).sort(function (a, b) { return a - b; }); }
function median(samples) {
    var s = sorted(samples), middle = Math.floor(s.length / 2);
    return s.length % 2 ? s[middle] : (s[middle - 1] + s[middle]) / 2;
}
// Nearest rank, as the programs of the benchmark compute it.
function percentile(samples, p) {
    var s = sorted(samples);
    return s[Math.max(1, Math.ceil(p / 100 * s.length)) - 1];
}
function latency(key, samples) {
    figure(key + ".median", median(samples), "ms");
    figure(key + ".p99", percentile(samples, 99), "ms");
    figure(key + ".count", samples.length, "samples");
}

var burstStart = 0;
var burstArrivals = [];
var echoSerial = -1, echoAt = -1;
var commandSerials = [];
function OnResult(cmd, serial, params) {
    if (cmd == BURST_CMD && serial == BURST_SERIAL) burstArrivals.push(now() - burstStart);
    else if (cmd == ECHO_CMD && serial == echoSerial && echoAt < 0) echoAt = now();
    else if (cmd == COMMAND_CMD) commandSerials.push(serial);
}

function measureRequests() {
    var saves = [], loads = [];
    for (var i = 0; i < ROUND_TRIPS; i++) {
        var value = "value " + i;
        var start = now();
        if (control.SaveData("bench", value) != VLS_OK) break;
        saves.push(now() - start);
        start = now();
        if (control.LoadData("bench") != value) break;
        loads.push(now() - start);
    }
    if (loads.length != ROUND_TRIPS) {
        missing("page.requests", "a request failed after " + loads.length + " round trips");
        return;
    }
    latency("page.save", saves);
    latency("page.load", loads);
}

// A command sent from an idle page, until its echo's OnResult, each round.
function measureFirstResult() {
    var samples = [];
    for (var i = 0; i < ECHO_ROUNDS; i++) {
        host.pump(5);
        echoSerial = i;
        echoAt = -1;
        var start = now();
        if (control.SendCommand(ECHO_CMD, i, "Bench=first") != VLS_OK) break;
        while (echoAt < 0 && now() - start < BURST_LIMIT_MS) host.pump(1);
        if (echoAt < 0) break;
        samples.push(echoAt - start);
    }
    if (samples.length != ECHO_ROUNDS) {
        missing("page.onresult.first", "no OnResult after " + samples.length + " commands");
        return;
    }
    figure("page.onresult.first_ms", median(samples), "ms");
    figure("page.onresult.first_p99", percentile(samples, 99), "ms");
}

// A thousand commands in one script turn: the turn, and the last of their echoes after it.
function measureCommands() {
    var start = now(), failed = 0;
    for (var i = 0; i < COMMANDS; i++) if (control.SendCommand(COMMAND_CMD, i, "Burst=" + i) != VLS_OK) failed++;
    var turn = now() - start;
    while (commandSerials.length < COMMANDS && now() - start < BURST_LIMIT_MS) host.pump(20);
    var last = now() - start;
    for (i = 0; i < commandSerials.length && commandSerials[i] == i; i++) {}
    figure("page.commands.turn_ms", turn, "ms");
    figure("page.commands.ok", COMMANDS - failed, "calls");
    figure("page.commands.in_order", i, "events");
    figure("page.commands.last_event_ms", last, "ms");
}

function measureBurst() {
    burstStart = now();
    if (control.SendCommand(BURST_CMD, BURST_SERIAL, "Count=" + BURST_COUNT) != VLS_OK) {
        missing("page.onresult", "SendCommand failed");
        return;
    }
    while (burstArrivals.length < BURST_COUNT && now() - burstStart < BURST_LIMIT_MS) host.pump(20);
    if (burstArrivals.length < 2) {
        missing("page.onresult", "the burst did not arrive");
        return;
    }
    var first = burstArrivals[0], last = burstArrivals[burstArrivals.length - 1];
    figure("page.onresult.events", burstArrivals.length, "events");
    figure("page.onresult.burst_ms", last, "ms");
    figure("page.onresult.events_per_s", (burstArrivals.length - 1) * 1000 / (last - first), "events/s");
}

function run() {
    var start = now();
    var linked = control.Initialize2("TW;Production", "1.0.0.10", "", 30, host.url);
    if (linked != VLS_OK) {
        missing("page", "Initialize2 answered " + linked);
        host.exit(1);
        return;
    }
    figure("page.initialize_ms", now() - start, "ms");
    measureRequests();
    measureFirstResult();
    measureBurst();
    measureCommands();
}

run();
