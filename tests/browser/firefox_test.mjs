// The bridge in Firefox ESR (tools/browser/firefox.sh): the extension's Firefox build gives
// a portal page over HTTPS VLService, and the service host that Firefox starts (with the
// manifest's path and the extension's ID as its arguments) serves the demo's whole story
// with the stand-in kernel; the same page over plain HTTP, and a page elsewhere, get no
// VLService.
//
//   node firefox_test.mjs <win32 build dir> <native build dir>
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import path from "node:path";
import { test } from "node:test";
import { fileURLToPath } from "node:url";

const [win32Dir, nativeDir] = process.argv.slice(2).map((dir) => path.resolve(dir));
const FIREFOX_SH = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../../tools/browser/firefox.sh");

// What demo.html showed in Firefox at `url`.
function shown(url) {
  const run = spawnSync(FIREFOX_SH, [win32Dir, url], {
    env: { ...process.env, VL_NATIVE_DIR: nativeDir }, encoding: "utf8", timeout: 120000,
  });
  assert.equal(run.status, 0, run.stderr);
  return run.stdout;
}

test("Firefox: a portal page over HTTPS plays the demo's story through the host, over HTTP or elsewhere it gets no VLService", () => {
  const cases = [
    ["https://www.vorlink.com/demo.html?report", /^ {4}event OnResult\(2001, 42, "Echo=Game=Chess&&&&Move=e2e4"\)\n[^]*^page: all \d+ steps done$/m],
    ["http://www.vorlink.com/demo.html?report", /^ {4}FAILED: no VLService on this page/m],
    ["http://127.0.0.1/demo.html?report", /^ {4}FAILED: no VLService on this page/m],
  ];
  for (const [url, expected] of cases) assert.match(shown(url), expected, url);
});
