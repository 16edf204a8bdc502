// The extension's service worker: one service host per page connection. It tells the host
// the page's address as the browser names the sender (never as the page gives it), then
// passes the page's calls to the host and the host's messages to the page as they are.
// What the extension itself has to tell the page, it says in the host's words: the
// connection's end is an error under the id of the page's address.
"use strict";

const SERVICE_HOST = "@VL_SERVICE_HOST_NAME@";
const PAGE_MESSAGE_ID = 0;

// The reason a page is given when the host cannot be reached; the browser's own words follow.
function unreachable(message) {
  if (/not found/i.test(message)) return `the vorlink! service host is not installed (${message})`;
  if (/forbidden/i.test(message)) return `the vorlink! service host does not accept this extension (${message})`;
  return `the vorlink! service host could not be started (${message})`;
}

const ended = (reason) => ({ id: PAGE_MESSAGE_ID, error: reason });

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
      // The host's first message answers the page's address: a result accepts the page.
      accepted = message.id === PAGE_MESSAGE_ID && "result" in message;
      if (!accepted) {
        // A refusal of the page (under its id), or of the extension (a host started for
        // another caller answers under none): either ends the page's connection.
        tell(ended(typeof message.error === "string" ? message.error : "the vorlink! service host refused the page"));
        host.disconnect();
        page.disconnect();
        return;
      }
    }
    tell(message);
  });
  host.onDisconnect.addListener((port) => {
    const error = chrome.runtime.lastError || (port && port.error);
    const message = error ? String(error.message) : "the vorlink! service host ended";
    tell(ended(accepted ? message : unreachable(message)));
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
