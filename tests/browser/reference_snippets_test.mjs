// The page snippets of the page authors' reference that run through the browser bridge:
// each run "`./run browser-page <file> [--url <address>]` prints:" (read by
// tests/pages/reference_runs.mjs) is run as ./run browser-page runs it
// (tools/browser/page_runner.mjs, the page library beside the page) and held to the text.
// The runs over the control are tests/pages/page_snippets_test.sh's.
//
//   node reference_snippets_test.mjs <win32 build dir> <native build dir>
import assert from "node:assert/strict";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { after, before, test } from "node:test";
import { fileURLToPath } from "node:url";
import { ChromiumSession } from "../../tools/browser/chromium_session.mjs";
import { runPage } from "../../tools/browser/page_runner.mjs";
import { ReferenceRuns } from "../pages/reference_runs.mjs";

const [win32Dir, nativeDir] = process.argv.slice(2).map((dir) => path.resolve(dir));
const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../..");
const REFERENCE = path.join(ROOT, "docs", "page_reference.md");

// Each browser run of the reference, at its address (by default the file's on a portal site).
const RUNS = ReferenceRuns(fs.readFileSync(REFERENCE, "utf8")).runs.filter((run) => run.kind === "browser-page")
  .map(({ file, options, snippet, expected }) => ({
    file, snippet, expected, url: options[0] === "--url" ? options[1] : `https://tw.vorlink.com/${file}`,
  }));
const PAGES = fs.mkdtempSync(path.join(os.tmpdir(), "vl-reference."));
fs.copyFileSync(path.join(nativeDir, "page_library", "vlservice.js"), path.join(PAGES, "vlservice.js"));

let browser;
before(async () => {
  // Served at the address's path, beside the library, as ./run browser-page serves a page.
  for (const run of RUNS) {
    const served = path.join(PAGES, path.basename(new URL(run.url).pathname));
    assert.ok(!fs.existsSync(served) || fs.readFileSync(served, "utf8") === run.snippet,
      `two snippets of the reference are both ${served}`);
    fs.writeFileSync(served, run.snippet);
  }
  browser = await ChromiumSession.start(win32Dir, {
    env: { VL_NATIVE_DIR: nativeDir, VL_BROWSER_PAGES: PAGES,
           VL_BROWSER_PROFILE: path.join(win32Dir, "browser", "reference-profile") },
    timeoutMs: 60000,
  });
});
after(async () => {
  if (browser) await browser.close();
  fs.rmSync(PAGES, { recursive: true, force: true });
});

test("the reference has runs in Chromium", () => assert.ok(RUNS.length >= 2, `${RUNS.length} runs`));

for (const run of RUNS) {
  test(`./run browser-page ${run.file} at ${run.url} prints what the reference shows`, async () => {
    assert.deepEqual(await runPage(browser, run.url, { lines: run.expected.length }), run.expected);
  });
}
