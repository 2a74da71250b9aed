// The WebSocket to the PC: token check, session state and reconnection.

const FIRST_RETRY_MS = 1000;
const NEXT_RETRY_MS = 3000;
const BUSY_RETRY_MS = 3000;
const CONNECT_TIMEOUT_MS = 8000;
const CHECK_TIMEOUT_MS = 5000;

// The answer's status to GET /api/check, or 0 when the PC could not be reached.
async function checkToken(token) {
  const abort = new AbortController();
  const timer = setTimeout(() => abort.abort(), CHECK_TIMEOUT_MS);
  try {
    const res = await fetch("/api/check", {
      headers: { "X-Zephra-Token": token }, cache: "no-store", signal: abort.signal,
    });
    return res.status;
  } catch {
    return 0;
  } finally {
    clearTimeout(timer);
  }
}

// onState gets "connected", "busy", "offline" or "denied"; onMessage every other message.
export function openLink({ token, clientId, onState, onMessage }) {
  let ws = null;
  let trying = false;
  let held = false;
  let busy = false;
  let denied = false;
  let timer = 0;
  let delay = FIRST_RETRY_MS;

  async function connect() {
    clearTimeout(timer);
    if (ws || trying || denied) return;
    trying = true;
    const status = await checkToken(token);
    trying = false;
    // Only a 403 means the token is refused; any other answer lets the socket try.
    if (status === 403) {
      denied = true;
      return onState("denied");
    }
    if (status === 0) return lost();
    const protocols = ["zephra", "token-" + token, "client-" + clientId];
    const socket = new WebSocket("ws://" + location.host + "/ws", protocols);
    // A phone that lost the network can hang in CONNECTING for a long time.
    const guard = setTimeout(() => socket.close(), CONNECT_TIMEOUT_MS);
    socket.onopen = () => clearTimeout(guard);
    socket.onmessage = (e) => receive(e.data);
    socket.onclose = () => {
      clearTimeout(guard);
      ws = null;
      lost();
    };
    ws = socket;
  }

  function receive(text) {
    let msg;
    try {
      msg = JSON.parse(text);
    } catch {
      return;
    }
    if (!msg || typeof msg !== "object") return;
    if (msg.type !== "state") return onMessage(msg);
    if (msg.state === "connected") {
      held = true;
      busy = false;
      delay = FIRST_RETRY_MS;
      onState("connected");
    } else if (msg.state === "busy") {
      busy = true;
      onState("busy");
    }
  }

  // The server closes a busy socket itself; anything else is a lost connection.
  function lost() {
    held = false;
    if (busy) {
      busy = false;
      timer = setTimeout(connect, BUSY_RETRY_MS);
      return;
    }
    onState("offline");
    timer = setTimeout(connect, delay);
    delay = NEXT_RETRY_MS;
  }

  // Back from a screen lock or the page cache: retry at once instead of waiting.
  function wake() {
    if (document.visibilityState === "visible" && !ws) connect();
  }
  document.addEventListener("visibilitychange", wake);
  window.addEventListener("pageshow", wake);
  window.addEventListener("online", wake);

  connect();

  return {
    send(msg) {
      if (!held || !ws || ws.readyState !== WebSocket.OPEN) return false;
      ws.send(JSON.stringify(msg));
      return true;
    },
  };
}
