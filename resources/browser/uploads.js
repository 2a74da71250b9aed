// Uploads the pictures the PC asks for, raw, one XMLHttpRequest each.

const FAILED_TEXT = "上传失败";

// fileFor(name) finds a File; onProgress(name, value) gets a percentage, "done", "failed"
// or null (cancelled); onError(text) gets the PC's refusal text.
export function createUploads({ token, fileFor, onProgress, onError }) {
  const running = new Map(); // request id -> { xhr, name }

  function finish(id, name, ok, text) {
    if (running.get(id)?.name !== name) return;
    running.delete(id);
    onProgress(name, ok ? "done" : "failed");
    if (!ok) onError(text.trim().slice(0, 200) || FAILED_TEXT);
  }

  function need(id, name) {
    const file = typeof name === "string" ? fileFor(name) : null;
    if (!Number.isInteger(id) || id < 0 || !file) return;
    // The PC asks again when an upload stalls: drop the stalled one.
    for (const [other, job] of running) if (job.name === name) cancel(other);
    const xhr = new XMLHttpRequest();
    running.set(id, { xhr, name });
    xhr.open("PUT", "/api/upload/" + id);
    xhr.setRequestHeader("X-Zephra-Token", token);
    xhr.upload.onprogress = (e) => {
      if (e.lengthComputable && e.total > 0) onProgress(name, Math.floor((e.loaded * 100) / e.total));
    };
    xhr.onload = () => finish(id, name, xhr.status === 204, xhr.responseText || "");
    xhr.onerror = () => finish(id, name, false, "");
    onProgress(name, 0);
    xhr.send(file);
  }

  function cancel(id) {
    const job = running.get(id);
    if (!job) return;
    running.delete(id);
    job.xhr.abort();
    onProgress(job.name, null);
  }

  return { need, cancel };
}
