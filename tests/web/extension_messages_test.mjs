// The extension's three scripts as built (page API, content relay, service worker) joined
// as the browser joins them, in Node with a browser's ports played by hand and the service
// host played by each case: the page hears the host's messages as the host sends them, and
// whatever ends a connection reaches the page and its waiting calls with the reason.
//
//   node extension_messages_test.mjs <native build dir>
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { after, test } from "node:test";

const extension = path.join(path.resolve(process.argv[2]), "extension", "chromium");
const script = (name) => fs.readFileSync(path.join(extension, name), "utf8");
const EXTENSION_VERSION = JSON.parse(script("manifest.json")).version;
const PAGE_URL = "https://www.vorlink.com/index.html";
const NOT_FOUND = "Specified native messaging host not found.";
// Waits until `done()` holds: a case whose messages never come fails after 5 s.
async function until(done) {
  for (const end = Date.now() + 5000; !done(); await new Promise((resolve) => setTimeout(resolve, 1))) {
    assert.ok(Date.now() < end, `still waiting for ${done}`);
  }
}
const LIMIT = { timeout: 10000 }; // a call that never settles fails its case

// One end of a runtime port: messages go as JSON, delivered later, in order; disconnect()
// tells the other end only. The browser's reason for a native port's end is lastError.
class RuntimePort {
  constructor(runtime, name, sender) {
    Object.assign(this, { runtime, name, sender, open: true, heard: [], listeners: { message: [], disconnect: [] } });
    this.onMessage = { addListener: (listener) => this.listeners.message.push(listener) };
    this.onDisconnect = { addListener: (listener) => this.listeners.disconnect.push(listener) };
  }
  static pair(runtime, name, sender) {
    const [a, b] = [new RuntimePort(runtime, name, sender), new RuntimePort(runtime, name, sender)];
    [a.peer, b.peer] = [b, a];
    return [a, b];
  }
  postMessage(message) {
    assert.ok(this.open, "a message on a closed port");
    const text = JSON.stringify(message);
    setImmediate(() => {
      if (!this.peer.open) return;
      this.peer.heard.push(JSON.parse(text));
      for (const listener of this.peer.listeners.message) listener(JSON.parse(text));
    });
  }
  disconnect(lastError) {
    if (!this.open) return;
    this.open = false;
    setImmediate(() => {
      if (!this.peer.open) return;
      this.peer.open = false;
      this.runtime.lastError = lastError && { message: lastError };
      for (const listener of this.peer.listeners.disconnect) listener(this.peer);
      this.runtime.lastError = undefined;
    });
  }
}

// The pages' channels, each with what the page heard on it; closed when the cases are done,
// as an open port keeps Node running.
const channels = [];
class PageChannel extends MessageChannel {
  constructor() {
    super();
    this.heard = [];
    this.port1.addEventListener("message", ({ data }) => this.heard.push(data));
    channels.push(this);
  }
}
after(() => channels.forEach(({ port1, port2 }) => { port1.close(); port2.close(); }));

// A page with the extension: VLService in the page's window, the relay beside it, the
// worker behind both; `hosts` are the service host's ends of its native connections,
// `workers` the worker's ends of the relay's connections.
function extensionPage() {
  const hosts = [];
  const workers = [];
  const relayListeners = [];
  const window = {
    postMessage: (data, origin, ports) => {
      setImmediate(() => { for (const listener of relayListeners) listener({ source: window, data, ports }); });
    },
    addEventListener: (type, listener) => { if (type === "message") relayListeners.push(listener); },
  };
  const runtime = { id: "extension", lastError: undefined };
  let connectWorker;
  runtime.onConnect = { addListener: (listener) => { connectWorker = listener; } };
  runtime.connectNative = () => {
    const [worker, host] = RuntimePort.pair(runtime, "host");
    hosts.push(host);
    return worker;
  };
  runtime.connect = ({ name }) => {
    const [relay, worker] = RuntimePort.pair(runtime, name, { id: "extension", tab: {}, frameId: 0, url: PAGE_URL });
    workers.push(worker);
    setImmediate(() => connectWorker(worker));
    return relay;
  };
  const chrome = { runtime };
  new Function("chrome", script("service_worker.js"))(chrome);
  new Function("window", "chrome", script("content_relay.js"))(window, chrome);
  new Function("window", "MessageChannel", script("page_api.js"))(window, PageChannel);
  return { VLService: window.VLService, hosts, workers };
}

// Connects, lets the host accept the page, and hands over the adapter and the host's end.
async function accepted() {
  const page = extensionPage();
  const connecting = page.VLService.connect();
  await until(() => page.hosts[0]?.heard.length);
  const [host] = page.hosts;
  assert.deepEqual(host.heard, [{ id: 0, page: PAGE_URL }]);
  host.postMessage({ id: 0, result: { host: "1.1.31.362", kernel: "1.0.0.10" } });
  return { adapter: await connecting, host, page };
}

test("the page hears the host's messages unchanged and answers the page API's calls with them", LIMIT, async () => {
  const { adapter, host } = await accepted();
  assert.deepEqual({ ...adapter.versions }, { extension: EXTENSION_VERSION, host: "1.1.31.362", kernel: "1.0.0.10" });
  const events = [];
  adapter.addEventListener("OnResult", (e) => events.push(["OnResult", e.detail]));
  adapter.addEventListener("InstallPage", (e) => events.push(["InstallPage", e.detail]));
  const calls = [adapter.GetVersion(), adapter.SaveData("k", "v"), adapter.LoadData("k"), adapter.Uninitialize()];
  await until(() => host.heard.length === 5);
  assert.deepEqual(host.heard.slice(1), [
    { id: 1, method: "GetVersion", args: [] }, { id: 2, method: "SaveData", args: ["k", "v"] },
    { id: 3, method: "LoadData", args: ["k"] }, { id: 4, method: "Uninitialize", args: [] }]);
  const fromHost = [
    { event: "InstallPage", address: "http://tw.vorlink.com/vorlink_block/install.aspx" },
    { id: 3, error: "the link to the kernel is down" },
    { event: "OnResult", cmd: 100, serial: 7, params: "a=b" },
    { id: 1, result: "1.1.31.362" }, { id: 2, result: 0 }, { id: 4, result: null },
    { id: 99, result: 0 }, // no such call: passed over
  ];
  for (const message of fromHost) host.postMessage(message);
  const settled = await Promise.allSettled(calls);
  await until(() => channels.at(-1).heard.length === 1 + fromHost.length);
  assert.deepEqual(channels.at(-1).heard, [{ id: 0, result: { host: "1.1.31.362", kernel: "1.0.0.10" } }, ...fromHost]);
  assert.deepEqual(settled.map((s) => s.status === "fulfilled" ? s.value : "error: " + s.reason.message),
    ["1.1.31.362", 0, "error: the link to the kernel is down", undefined]);
  assert.deepEqual(events, [
    ["InstallPage", { address: "http://tw.vorlink.com/vorlink_block/install.aspx" }],
    ["OnResult", { cmd: 100, serial: 7, params: "a=b" }]]);
});

test("a page the host refuses or cannot reach is refused with the reason, and the host let go", LIMIT, async () => {
  const cases = [
    [(host) => host.postMessage({ id: 0, error: "not a portal page" }), "not a portal page"],
    [(host) => host.postMessage({ id: null, error: "serves the extension only" }), "serves the extension only"],
    [(host) => host.postMessage({ id: 5, result: 0 }), "the vorlink! service host refused the page"],
    [(host) => host.postMessage({ id: 0 }), "the vorlink! service host refused the page"],
    [(host) => host.disconnect(NOT_FOUND), `the vorlink! service host is not installed (${NOT_FOUND})`],
    [(host) => host.disconnect("Access to the specified native messaging host is forbidden."),
      "the vorlink! service host does not accept this extension (Access to the specified native messaging host is forbidden.)"],
    [(host) => host.disconnect(), "the vorlink! service host could not be started (the vorlink! service host ended)"],
  ];
  for (const [answer, reason] of cases) {
    const page = extensionPage();
    const connecting = page.VLService.connect();
    await until(() => page.hosts[0]?.heard.length);
    answer(page.hosts[0]);
    await assert.rejects(connecting, { message: reason }, reason);
    await until(() => !page.hosts[0].open);
  }
});

test("a connection that ends after the page was accepted fails its waiting and later calls with the reason", LIMIT, async () => {
  const cases = [
    [({ host }) => host.disconnect(), "the vorlink! service host ended"],
    [({ host }) => host.disconnect("Native host has exited."), "Native host has exited."],
    [({ page }) => page.workers[0].disconnect(), "the vorlink! extension closed the connection"],
  ];
  for (const [end, reason] of cases) {
    const connection = await accepted();
    const waiting = connection.adapter.LoadData("k");
    await until(() => connection.host.heard.length === 2);
    end(connection);
    await assert.rejects(waiting, { message: reason });
    await assert.rejects(connection.adapter.GetVersion(), { message: reason });
  }
});
