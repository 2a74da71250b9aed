// Wiring of the page: session state, the picked list and the viewer's controls.
import { makePick, randomHex, windowOf } from "./list.js";
import { openLink } from "./link.js";
import { createUploads } from "./uploads.js";
import { createGrid } from "./grid.js";

const $ = (id) => document.getElementById(id);

const STATUS_TEXTS = {
  connecting: "正在连接…",
  connected: "已连接",
  busy: "另一部手机正在使用",
  offline: "已断开，正在重新连接…",
  closed: "电脑上的看图已关闭",
  denied: "二维码已失效，请重新扫描电脑上的二维码",
  notoken: "请用电脑上显示的二维码打开本页",
};
const CONTROLS = ["prev", "next", "play", "stop", "close", "rotl", "rotr", "zoomin", "zoomout", "fit"];
const ACTIONS = ["rotl", "rotr", "zoomin", "zoomout", "fit"];

const token = location.hash.slice(1);
let state = "connecting";
let link = null;
let pick = null; // the current pick
let shown = null; // the list last sent to the PC: { pick, offset, windowed }
let current = -1; // position in the current pick of the picture on the PC, or the last tapped

const grid = createGrid($("grid"), (n) => showAt("show", n));

function setStatus(next) {
  state = next;
  $("status").textContent = STATUS_TEXTS[next];
  $("status").dataset.state = next;
  refreshControls();
}

function refreshControls() {
  const off = !pick || (state !== "connected" && state !== "closed");
  for (const id of CONTROLS) $(id).disabled = off;
  $("pick").disabled = state === "notoken" || state === "denied";
}

function showMessage(text) {
  $("message").textContent = text;
}

function setIndex(n, count) {
  $("index").textContent = n < 0 ? "" : `第 ${n + 1} 张，共 ${count} 张`;
  $("index").dataset.index = n < 0 ? "" : String(n);
  $("index").dataset.count = n < 0 ? "" : String(count);
}

// Shows (or plays from) position i of the current pick on the PC.
function showAt(type, i) {
  if (!pick || !link) return;
  i = Math.max(0, Math.min(i, pick.entries.length - 1));
  const { offset, pictures, windowed } = windowOf(pick, i);
  if (!link.send({ type, index: i - offset, pictures })) return;
  shown = { pick, offset, windowed };
  current = i;
}

// The PC's index is within the list it was sent; a reloaded page may not know that list.
function onIndex(msg) {
  if (!Number.isInteger(msg.index) || !Number.isInteger(msg.count)) return;
  const n = (shown?.offset ?? 0) + msg.index;
  setIndex(n, shown?.windowed ? shown.pick.entries.length : msg.count);
  if (state === "closed") setStatus("connected");
  if (shown && shown.pick === pick) {
    current = n;
    grid.highlight(n);
  }
}

function onClosed() {
  setStatus("closed");
  setIndex(-1);
  grid.highlight(-1);
}

function onPicked(input) {
  const files = Array.from(input.files || []);
  input.value = ""; // lets the same files be picked again
  if (!files.length) return;
  pick = makePick(files);
  current = -1;
  showMessage("");
  grid.render(pick.entries);
  refreshControls();
}

// The client id survives a reload in this tab, so the PC resumes the same session.
function clientId() {
  try {
    let id = sessionStorage.getItem("zephra-client");
    if (!/^[0-9a-f]{16}$/.test(id || "")) sessionStorage.setItem("zephra-client", (id = randomHex(16)));
    return id;
  } catch {
    return randomHex(16);
  }
}

function wireControls() {
  $("pick").addEventListener("change", (e) => onPicked(e.target));
  $("prev").addEventListener("click", () => showAt("show", current - 1));
  $("next").addEventListener("click", () => showAt("show", current + 1));
  $("play").addEventListener("click", () => showAt("play", Math.max(current, 0)));
  $("stop").addEventListener("click", () => link?.send({ type: "stop" }));
  $("close").addEventListener("click", () => link?.send({ type: "close" }));
  for (const action of ACTIONS) $(action).addEventListener("click", () => link?.send({ type: "act", action }));
}

function start() {
  wireControls();
  // A new QR code scanned into this tab only changes the fragment.
  window.addEventListener("hashchange", () => location.reload());
  if (!/^[0-9a-f]{32}$/.test(token)) return setStatus("notoken");
  setStatus("connecting");
  const uploads = createUploads({
    token,
    fileFor: (name) => pick?.byName.get(name) ?? shown?.pick.byName.get(name),
    onProgress: (name, value) => grid.setUpload(name, value),
    onError: showMessage,
  });
  const handlers = {
    __proto__: null,
    index: onIndex,
    closed: onClosed,
    need: (msg) => uploads.need(msg.id, msg.name),
    cancel: (msg) => uploads.cancel(msg.id),
  };
  link = openLink({
    token,
    clientId: clientId(),
    onState: setStatus,
    onMessage: (msg) => handlers[msg.type]?.(msg),
  });
}

start();
