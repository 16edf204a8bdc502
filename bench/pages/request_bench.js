// The page's side of the request benchmark, run by pagehost.exe with the control and the
// maker-signed stand-in kernel in the home folder: the page links (starting the kernel),
// times SaveData and LoadData round trips as page script sees them, and counts how fast a
// burst of kernel results reaches its OnResult handler. Prints "figure <key> <value>
// <unit>" lines, or "missing <key> <reason>" for what it could not measure.
var ROUND_TRIPS = 200;
var BURST_CMD = 100;
var BURST_SERIAL = 4242;
var BURST_COUNT = 50;
var BURST_LIMIT_MS = 15000;
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
function OnResult(cmd, serial, params) {
    if (cmd == BURST_CMD && serial == BURST_SERIAL) burstArrivals.push(now() - burstStart);
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
    figure("page.onresult.first_ms", first, "ms");
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
    measureBurst();
}

run();
