// The page API in a real Chromium, as the page library gives it over the control: calls
// that do not fit are rejected with the same words (tests/win/pages/call_faults.js, which
// the page host's suite runs over the control), available() and the versions, the page
// library loaded beside the extension, and the package's check page for the bridge.
//
//   node page_api_test.mjs <win32 build dir> <native build dir>
import assert from "node:assert/strict";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { after, before, test } from "node:test";
import { fileURLToPath } from "node:url";
import { ChromiumSession } from "../../tools/browser/chromium_session.mjs";

const [win32Dir, nativeDir] = process.argv.slice(2).map((dir) => path.resolve(dir));
const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../..");
const PROFILE = path.join(win32Dir, "browser", "page-api-profile");
const HOST_MANIFEST = path.join(PROFILE, "NativeMessagingHosts", "com.torvane.vorlink.service_host.json");
const MODULE_VERSION = fs.readFileSync(path.join(win32Dir, "module_version.txt"), "utf8").trim();
const EXTENSION_VERSION = JSON.parse(fs.readFileSync(path.join(nativeDir, "extension", "chromium", "manifest.json"), "utf8")).version;
const CALL_CASES = fs.readFileSync(path.join(ROOT, "tests", "win", "pages", "call_faults.js"), "utf8");

// The harness's pages, the page library, a page that loads it and the check page as the
// package fills it in.
const PAGES = fs.mkdtempSync(path.join(os.tmpdir(), "vl-page-api."));
fs.cpSync(path.join(ROOT, "tools", "browser", "pages"), PAGES, { recursive: true });
fs.copyFileSync(path.join(nativeDir, "page_library", "vlservice.js"), path.join(PAGES, "vlservice.js"));
fs.writeFileSync(path.join(PAGES, "library.html"), '<!DOCTYPE html>\n<script src="vlservice.js"></script>\n');
fs.writeFileSync(path.join(PAGES, "check-bridge.html"),
  fs.readFileSync(path.join(ROOT, "tools", "package", "check-bridge.html.in"), "utf8").replaceAll("@VERSION@", MODULE_VERSION));

let browser;
before(async () => {
  browser = await ChromiumSession.start(win32Dir, {
    env: { VL_NATIVE_DIR: nativeDir, VL_BROWSER_PROFILE: PROFILE, VL_BROWSER_PAGES: PAGES },
  });
});
after(async () => {
  if (browser) await browser.close();
  fs.rmSync(PAGES, { recursive: true, force: true });
});

async function evaluateOn(url, expression) {
  const page = await browser.open(url);
  try {
    return await page.evaluate(expression);
  } finally {
    await page.close();
  }
}

test("a call that does not fit is rejected with the service host's words, as over the control", async () => {
  const lines = await evaluateOn("https://www.vorlink.com/blank.html",
    `${CALL_CASES}; VLService.connect().then((adapter) => new Promise((done) => RunCallCases(adapter, done)))`);
  assert.equal(lines.length, 14);
  assert.deepEqual(lines.filter((line) => !line.startsWith("ok ")), []);
});

test("available() names the extension, also beside the page library; the adapter gives the versions", async () => {
  assert.deepEqual(await evaluateOn("https://www.vorlink.com/library.html", `VLService.available()`), "extension");
  assert.deepEqual(await evaluateOn("https://www.vorlink.com/blank.html", `VLService.connect().then((a) => a.versions)`),
    { extension: EXTENSION_VERSION, host: MODULE_VERSION, kernel: "1.0.0.10" });
  // Where the extension does not run, the page library's own VLService finds no control.
  assert.equal(await evaluateOn("https://www.example.com/library.html",
    `VLService.connect().then(() => "connected", (e) => "[" + VLService.available() + "] " + e.message.split(" (")[0])`),
    "[] the vorlink! control is not installed");
});

test("the check page says what an operator needs to know of the bridge", async () => {
  const check = (url) => evaluateOn(url, "window.checkFinished");
  const portal = "https://tw.vorlink.com/check-bridge.html";
  const cases = [
    [portal, [`vorlink! browser bridge check of ${portal}`, "extension: present", "service host: reachable", "page: accepted",
      `versions: extension ${EXTENSION_VERSION}, service host ${MODULE_VERSION}, kernel 1.0.0.10`, "service host version: current"]],
    ["https://tw.vorlink.com:8080/check-bridge.html", ["vorlink! browser bridge check of https://tw.vorlink.com:8080/check-bridge.html",
      "extension: present", "service host: reachable",
      "page: refused: the service host serves the portal's own sites only, on their default port"]],
    ["https://www.example.com/check-bridge.html", ["vorlink! browser bridge check of https://www.example.com/check-bridge.html",
      "extension: missing: this page has no VLService from the vorlink! extension. Install the extension, or allow it on" +
      " this site; it runs on the portal's own sites only"]],
  ];
  for (const [url, lines] of cases) assert.deepEqual((await check(url)).split("\n"), lines, url);

  fs.rmSync(HOST_MANIFEST);
  const [, , unreachable, ...rest] = (await check(portal)).split("\n");
  assert.match(unreachable, /^service host: NOT reachable: the vorlink! service host is not installed \(.*not found.*\)$/);
  assert.deepEqual(rest, []);
});
