// Calls of a connected VLService adapter and what each must come to, the same over the
// control (the page library, in the page host) and through the extension (in Chromium):
// a call that does not fit the contract is rejected with the service host's words; one
// that fits reaches the service (no link yet: 1, or "Failure"). Plain ECMAScript 3.
var CALL_CASES = [
  ["SaveData(1, 2)", function (a) { return a.SaveData(1, 2); }, "argument 1 of SaveData (szKey) must be a text"],
  ["SaveData(\"k\")", function (a) { return a.SaveData("k"); }, "SaveData takes 2 arguments"],
  ["SaveData(undefined, \"v\")", function (a) { return a.SaveData(undefined, "v"); },
   "argument 1 of SaveData (szKey) must be a text"],
  ["SaveData(\"k\", null)", function (a) { return a.SaveData("k", null); },
   "argument 2 of SaveData (szValue) must be a text"],
  ["LoadData(\"k\\u0000\")", function (a) { return a.LoadData("k\u0000"); },
   "argument 1 of LoadData (szKey) must be a text without NUL characters"],
  ["SendCommand(-1, 0, \"\")", function (a) { return a.SendCommand(-1, 0, ""); },
   "argument 1 of SendCommand (dwCmd) must be a whole number from 0 to 4294967295"],
  ["SendCommand(2, 1.5, \"\")", function (a) { return a.SendCommand(2, 1.5, ""); },
   "argument 2 of SendCommand (dwSerialNum) must be a whole number from 0 to 4294967295"],
  ["SendCommand(\"2\", 0, \"\")", function (a) { return a.SendCommand("2", 0, ""); },
   "argument 1 of SendCommand (dwCmd) must be a whole number from 0 to 4294967295"],
  ["SendCommand(2, NaN, \"\")", function (a) { return a.SendCommand(2, NaN, ""); },
   "argument 2 of SendCommand (dwSerialNum) must be a whole number from 0 to 4294967295"],
  ["GetVersion(1)", function (a) { return a.GetVersion(1); }, "GetVersion takes 0 arguments"],
  ["Initialize2 with 4 arguments", function (a) { return a.Initialize2("TW;Production", "1.0.0.10", "", 10000); },
   "Initialize2 takes 5 arguments"],
  ["SendCommand(4294967295, 0, \"\")", function (a) { return a.SendCommand(4294967295, 0, ""); }, 1],
  ["SaveData(\"\", \"\")", function (a) { return a.SaveData("", ""); }, 1],
  ["LoadData(\"k\")", function (a) { return a.LoadData("k"); }, "Failure"]
];

// Runs the cases one after the other; `done` gets one line per case, "ok <label>" or
// "FAILED <label>: <what came>".
function RunCallCases(adapter, done) {
  var lines = [];
  function next(i) {
    if (i === CALL_CASES.length) { done(lines); return; }
    var label = CALL_CASES[i][0], expected = CALL_CASES[i][2];
    function record(came) {
      lines.push(came === "rejected: " + expected || came === "resolved: " + expected ? "ok " + label
                                                                                      : "FAILED " + label + ": " + came);
      next(i + 1);
    }
    CALL_CASES[i][1](adapter).then(function (value) { record("resolved: " + value); },
                                   function (error) { record("rejected: " + error.message); });
  }
  next(0);
}
