// ./run browser-page: a page of one's own through the browser bridge, as `./run page` runs
// one over the control. Chromium (headless, as ./run browser starts it: the extension, the
// service host under Wine, the signed stand-in kernel) opens the page on a portal site,
// served with the page library vlservice.js beside it; what the page shows with alert()
// is printed, a line each, as it comes (tools/browser/page_runner.mjs).
//
//   node browser_page.mjs <win32 build dir> <native build dir> <file.html> [--url <page address>]
//                         [--quiet <seconds>]
//
// The page is served at the address (default https://tw.vorlink.com/<file name>; every
// host name reaches the same server, which serves the page at the address's path and the
// library beside it). The run ends once the page has shown nothing for --quiet seconds (default 5). Exit status 0, or
// 2 for a bad command line, 1 when the browser failed.
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { ChromiumSession } from "./chromium_session.mjs";
import { runPage } from "./page_runner.mjs";

const USAGE = "usage: ./run browser-page <file.html> [--url <page address>] [--quiet <seconds>]";
let [win32Arg, nativeArg, file, ...options] = process.argv.slice(2);
let url = null;
let quietMs = 5000;
for (let i = 0; i < options.length; i += 2) {
  const value = options[i + 1];
  if (options[i] === "--url" && value) url = value;
  else if (options[i] === "--quiet" && /^\d+(\.\d+)?$/.test(value ?? "")) quietMs = Number(value) * 1000;
  else file = undefined;
}
if (!win32Arg || !nativeArg || !file) {
  console.error(USAGE);
  process.exit(2);
}
if (!fs.existsSync(file)) {
  console.error(`browser-page: no page at ${file}`);
  process.exit(2);
}
const [win32Dir, nativeDir] = [win32Arg, nativeArg].map((dir) => path.resolve(dir));
const pages = fs.mkdtempSync(path.join(os.tmpdir(), "vl-browser-page."));
let status = 0;
try {
  url ??= `https://tw.vorlink.com/${path.basename(file)}`;
  const relative = path.normalize(decodeURIComponent(new URL(url).pathname)).replace(/^([/\\.])+/, "");
  if (!relative || relative.endsWith("/")) throw new Error(`the address ${url} names no file for the page`);
  const served = path.join(pages, relative);
  fs.mkdirSync(path.dirname(served), { recursive: true });
  fs.copyFileSync(file, served);
  fs.copyFileSync(path.join(nativeDir, "page_library", "vlservice.js"), path.join(path.dirname(served), "vlservice.js"));
  const browser = await ChromiumSession.start(win32Dir, {
    env: { VL_NATIVE_DIR: nativeDir, VL_BROWSER_PAGES: pages, VL_BROWSER_PROFILE: path.join(win32Dir, "browser", "page-profile") },
    timeoutMs: 60000,
  });
  try {
    await runPage(browser, url, { quietMs, onLine: (line) => console.log(line) });
  } finally {
    await browser.close();
  }
} catch (error) {
  console.error(`browser-page: ${error.message}`);
  status = 1;
} finally {
  fs.rmSync(pages, { recursive: true, force: true });
}
process.exit(status);
