// The thumbnails of the picked pictures, previewed lazily as they scroll near.

const PREVIEW_WIDTH = 240;
const MAX_DECODING = 2;

export function createGrid(container, onTap) {
  const thumbs = new Map(); // list name -> button
  const queue = [];
  let decoding = 0;
  let generation = 0;
  let urls = [];
  let current = null;
  const observer = new IntersectionObserver(onVisible, { root: container, rootMargin: "300px 0px" });

  function onVisible(changes) {
    for (const change of changes) {
      if (!change.isIntersecting) continue;
      observer.unobserve(change.target);
      queue.push({ thumb: change.target, gen: generation });
    }
    pump();
  }

  // Decode few at a time: hundreds of full-size pictures at once would exhaust a phone.
  function pump() {
    while (decoding < MAX_DECODING && queue.length) {
      const { thumb, gen } = queue.shift();
      if (gen !== generation) continue;
      decoding++;
      preview(thumb.file).then((node) => {
        if (node && gen === generation) thumb.querySelector(".preview").append(node);
      }).finally(() => {
        decoding--;
        pump();
      });
    }
  }

  async function preview(file) {
    try {
      const bitmap = await createImageBitmap(file, { resizeWidth: PREVIEW_WIDTH, resizeQuality: "low" });
      const canvas = document.createElement("canvas");
      canvas.width = bitmap.width;
      canvas.height = bitmap.height;
      canvas.getContext("2d").drawImage(bitmap, 0, 0);
      bitmap.close();
      return canvas;
    } catch {
      return previewImage(file);
    }
  }

  // For formats createImageBitmap cannot decode here but an <img> may (HEIC on Safari).
  function previewImage(file) {
    const img = document.createElement("img");
    const url = URL.createObjectURL(file);
    urls.push(url);
    img.alt = "";
    img.decoding = "async";
    return new Promise((resolve) => {
      img.onload = () => resolve(img);
      img.onerror = () => resolve(null);
      img.src = url;
    });
  }

  function makeThumb(entry, n) {
    const thumb = document.createElement("button");
    thumb.type = "button";
    thumb.className = "thumb";
    thumb.dataset.n = String(n);
    thumb.title = entry.file.name;
    thumb.file = entry.file;
    const preview = document.createElement("span");
    preview.className = "preview";
    const caption = document.createElement("span");
    caption.className = "caption";
    caption.textContent = entry.file.name;
    const progress = document.createElement("span");
    progress.className = "progress";
    const bar = document.createElement("span");
    bar.className = "bar";
    progress.append(bar);
    thumb.append(preview, caption, progress);
    thumb.addEventListener("click", () => onTap(n));
    return thumb;
  }

  return {
    render(entries) {
      generation++;
      observer.disconnect();
      queue.length = 0;
      urls.forEach((url) => URL.revokeObjectURL(url));
      urls = [];
      thumbs.clear();
      current = null;
      const fragment = document.createDocumentFragment();
      entries.forEach((entry, n) => {
        const thumb = makeThumb(entry, n);
        thumbs.set(entry.name, thumb);
        fragment.append(thumb);
        observer.observe(thumb);
      });
      container.replaceChildren(fragment);
      container.scrollTop = 0;
    },

    // value: a percentage, "done", "failed", or null to clear.
    setUpload(name, value) {
      const thumb = thumbs.get(name);
      if (!thumb) return;
      if (value === null) {
        delete thumb.dataset.upload;
        return;
      }
      thumb.dataset.upload = String(value);
      if (typeof value === "number") thumb.style.setProperty("--p", value + "%");
    },

    // n: the 0-based position to highlight, or -1 for none.
    highlight(n) {
      current?.classList.remove("current");
      current?.removeAttribute("aria-current");
      current = container.children[n] || null;
      if (!current) return;
      current.classList.add("current");
      current.setAttribute("aria-current", "true");
      current.scrollIntoView({ block: "nearest", behavior: "smooth" });
    },
  };
}
