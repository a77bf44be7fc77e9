// Drives headless Chromium over its DevTools pipe (no network, no
// packages): opens the page at a file address, waits until it has finished
// (body data-state "done", "refused" or "error"), and prints what an
// expression gives. Virtual time cannot wait for a worker; polling can.
//   [PAGE_WIDTH=PIXELS] node chromium.js CHROMIUM URL [EXPRESSION | --screenshot=FILE]
// EXPRESSION defaults to the data file's text, or the refusal or failure
// with its message (with data, or a page done but not drawn, reported too);
// it may return a promise.
"use strict";
const { spawn } = require("child_process");

const [chrome, url, third] = process.argv.slice(2);
const screenshot = third && third.startsWith("--screenshot=") ? third.slice(13) : null;
const expression = screenshot ? null : third;
const wanted = expression || `(() => {
  const data = document.getElementById("data").textContent;
  const state = document.body.dataset.state;
  if (state === "done" && !document.body.classList.contains("text") &&
      !document.querySelector("#plot polyline"))
    return "done, but nothing drawn";
  if (state === "done") return data;
  return state + ": " + document.getElementById("refusal").textContent + (data ? " (and data)" : "");
})()`;
const browser = spawn(chrome, ["--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe"],
                      { stdio: ["ignore", "ignore", "ignore", "pipe", "pipe"] });
const toBrowser = browser.stdio[3], fromBrowser = browser.stdio[4];
let sent = 0, buffer = "";
const replies = new Map();
fromBrowser.on("data", (chunk) => {
  buffer += chunk;
  for (let end; (end = buffer.indexOf("\0")) >= 0; buffer = buffer.slice(end + 1)) {
    const message = JSON.parse(buffer.slice(0, end));
    if (replies.has(message.id)) replies.get(message.id)(message);
  }
});
function send(method, params, sessionId) {
  return new Promise((resolve) => {
    const id = ++sent;
    replies.set(id, resolve);
    toBrowser.write(JSON.stringify({ id, method, params, sessionId }) + "\0");
  });
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function main() {
  const { result: { targetId } } = await send("Target.createTarget", { url: "about:blank" });
  const { result: { sessionId } } =
    await send("Target.attachToTarget", { targetId, flatten: true });
  await send("Emulation.setDeviceMetricsOverride",
             { width: Number(process.env.PAGE_WIDTH) || 1280, height: 860, deviceScaleFactor: 1,
               mobile: Boolean(process.env.PAGE_WIDTH) }, sessionId);
  await send("Page.navigate", { url }, sessionId);
  const evaluate = async (text) => (await send("Runtime.evaluate",
    { expression: text, returnByValue: true, awaitPromise: true }, sessionId)).result;
  const deadline = Date.now() + 600000;
  for (;;) {
    const state = await evaluate("document.body && document.body.dataset.state");
    if (state.result && ["done", "refused", "error"].includes(state.result.value)) break;
    if (Date.now() > deadline) throw new Error("the page did not finish");
    await sleep(50);
  }
  if (screenshot) {
    await sleep(300);  // the plot's strip image
    const { result: { data } } = await send("Page.captureScreenshot", { format: "png" }, sessionId);
    require("fs").writeFileSync(screenshot, Buffer.from(data, "base64"));
    await send("Browser.close", {});
    return;
  }
  const answer = await evaluate(wanted);
  if (answer.exceptionDetails) throw new Error(JSON.stringify(answer.exceptionDetails));
  const value = answer.result.value;
  process.stdout.write(typeof value === "string" ? value : JSON.stringify(value) + "\n");
  await send("Browser.close", {});
}
main().then(() => process.exit(0), (e) => {
  console.error(String(e));
  browser.kill();
  process.exit(1);
});
