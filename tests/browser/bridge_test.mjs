// The bridge in a real Chromium (tools/browser/browser.sh): the vorlink! extension gives the
// portal's pages over HTTPS VLService, which reaches VLServiceHost.exe under Wine with the
// control's names; other pages, the portal's pages over plain HTTP and foreign frames get
// nothing; a host whose manifest allows another extension, or no host at all, is refused
// with a clear reason, and a host started for another extension refuses it.
//
//   node bridge_test.mjs <win32 build dir> <native build dir>
import assert from "node:assert/strict";
import crypto from "node:crypto";
import fs from "node:fs";
import path from "node:path";
import { after, before, test } from "node:test";
import { fileURLToPath } from "node:url";
import { ChromiumSession } from "../../tools/browser/chromium_session.mjs";

const [win32Dir, nativeDir] = process.argv.slice(2).map((dir) => path.resolve(dir));
const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../..");
const PROFILE = path.join(win32Dir, "browser", "test-profile");
const HOST_MANIFEST = path.join(PROFILE, "NativeMessagingHosts", "com.torvane.vorlink.service_host.json");
const EXTENSION_ID = /VL_EXTENSION_ID (\w+)/.exec(fs.readFileSync(path.join(ROOT, "web/extension/identity.cmake"), "utf8"))[1];

// What a page sees: no VLService, or VLService.connect() resolving or rejecting (with why).
const CONNECT = `typeof VLService === "undefined" ? "no VLService"
  : VLService.connect().then(() => "connected", (error) => "refused: " + error.message)`;

let browser;
before(async () => {
  browser = await ChromiumSession.start(win32Dir, { env: { VL_NATIVE_DIR: nativeDir, VL_BROWSER_PROFILE: PROFILE } });
});
after(async () => {
  if (browser) await browser.close();
});

test("the content script is generated for the site lock's hosts over HTTPS, development hosts (also over HTTP) only in the development build", () => {
  const matches = (build) =>
    JSON.parse(fs.readFileSync(path.join(nativeDir, "extension", build, "manifest.json"), "utf8")).content_scripts[0].matches;
  const release = matches("chromium");
  const development = matches("chromium-development");
  for (const host of ["www.vorlink.com", "tw.vorlink.com", "alpha.hk.vorlink.com", "rt.us.vorlink.com", "cn.vorlink.com"]) {
    assert.ok(release.includes(`https://${host}/*`), host);
  }
  assert.deepEqual(release.filter((match) => !/^https:\/\/[a-z0-9.]+\.vorlink\.com\/\*$/.test(match)), []);
  const developmentHosts = ["dev.hk.vorlink.net", "dev.tw.vorlink.net", "dev.us.vorlink.net", "dev2.vorlink.net"];
  assert.deepEqual(development.filter((match) => !release.includes(match)).sort(),
    [...developmentHosts.map((host) => `http://${host}/*`), ...developmentHosts.map((host) => `https://${host}/*`)]);
  assert.deepEqual(JSON.parse(fs.readFileSync(HOST_MANIFEST, "utf8")).allowed_origins, [`chrome-extension://${EXTENSION_ID}/`]);
});

test("only a portal page's own top-level document over HTTPS reaches the service host", async () => {
  const cases = [
    ["https://www.vorlink.com/index.html", "connected"],
    ["http://www.vorlink.com/index.html", "no VLService"], // anyone on the network could serve it
    ["https://www.vorlink.com:8080/index.html", "refused: not a portal page"],
    ["https://www.example.com/index.html", "no VLService"],
    ["https://www.vorlink.com.evil.example/index.html", "no VLService"],
    ["https://dev.us.vorlink.net/index.html", "no VLService"], // a development host, release build
    ["http://dev.us.vorlink.net/index.html", "no VLService"],
  ];
  for (const [url, expected] of cases) {
    const page = await browser.open(url);
    assert.equal(await page.evaluate(CONNECT), expected, url);
    await page.close();
  }
  const framed = await browser.open("https://www.vorlink.com/framed.html");
  assert.equal(await framed.evaluate(`typeof frames[0].VLService`), "undefined");
  await framed.close();
});

test("a foreign frame inside a portal page gets no connection through the page's relay", async () => {
  const page = await browser.open("https://www.vorlink.com/blank.html");
  // Once the frame has asked the relay and called, the page connects and calls twice in
  // turn: a connection the relay had taken for the frame would have been answered by then.
  const heard = await page.evaluate(`new Promise((resolve) => {
    const heard = [];
    const roundTrip = () => VLService.connect().then((adapter) => adapter.GetVersion());
    window.addEventListener("message", ({ data }) => {
      if (!data || typeof data.foreignFrame !== "string") return;
      heard.push(data.foreignFrame);
      if (data.foreignFrame === "posted") roundTrip().then(roundTrip).then(() => resolve(heard), (error) => resolve([error.message]));
    });
    const frame = document.createElement("iframe");
    frame.src = "https://www.example.com/foreign_frame.html";
    document.body.append(frame);
  })`);
  assert.deepEqual(heard, ["posted"]);
  await page.close();
});

test("the host answers calls with the control's names, and a page's message can only be a call", async () => {
  const page = await browser.open("https://www.vorlink.com/index.html");
  // The page API's own checks are page_api_test's; the host's, service_dispatcher_test's.
  assert.match(await page.evaluate("VLService.connect().then((a) => a.GetVersion())"), /^\d+\.\d+\.\d+\.\d+$/);
  // What a page sends down its connection is only ever a call: it cannot name its address.
  const forged = await page.evaluate(`new Promise((resolve) => {
    const channel = new MessageChannel();
    channel.port1.onmessage = ({ data }) => {
      if (data.id === 0 && "result" in data) channel.port1.postMessage({ id: 7, page: "https://www.vorlink.com/" });
      else resolve(data.error);
    };
    window.postMessage({ vlservice: "connect" }, "*", [channel.port2]);
  })`);
  assert.equal(forged, 'bad message: neither "method" nor "page"');
  await page.close();
});

test("a service host that does not allow the extension, or none, is refused with the reason", async () => {
  const manifest = JSON.parse(fs.readFileSync(HOST_MANIFEST, "utf8"));
  const cases = [
    [{ ...manifest, allowed_origins: ["chrome-extension://abcdefghijklmnopabcdefghijklmnop/"] },
      /^refused: the vorlink! service host does not accept this extension \(.*forbidden.*\)$/],
    [null, /^refused: the vorlink! service host is not installed \(.*not found.*\)$/],
  ];
  for (const [changed, expected] of cases) {
    if (changed) fs.writeFileSync(HOST_MANIFEST, JSON.stringify(changed));
    else fs.rmSync(HOST_MANIFEST);
    const page = await browser.open("https://www.vorlink.com/index.html");
    assert.match(await page.evaluate(CONNECT), expected);
    await page.close();
  }
});

test("a service host that a manifest lets another extension start refuses it, and the page hears why", async () => {
  // The same extension under a key of its own: Chromium's ID is the key's SHA-256, its first
  // 32 hex digits written a-p.
  const { publicKey } = crypto.generateKeyPairSync("rsa", { modulusLength: 2048 });
  const key = publicKey.export({ type: "spki", format: "der" });
  const id = [...crypto.createHash("sha256").update(key).digest("hex").slice(0, 32)]
    .map((digit) => "abcdefghijklmnop"[parseInt(digit, 16)]).join("");
  const other = path.join(win32Dir, "browser", "other-extension");
  fs.rmSync(other, { recursive: true, force: true });
  fs.cpSync(path.join(nativeDir, "extension", "chromium"), other, { recursive: true });
  const manifestFile = path.join(other, "manifest.json");
  fs.writeFileSync(manifestFile, JSON.stringify({ ...JSON.parse(fs.readFileSync(manifestFile, "utf8")), key: key.toString("base64") }));

  const profile = path.join(win32Dir, "browser", "other-profile");
  const otherBrowser = await ChromiumSession.start(win32Dir, {
    env: { VL_NATIVE_DIR: nativeDir, VL_BROWSER_PROFILE: profile, VL_BROWSER_EXTENSION: other },
  });
  try {
    const hostManifest = path.join(profile, "NativeMessagingHosts", "com.torvane.vorlink.service_host.json");
    const manifest = JSON.parse(fs.readFileSync(hostManifest, "utf8"));
    fs.writeFileSync(hostManifest, JSON.stringify({ ...manifest, allowed_origins: [`chrome-extension://${id}/`] }));
    const page = await otherBrowser.open("https://www.vorlink.com/index.html");
    assert.equal(await page.evaluate(CONNECT), "refused: the vorlink! service host serves the vorlink! extension only");
  } finally {
    await otherBrowser.close();
  }
});
