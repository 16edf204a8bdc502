// ./run browser-demo: the demo's story in Chromium (headless, as ./run browser starts it).
// A foreign page gets no VLService; the portal's page (pages/demo.html) links to the
// signed stand-in kernel through the extension and VLServiceHost.exe, uses every request
// and hears OnResult. Prints what the page showed, saves a screenshot of it and prints its
// path; the last line is "browser-demo: PASSED, N steps" or "browser-demo: FAILED ...",
// and the exit status 0 only when it passed.
//
//   node browser_demo.mjs <win32 build dir> <native build dir>
import fs from "node:fs";
import path from "node:path";
import { ChromiumSession } from "./chromium_session.mjs";

const [win32Dir, nativeDir] = process.argv.slice(2).map((dir) => path.resolve(dir));
const PORTAL_PAGE = "https://tw.vorlink.com/demo.html";
const FOREIGN_PAGE = "https://www.example.com/demo.html";
const SCREENSHOT = path.join(win32Dir, "browser", "demo.png");

const browser = await ChromiumSession.start(win32Dir, {
  env: { VL_NATIVE_DIR: nativeDir, VL_BROWSER_PROFILE: path.join(win32Dir, "browser", "demo-profile") },
  args: ["--window-size=1000,900"],
  timeoutMs: 60000,
});
let passed = false;
let steps = 0;
try {
  const foreign = await browser.open(FOREIGN_PAGE);
  const foreignSees = await foreign.evaluate(`typeof VLService === "undefined" ? "no VLService" : "VLService defined"`);
  console.log(`${FOREIGN_PAGE}: ${foreignSees} (the extension runs on the portal's sites only)`);
  await foreign.close();

  console.log(`${PORTAL_PAGE}:`);
  const page = await browser.open(PORTAL_PAGE);
  const { passed: pagePassed, text } = await page.evaluate("window.demoFinished");
  console.log(text);
  steps = (text.match(/^step \d+:/gm) || []).length;
  passed = pagePassed && foreignSees === "no VLService";
  fs.mkdirSync(path.dirname(SCREENSHOT), { recursive: true });
  fs.writeFileSync(SCREENSHOT, await page.screenshot());
  console.log(`\nscreenshot of the page: ${SCREENSHOT}`);
} catch (error) {
  console.log(`browser-demo: ${error.message}`);
} finally {
  await browser.close();
}
console.log(passed ? `browser-demo: PASSED, ${steps} steps` : "browser-demo: FAILED");
process.exit(passed ? 0 : 1);
