// The picked pictures: their list names and the slice of the list sent to the PC.

// A message to the PC must stay under 64 KiB; 1000 entries keep well below that.
export const MAX_SENT = 1000;

const MIME_EXTENSIONS = {
  jpeg: "jpg", jpg: "jpg", png: "png", gif: "gif", webp: "webp",
  heic: "heic", heif: "heif", avif: "avif", bmp: "bmp",
};

export function randomHex(digits) {
  const bytes = crypto.getRandomValues(new Uint8Array(Math.ceil(digits / 2)));
  return Array.from(bytes, (b) => b.toString(16).padStart(2, "0")).join("").slice(0, digits);
}

// The file's own extension when it looks like one, else one derived from its MIME type.
function extensionOf(file) {
  const dot = file.name.lastIndexOf(".");
  const own = dot > 0 ? file.name.slice(dot + 1).toLowerCase() : "";
  if (/^[a-z0-9]{1,8}$/.test(own)) return own;
  return MIME_EXTENSIONS[file.type.replace(/^image\//, "")] || "jpg";
}

// A new pick: every file gets the name "<pick id>-<n>.<extension>".
export function makePick(files) {
  const id = randomHex(8);
  const entries = files.map((file, n) => ({ name: `${id}-${n}.${extensionOf(file)}`, file }));
  const byName = new Map(entries.map((e) => [e.name, e.file]));
  return { id, entries, byName };
}

// The slice of the list sent with picture i: all of it, or MAX_SENT entries around i.
export function windowOf(pick, i) {
  const total = pick.entries.length;
  const offset = Math.max(0, Math.min(i - MAX_SENT / 2, total - MAX_SENT));
  const pictures = pick.entries
    .slice(offset, offset + MAX_SENT)
    .map((e) => ({ name: e.name, size: e.file.size }));
  return { offset, pictures, windowed: total > MAX_SENT };
}
