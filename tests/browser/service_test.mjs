// A portal page in Chromium reaches the signed stand-in kernel through the extension and
// VLServiceHost.exe with the control's names, arguments and results, hears OnResult, learns
// the install page where the control would open it, and the kernel's journal shows the wire
// the control's own tests expect of the control.
//
//   node service_test.mjs <win32 build dir> <native build dir>
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { after, before, test } from "node:test";
import { ChromiumSession } from "../../tools/browser/chromium_session.mjs";

const [win32Dir, nativeDir] = process.argv.slice(2).map((dir) => path.resolve(dir));
const JOURNAL = path.join(win32Dir, "browser", "service-journal.txt");
const PAGE = "https://www.vorlink.com/blank.html";
const MODULE_VERSION = fs.readFileSync(path.join(win32Dir, "module_version.txt"), "utf8").trim();
const windowsPath = (file) => "Z:" + file.replaceAll("/", "\\");

let browser;
before(async () => {
  fs.mkdirSync(path.dirname(JOURNAL), { recursive: true });
  fs.rmSync(JOURNAL, { force: true });
  browser = await ChromiumSession.start(win32Dir, {
    env: {
      VL_NATIVE_DIR: nativeDir,
      VL_BROWSER_PROFILE: path.join(win32Dir, "browser", "service-profile"),
      VL_KERNEL_LOG: windowsPath(JOURNAL),
    },
  });
});
after(async () => {
  if (browser) await browser.close();
});

// Each call in order: method, arguments, the control's result, and the message the kernel
// receives for it as the control sends it (none for what the control answers itself).
const VALUE = "Hello & = % from Chromium";
const CALLS = [
  ["GetVersion", [], MODULE_VERSION, null],
  // A kernel older than the page needs: no browser is opened, the page hears where to go.
  ["Initialize2", ["TW;Production", "9.9.9.9", "", 10000, PAGE], 2, null],
  ["Initialize2", ["TW;Production", "1.0.0.10", "", 10000, PAGE], 0, "CmdID=3&&&&SerialNum=0&&&&Params=WidgetName=ActiveX"],
  ["CheckRegionInfo", [], 0, "CmdID=165&&&&SerialNum=0&&&&Params=Region=TW;Production"],
  ["SaveData", ["PortalGreeting", VALUE], 0, `CmdID=162&&&&SerialNum=0&&&&Params=Key=PortalGreeting&&&&Value=${VALUE}`],
  ["LoadData", ["PortalGreeting"], VALUE, "CmdID=163&&&&SerialNum=0&&&&Params=Key=PortalGreeting"],
  ["ClearData", ["PortalGreeting"], 0, "CmdID=164&&&&SerialNum=0&&&&Params=Key=PortalGreeting"],
  ["LoadData", ["PortalGreeting"], "", "CmdID=163&&&&SerialNum=0&&&&Params=Key=PortalGreeting"],
  ["SendCommand", [2001, 42, "Game=Chess&&&&Move=e2e4"], 0, "CmdID=2001&&&&SerialNum=42&&&&Params=Game=Chess&&&&Move=e2e4"],
  ["Uninitialize", [], undefined, "CmdID=1&&&&SerialNum=0&&&&Params="],
];

test("a portal page saves, loads and clears a value, sends a command and hears OnResult, with the control's wire", async () => {
  const page = await browser.open(PAGE);
  // The calls in order; before Uninitialize the page waits for the command's answer.
  const { results, events } = await page.evaluate(`(async () => {
    const adapter = await VLService.connect();
    const events = [];
    let heard;
    const answered = new Promise((resolve) => { heard = resolve; });
    adapter.addEventListener("OnResult", (e) => { events.push(e.detail); heard(); });
    adapter.addEventListener("InstallPage", (e) => events.push(e.detail));
    const results = [];
    for (const [method, args] of ${JSON.stringify(CALLS.map(([method, args]) => [method, args]))}) {
      if (method === "Uninitialize") await Promise.race([answered, new Promise((resolve) => setTimeout(resolve, 5000))]);
      results.push(await adapter[method](...args).then((result) => result === undefined ? "(none)" : result, (error) => "error: " + error.message));
    }
    return { results, events };
  })()`);
  CALLS.forEach(([method, , expected], i) => assert.equal(results[i], expected === undefined ? "(none)" : expected, method));
  assert.deepEqual(events, [
    { address: "http://tw.vorlink.com/vorlink_block/install.aspx" },
    { cmd: 2001, serial: 42, params: "Echo=Game=Chess&&&&Move=e2e4" },
  ]);
  await page.close();

  const messages = fs.readFileSync(JOURNAL, "latin1").split(/\r?\n/)
    .filter((line) => line.startsWith("message: ")).map((line) => line.slice("message: ".length));
  assert.deepEqual(messages, CALLS.map(([, , , wire]) => wire).filter((wire) => wire !== null));
});
