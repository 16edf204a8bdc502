// The benchmark's echo: carries a page's MessagePort messages to the service worker and back,
// as the vorlink! extension's content relay does, for bench/bridge_bench.mjs.
"use strict";
window.addEventListener("message", (event) => {
  if (event.source !== window || !event.data || event.data.vlbench !== "connect" || event.ports.length !== 1) return;
  const page = event.ports[0];
  const worker = chrome.runtime.connect({ name: "vlbench" });
  page.onmessage = ({ data }) => worker.postMessage(data);
  worker.onMessage.addListener((message) => page.postMessage(message));
});
