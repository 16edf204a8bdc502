// The extension's service worker: one service host per page connection. It tells the host
// the page's address as the browser names the sender (never as the page gives it), then
// passes calls, answers and events between the page and the host.
"use strict";

const SERVICE_HOST = "@VL_SERVICE_HOST_NAME@";
const PAGE_MESSAGE_ID = 0;

// The reason a page is given when the host cannot be reached; the browser's own words follow.
function unreachable(message) {
  if (/not found/i.test(message)) return `the vorlink! service host is not installed (${message})`;
  if (/forbidden/i.test(message)) return `the vorlink! service host does not accept this extension (${message})`;
  return `the vorlink! service host could not be started (${message})`;
}

chrome.runtime.onConnect.addListener((page) => {
  const sender = page.sender;
  // Only the extension's own content script in a tab's top-level page.
  if (page.name !== "vlservice" || !sender || sender.id !== chrome.runtime.id || !sender.tab ||
      sender.frameId !== 0 || typeof sender.url !== "string") {
    page.disconnect();
    return;
  }
  let accepted = false;
  let pageGone = false;
  const tell = (message) => { if (!pageGone) page.postMessage(message); };
  const host = chrome.runtime.connectNative(SERVICE_HOST);

  host.onMessage.addListener((message) => {
    if (!accepted) {
      if (message.id === PAGE_MESSAGE_ID && "result" in message) {
        accepted = true;
        const reported = message.result || {};
        tell({ type: "ready", versions: { extension: chrome.runtime.getManifest().version,
                                          host: String(reported.host ?? ""), kernel: String(reported.kernel ?? "") } });
      } else {
        tell({ type: "refused", reason: String(message.error || "the vorlink! service host refused the page") });
        host.disconnect();
        page.disconnect();
      }
    } else if (message.event === "OnResult") {
      tell({ type: "event", event: "OnResult", cmd: message.cmd, serial: message.serial, params: message.params });
    } else if (message.event === "InstallPage") {
      tell({ type: "event", event: "InstallPage", address: message.address });
    } else {
      tell({ type: "answer", id: message.id, result: message.result, error: message.error });
    }
  });
  host.onDisconnect.addListener((port) => {
    const error = chrome.runtime.lastError || (port && port.error);
    const message = error ? String(error.message) : "the vorlink! service host ended";
    tell(accepted ? { type: "closed", reason: message } : { type: "refused", reason: unreachable(message) });
    page.disconnect();
  });

  page.onMessage.addListener((message) => {
    // Calls are the page's once the host has accepted the page; the page message is ours.
    if (accepted) host.postMessage({ id: message.id, method: message.method, args: message.args });
  });
  page.onDisconnect.addListener(() => {
    pageGone = true;
    host.disconnect();
  });

  host.postMessage({ id: PAGE_MESSAGE_ID, page: sender.url });
});
