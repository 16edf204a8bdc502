// A page run in the Chromium of a ChromiumSession as `./run page` runs one in the page
// host: what the page shows with alert() is its output, a line each, in order, and each
// dialog is accepted at once. Node's own modules only.
//
//   const lines = await runPage(browser, "https://tw.vorlink.com/connect.html", { onLine: console.log });
//
// The run ends once the page has shown nothing for `quietMs` (default 5000; a call through
// the service host takes a few seconds while Wine starts the host), or, with `lines`, as
// soon as that many lines came and `settleMs` (default 1000) passed without another; at
// the latest after `limitMs` (default 60000). The tab is closed at the end.
export async function runPage(browser, url, { lines: wanted, quietMs = 5000, settleMs = 1000, limitMs = 60000,
  onLine = () => {} } = {}) {
  const shown = [];
  let last = Date.now();
  let sessionId = null;
  // Dialogs block the page (also while it loads), so every tab's are taken as they open;
  // one page runs at a time.
  const dialogs = (message) => {
    if (message.method !== "Page.javascriptDialogOpening") return;
    if (sessionId === null || message.sessionId === sessionId) {
      if (message.params.type === "alert") {
        shown.push(message.params.message);
        last = Date.now();
        onLine(message.params.message);
      }
    }
    browser.send("Page.handleJavaScriptDialog", { accept: true }, message.sessionId).catch(() => {});
  };
  browser.listeners.add(dialogs);
  const start = Date.now();
  let page;
  try {
    page = await browser.open(url);
    sessionId = page.sessionId;
    for (;;) {
      const now = Date.now();
      const done = wanted === undefined ? now - last >= quietMs : shown.length >= wanted && now - last >= settleMs;
      if (done || now - start >= limitMs) break;
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
  } finally {
    browser.listeners.delete(dialogs);
    if (page) await page.close().catch(() => {});
  }
  return shown;
}
