// Runs beside each portal page, in the extension's own world: carries the messages of each
// VLService connection between the page (a MessagePort the page hands over) and the
// extension's service worker. The worker learns the page's address from the browser, so
// nothing the page says here names its site. The relay's own word, that the connection
// ended, is said as the service worker says it: an error under id 0, the page address's id.
"use strict";

window.addEventListener("message", (event) => {
  if (event.source !== window || !event.data || event.data.vlservice !== "connect" || event.ports.length !== 1) return;
  const page = event.ports[0];
  const worker = chrome.runtime.connect({ name: "vlservice" });
  page.onmessage = ({ data }) => {
    if (data && typeof data === "object") worker.postMessage({ id: data.id, method: data.method, args: data.args });
  };
  worker.onMessage.addListener((message) => page.postMessage(message));
  worker.onDisconnect.addListener(() => {
    page.postMessage({ id: 0, error: "the vorlink! extension closed the connection" });
    page.close();
  });
});
