// The browser bridge's benchmark: requests as a portal page in headless Chromium sees them,
// through the extension and VLServiceHost.exe under Wine (tools/browser/chromium_session.mjs);
// for where the time goes, the page's path to an extension's service worker alone (the
// echo extension) and the host alone over its standard pipes. Prints
// "figure <key> <value> <unit>" lines, or "missing <key> <reason>" for what it could not
// measure; run by bench/run_benchmarks.sh with the signed stand-in kernel installed.
//
//   node bridge_bench.mjs <win32 build dir> <native build dir>
import { spawn } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";
import { ChromiumSession } from "../tools/browser/chromium_session.mjs";

const [win32Dir, nativeDir] = process.argv.slice(2).map((dir) => path.resolve(dir));
const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "..");
const EXTENSION_ID = /VL_EXTENSION_ID (\w+)/.exec(fs.readFileSync(path.join(ROOT, "web/extension/identity.cmake"), "utf8"))[1];
const ROUND_TRIPS = 200;

// The same statistics as the page host's benchmark page: median, nearest-rank percentile;
// the page gets them as text.
function sorted(samples) { return samples.slice().sort((a, b) => a - b); }
function median(samples) {
  const s = sorted(samples), middle = Math.floor(s.length / 2);
  return s.length % 2 ? s[middle] : (s[middle - 1] + s[middle]) / 2;
}
function percentile(samples, p) { const s = sorted(samples); return s[Math.max(1, Math.ceil(p / 100 * s.length)) - 1]; }
function latency(key, samples) { return [`figure ${key}.median ${median(samples)} ms`, `figure ${key}.p99 ${percentile(samples, 99)} ms`]; }
const STATS = [sorted, median, percentile, latency].map(String).join("\n");

// Run in the page: connections, calls the host answers itself, and, with the kernel linked,
// the kernel's requests and OnResult. performance.now() is coarsened to 0.1 ms in pages.
const IN_PAGE = `(async () => {
  ${STATS}
  const lines = [];
  const ROUND_TRIPS = ${ROUND_TRIPS};
  const connects = [];
  let adapter;
  for (let i = 0; i < 5; i++) {
    const start = performance.now();
    adapter = await VLService.connect();
    connects.push(performance.now() - start);
  }
  lines.push(\`figure bridge.connect_ms \${median(connects)} ms\`);
  const own = [];
  for (let i = 0; i < ROUND_TRIPS; i++) {
    const start = performance.now();
    await adapter.GetVersion().catch(() => {});
    own.push(performance.now() - start);
  }
  lines.push(...latency("bridge.host", own));
  let start = performance.now();
  await Promise.all(Array.from({ length: 50 }, () => adapter.GetVersion().catch(() => {})));
  lines.push(\`figure bridge.host_burst_ms \${performance.now() - start} ms\`);

  // The same path without the host: the benchmark's echo extension (bench/echo_extension)
  // carries each message to its service worker and back as the vorlink! extension does.
  const echo = await new Promise((resolve) => {
    const channel = new MessageChannel();
    const waiting = [];
    channel.port1.onmessage = () => waiting.shift()();
    resolve(() => new Promise((answered) => { waiting.push(answered); channel.port1.postMessage({}); }));
    window.postMessage({ vlbench: "connect" }, "*", [channel.port2]);
  });
  const echoes = [];
  for (let i = 0; i < ROUND_TRIPS; i++) {
    start = performance.now();
    await echo();
    echoes.push(performance.now() - start);
  }
  lines.push(...latency("bridge.echo", echoes));
  start = performance.now();
  await Promise.all(Array.from({ length: 50 }, echo));
  lines.push(\`figure bridge.echo_burst_ms \${performance.now() - start} ms\`);

  const linked = await adapter.Initialize2("TW;Production", "1.0.0.10", "", 10000, location.href).catch((e) => e.message);
  if (linked !== 0) {
    lines.push(\`missing bridge.kernel Initialize2 answered \${linked}\`);
    return lines;
  }
  const saves = [], loads = [];
  for (let i = 0; i < ROUND_TRIPS; i++) {
    const value = "value " + i;
    start = performance.now();
    if (await adapter.SaveData("bench", value) !== 0) break;
    saves.push(performance.now() - start);
    start = performance.now();
    if (await adapter.LoadData("bench") !== value) break;
    loads.push(performance.now() - start);
  }
  if (loads.length === ROUND_TRIPS) lines.push(...latency("bridge.save", saves), ...latency("bridge.load", loads));
  else lines.push(\`missing bridge.requests a request failed after \${loads.length} round trips\`);

  const arrivals = (cmd, serial, count) => new Promise((resolve) => {
    const times = [];
    const listener = (e) => {
      if (e.detail.cmd !== cmd || e.detail.serial !== serial) return;
      times.push(performance.now() - start);
      if (times.length === count) { adapter.removeEventListener("OnResult", listener); resolve(times); }
    };
    adapter.addEventListener("OnResult", listener);
    setTimeout(() => resolve(times), 15000);
  });
  // A command sent from an idle page, until its echo's OnResult, each round.
  const firsts = [];
  for (let i = 0; i < 50; i++) {
    await new Promise((resolve) => setTimeout(resolve, 5));
    const heardFirst = arrivals(2001, i, 1);
    start = performance.now();
    await adapter.SendCommand(2001, i, "Bench=first");
    const first = await heardFirst;
    if (first.length !== 1) break;
    firsts.push(first[0]);
  }
  if (firsts.length === 50) lines.push(\`figure bridge.onresult.first_ms \${median(firsts)} ms\`);
  else lines.push("missing bridge.onresult.first_ms no OnResult within 15 s");
  let heard = arrivals(100, 4242, 50);
  start = performance.now();
  await adapter.SendCommand(100, 4242, "Count=50");
  const burst = await heard;
  lines.push(\`figure bridge.onresult.events \${burst.length} events\`);
  if (burst.length === 50) lines.push(\`figure bridge.onresult.burst_ms \${burst[49]} ms\`);
  else lines.push(\`missing bridge.onresult.burst_ms \${burst.length} of 50 results within 15 s\`);

  // A thousand commands without awaiting any: until every answer, and until the last echo.
  const COMMANDS = 1000;
  const serials = [];
  const echoed = new Promise((resolve) => {
    const listener = (e) => {
      if (e.detail.cmd !== 2002) return;
      serials.push(e.detail.serial);
      if (serials.length === COMMANDS) { adapter.removeEventListener("OnResult", listener); resolve(); }
    };
    adapter.addEventListener("OnResult", listener);
    setTimeout(resolve, 30000);
  });
  start = performance.now();
  const results = await Promise.all(Array.from({ length: COMMANDS },
    (_, i) => adapter.SendCommand(2002, i, "Burst=" + i).catch(() => 1)));
  const answered = performance.now() - start;
  await echoed;
  const lastEcho = performance.now() - start;
  let inOrder = 0;
  while (inOrder < serials.length && serials[inOrder] === inOrder) inOrder++;
  lines.push(\`figure bridge.commands.answered_ms \${answered} ms\`,
    \`figure bridge.commands.ok \${results.filter((result) => result === 0).length} calls\`,
    \`figure bridge.commands.in_order \${inOrder} events\`,
    \`figure bridge.commands.last_event_ms \${lastEcho} ms\`);
  await adapter.Uninitialize();
  return lines;
})()`;

// The host alone: its standard input and output on pipes of this process, the calls it
// answers itself, as the browser's native messaging would send them.
async function hostAlone() {
  const host = spawn(path.join(win32Dir, "wine_run.sh"), [path.join(win32Dir, "VLServiceHost.exe"), `chrome-extension://${EXTENSION_ID}/`],
    { stdio: ["pipe", "pipe", "ignore"] });
  let buffered = Buffer.alloc(0);
  const waiting = []; // answers are in the order of the calls
  const deliver = () => {
    while (waiting.length && buffered.length >= 4 && buffered.length >= 4 + buffered.readUInt32LE(0)) {
      const size = buffered.readUInt32LE(0);
      const message = buffered.subarray(4, 4 + size).toString("utf8");
      buffered = buffered.subarray(4 + size);
      waiting.shift()(message);
    }
  };
  host.stdout.on("data", (chunk) => { buffered = Buffer.concat([buffered, chunk]); deliver(); });
  const framed = (message) => {
    const body = Buffer.from(JSON.stringify(message), "utf8");
    const length = Buffer.alloc(4);
    length.writeUInt32LE(body.length);
    return Buffer.concat([length, body]);
  };
  // The calls written at once, each answer awaited.
  const calls = (messages) => {
    const answers = messages.map(() => new Promise((resolve) => waiting.push(resolve)));
    host.stdin.write(Buffer.concat(messages.map(framed)));
    deliver();
    return Promise.all(answers);
  };
  const getVersion = (id) => ({ id, method: "GetVersion", args: [] });
  await calls([{ id: 0, page: "https://www.vorlink.com/blank.html" }]);
  const samples = [];
  for (let i = 1; i <= ROUND_TRIPS; i++) {
    const start = performance.now();
    await calls([getVersion(i)]);
    samples.push(performance.now() - start);
  }
  const start = performance.now();
  await calls(Array.from({ length: 50 }, (_, i) => getVersion(ROUND_TRIPS + 1 + i)));
  const burst = performance.now() - start;
  host.stdin.end();
  return [...latency("bridge.direct", samples), `figure bridge.direct_burst_ms ${burst} ms`];
}

const lines = [];
try {
  lines.push(...await hostAlone());
  const browser = await ChromiumSession.start(win32Dir, {
    env: {
      VL_NATIVE_DIR: nativeDir,
      VL_BROWSER_PROFILE: path.join(win32Dir, "browser", "bench-profile"),
      VL_BROWSER_MORE_EXTENSIONS: path.join(ROOT, "bench", "echo_extension"),
    },
    timeoutMs: 120000,
  });
  try {
    const page = await browser.open("https://www.vorlink.com/blank.html");
    lines.push(...await page.evaluate(IN_PAGE));
  } finally {
    await browser.close();
  }
} catch (error) {
  lines.push(`missing bridge ${error.message.split("\n")[0]}`);
}
console.log(lines.join("\n"));
process.exit(lines.some((line) => line.startsWith("missing bridge ")) ? 1 : 0);
