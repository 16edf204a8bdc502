// The script of a vorlink! portal page, written as a page author would write it.
//
// The page embeds the service adapter control as `control`. On a machine without the
// widget kernel it lets the control fetch and start the updater, waits until the updater
// has installed the kernel, then links to the kernel and uses every request a page has:
// the region check, saving, loading and clearing a value, and a command whose answer
// arrives later as the OnResult event.
//
// Besides the control, the page uses its host's small window object `host`:
//   host.print(text)  writes a line of the page's output
//   host.sleep(ms)    waits while the page keeps running: the control's timer ticks and
//                     its events arrive meanwhile
//   host.exit(code)   the page's exit code (1 tells the caller that a step failed)
//   host.url          the page's own address
// In a browser, host.print would write into the page and host.sleep be a window timer.
//
// In a real page the control comes from the object tag that `./run package` writes to
// build/dist/object-tag.html, which also installs it from the signed cabinet.

// The control's result codes (VLSRESULT).
var VLS_OK = 0;
var VLS_FAIL = 1;
var VLS_HAVE_TO_UPDATE = 2;
var VLS_REGION_FAIL = 8;

// What this portal serves: its region and environment, the kernel version its games need,
// and the updater version it publishes.
var REGION = "TW;Production";
var KERNEL_VERSION = "1.0.0.10";
var UPDATER_VERSION = "2.0.1.7";

// How long the page is prepared to wait for the updater, and how often it asks.
var UPDATE_LIMIT_MS = 90000;
var UPDATE_POLL_MS = 500;
// How long a command's answer may take to come back as an event.
var RESULT_LIMIT_MS = 5000;

// ---------------------------------------------------------------------------------------
// Step bookkeeping: every step prints its title and what it saw; the first failure ends
// the page.

var stepNumber = 0;
var stepTitle = "";
var linked = false; // the control holds a link to the kernel: leave properly on failure

function Step(title)
{
    stepNumber++;
    stepTitle = title;
    host.print("");
    host.print("step " + stepNumber + ": " + title);
}

function Say(text)
{
    host.print("    " + text);
}

function StepFailed(reason)
{
    this.reason = reason;
}

// Ends the current step with `reason` unless `condition` holds.
function Expect(condition, reason)
{
    if (!condition) throw new StepFailed(reason);
}

function ResultName(code)
{
    switch (code) {
    case VLS_OK: return "VLS_OK";
    case VLS_FAIL: return "VLS_FAIL";
    case VLS_HAVE_TO_UPDATE: return "VLS_HAVE_TO_UPDATE";
    case VLS_REGION_FAIL: return "VLS_REGION_FAIL";
    default: return "result " + code;
    }
}

// Checks a method's result code against the one the step needs.
function ExpectResult(method, code, wanted)
{
    Say(method + " -> " + ResultName(code) + " (" + code + ")");
    Expect(code === wanted, method + " answered " + ResultName(code) + ", expected " + ResultName(wanted));
}

// The value of `key` in a kernel parameter text such as "Status=Done&&&&Version=1.0.0.10".
function FieldOf(params, key)
{
    var fields = params.split("&&&&");
    for (var i = 0; i < fields.length; i++) {
        if (fields[i].indexOf(key + "=") === 0) return fields[i].substring(key.length + 1);
    }
    return "";
}

// ---------------------------------------------------------------------------------------
// Events: the control calls the page's global functions named after its events.

var results = [];

// The kernel's answers to commands, and anything else it tells the page on its own.
function OnResult(cmd, serial, params)
{
    Say("event OnResult(" + cmd + ", " + serial + ", \"" + params + "\")");
    results.push({ cmd: cmd, serial: serial, params: params });
}

// ---------------------------------------------------------------------------------------
// The page.

function InstallTheKernel()
{
    Step("tell the control which updater this portal publishes");
    control.SetUpdatorVersion(UPDATER_VERSION);
    Say("SetUpdatorVersion(\"" + UPDATER_VERSION + "\"); control version " + control.GetVersion());

    Step("initialize on a machine without the widget kernel");
    Say("page address " + host.url);
    var code = control.Initialize2(REGION, KERNEL_VERSION, "", 10000, host.url);
    // No kernel yet: the control fetches the updater from the portal, checks its
    // signature and starts it; the page is told to wait for the update.
    ExpectResult("Initialize2(\"" + REGION + "\", \"" + KERNEL_VERSION + "\")", code, VLS_HAVE_TO_UPDATE);

    Step("wait for the updater to install the kernel");
    var shown = "";
    for (var waited = 0; ; waited += UPDATE_POLL_MS) {
        var status = control.LoadData("UpdateStatus");
        if (status !== shown) {
            Say("after " + (waited / 1000).toFixed(1) + " s, UpdateStatus: " + status);
            shown = status;
        }
        var state = FieldOf(status, "Status");
        if (state === "Done") break;
        Expect(state !== "Failed", "the updater failed: " + FieldOf(status, "Reason"));
        Expect(waited < UPDATE_LIMIT_MS, "the updater did not finish within " + UPDATE_LIMIT_MS / 1000 + " s");
        host.sleep(UPDATE_POLL_MS);
    }
    Expect(FieldOf(shown, "Version") === KERNEL_VERSION, "the updater installed another version");
}

function UseTheKernel()
{
    Step("initialize again: start the new kernel and link to it");
    var code = control.Initialize2(REGION, KERNEL_VERSION, "", 10000, host.url);
    linked = code === VLS_OK;
    ExpectResult("Initialize2(\"" + REGION + "\", \"" + KERNEL_VERSION + "\")", code, VLS_OK);
    Say("GetActivexObjID() -> " + control.GetActivexObjID() + " (the number of this page's link)");

    Step("check the region with the kernel");
    ExpectResult("CheckRegionInfo()", control.CheckRegionInfo(), VLS_OK);

    var key = "PortalGreeting";
    var value = "Hello from the " + REGION + " portal";
    Step("save a value, load it back, clear it");
    ExpectResult("SaveData(\"" + key + "\", \"" + value + "\")", control.SaveData(key, value), VLS_OK);
    var loaded = control.LoadData(key);
    Say("LoadData(\"" + key + "\") -> \"" + loaded + "\"");
    Expect(loaded === value, "LoadData answered another value");
    ExpectResult("ClearData(\"" + key + "\")", control.ClearData(key), VLS_OK);
    loaded = control.LoadData(key);
    Say("LoadData(\"" + key + "\") -> \"" + loaded + "\"");
    Expect(loaded === "", "the value is still there after ClearData");

    // The stand-in kernel echoes a command it does not know: the same numbers, and
    // "Echo=" before the parameters.
    var cmd = 2001;
    var serial = 42;
    var params = "Game=Chess&&&&Move=e2e4";
    Step("send a command and receive its answer as an event");
    ExpectResult("SendCommand(" + cmd + ", " + serial + ", \"" + params + "\")",
                 control.SendCommand(cmd, serial, params), VLS_OK);
    for (var waited = 0; results.length === 0 && waited < RESULT_LIMIT_MS; waited += 100) host.sleep(100);
    Expect(results.length > 0, "no OnResult within " + RESULT_LIMIT_MS / 1000 + " s");
    var answer = results[0];
    Expect(answer.cmd === cmd && answer.serial === serial && answer.params === "Echo=" + params,
           "OnResult carried another command");

    Step("leave: the kernel is told and ends");
    control.Uninitialize();
    linked = false;
    Say("Uninitialize() returned");
}

try {
    InstallTheKernel();
    UseTheKernel();
    host.print("");
    host.print("page: all " + stepNumber + " steps done");
} catch (e) {
    var reason = e instanceof StepFailed ? e.reason : "script error: " + (e.message || e);
    Say("FAILED: " + reason);
    if (linked) control.Uninitialize();
    host.print("");
    host.print("page: FAILED at step " + stepNumber + ": " + stepTitle);
    host.exit(1);
}
