// The benchmark's echo: answers each message of a page's connection at once.
"use strict";
chrome.runtime.onConnect.addListener((page) => {
  page.onMessage.addListener((message) => page.postMessage(message));
});
