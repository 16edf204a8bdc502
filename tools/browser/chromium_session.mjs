// Drives the Chromium of browser.sh through the DevTools protocol on a pipe
// (--remote-debugging-pipe: commands on descriptor 3, answers and events on 4, each message
// JSON ended by a NUL byte). Only Node's own modules: nothing is fetched.
//
//   const browser = await ChromiumSession.start(win32Dir, { env });
//   const page = await browser.open("https://www.vorlink.com/index.html");
//   const value = await page.evaluate("VLService.connect().then(a => a.GetVersion())");
//   fs.writeFileSync("page.png", await page.screenshot());
//   await browser.close();
import { spawn } from "node:child_process";
import path from "node:path";
import { fileURLToPath } from "node:url";

const BROWSER_SH = path.join(path.dirname(fileURLToPath(import.meta.url)), "browser.sh");

export class ChromiumSession {
  static async start(win32Dir, { env = {}, args = [], timeoutMs = 30000 } = {}) {
    const child = spawn(BROWSER_SH, [win32Dir, "--headless=new", "--remote-debugging-pipe", ...args, "about:blank"], {
      env: { ...process.env, ...env },
      stdio: ["ignore", "ignore", "pipe", "pipe", "pipe"],
    });
    const session = new ChromiumSession(child, timeoutMs);
    await session.send("Target.setDiscoverTargets", { discover: true });
    return session;
  }

  constructor(child, timeoutMs) {
    this.child = child;
    this.timeoutMs = timeoutMs;
    this.nextId = 1;
    this.calls = new Map();
    this.listeners = new Set();
    this.stderr = "";
    this.exited = new Promise((resolve) => child.on("exit", (code) => {
      for (const call of this.calls.values()) call.reject(new Error(`Chromium ended (${code}): ${this.stderr.slice(-2000)}`));
      this.calls.clear();
      resolve(code);
    }));
    child.stderr.on("data", (chunk) => { this.stderr = (this.stderr + chunk).slice(-20000); });
    let buffered = "";
    child.stdio[4].on("data", (chunk) => {
      buffered += chunk.toString("utf8");
      let end;
      while ((end = buffered.indexOf("\0")) >= 0) {
        const message = JSON.parse(buffered.slice(0, end));
        buffered = buffered.slice(end + 1);
        this.receive(message);
      }
    });
  }

  receive(message) {
    if (message.id !== undefined) {
      const call = this.calls.get(message.id);
      if (!call) return;
      this.calls.delete(message.id);
      if (message.error) call.reject(new Error(`${call.method}: ${message.error.message}`));
      else call.resolve(message.result);
      return;
    }
    for (const listener of [...this.listeners]) listener(message);
  }

  send(method, params = {}, sessionId = undefined) {
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    return this.bounded(new Promise((resolve, reject) => {
      this.calls.set(id, { method, resolve, reject });
      this.child.stdio[3].write(JSON.stringify(message) + "\0");
    }), method);
  }

  // The first event `method` of `sessionId` for which `accept` holds.
  waitFor(method, sessionId, accept = () => true) {
    return this.bounded(new Promise((resolve) => {
      const listener = (message) => {
        if (message.method !== method || message.sessionId !== sessionId || !accept(message.params)) return;
        this.listeners.delete(listener);
        resolve(message.params);
      };
      this.listeners.add(listener);
    }), method);
  }

  bounded(promise, what) {
    let timer;
    const limit = new Promise((_, reject) => {
      timer = setTimeout(() => reject(new Error(`${what}: no answer within ${this.timeoutMs} ms`)), this.timeoutMs);
    });
    return Promise.race([promise, limit]).finally(() => clearTimeout(timer));
  }

  // A new tab that has loaded `url`.
  async open(url) {
    const { targetId } = await this.send("Target.createTarget", { url: "about:blank" });
    const { sessionId } = await this.send("Target.attachToTarget", { targetId, flatten: true });
    await this.send("Page.enable", {}, sessionId);
    const loaded = this.waitFor("Page.loadEventFired", sessionId);
    await this.send("Page.navigate", { url }, sessionId);
    await loaded;
    return new PageSession(this, sessionId, targetId);
  }

  async close() {
    this.send("Browser.close").catch(() => {});
    const code = await this.bounded(this.exited, "Browser.close");
    return code;
  }
}

class PageSession {
  constructor(browser, sessionId, targetId) {
    this.browser = browser;
    this.sessionId = sessionId;
    this.targetId = targetId;
  }

  // The value of the page's expression (a promise is awaited); a thrown error's text
  // becomes the rejection.
  async evaluate(expression) {
    const { result, exceptionDetails } = await this.browser.send("Runtime.evaluate", {
      expression, awaitPromise: true, returnByValue: true,
    }, this.sessionId);
    if (exceptionDetails) {
      throw new Error(exceptionDetails.exception ? exceptionDetails.exception.description : exceptionDetails.text);
    }
    return result.value;
  }

  // The tab as shown, a PNG image.
  async screenshot() {
    const { data } = await this.browser.send("Page.captureScreenshot", { format: "png" }, this.sessionId);
    return Buffer.from(data, "base64");
  }

  async reload() {
    const loaded = this.browser.waitFor("Page.loadEventFired", this.sessionId);
    await this.browser.send("Page.reload", {}, this.sessionId);
    await loaded;
  }

  close() {
    return this.browser.send("Target.closeTarget", { targetId: this.targetId });
  }
}
