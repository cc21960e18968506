// A window's pixels: pushed by the server on the window's stream, first the
// whole picture, then the tiles each drawing changed, and put on the canvas
// as each message arrives. One stream a window while it is open.
import {keep, window_stats} from './shared.js';

const kReopenDelayMs = 250;

export function reset_pixels(view) {
  view.epoch += 1;
  view.drawn_frame = 0;
  view.canvas.dataset.frame = '0';
  stop_pixels(view);
}

export function stop_pixels(view) {
  if (view.stream) view.stream.abort();
  view.stream = null;
}

// Counts a frame the server said changed the window, and makes sure the
// window's stream is open.
export function ask_pixels(view, frame) {
  if (!view.open) return;
  if (frame !== undefined) {
    const s = window_stats(view.index);
    s.named += 1;
    keep(s.named_frames, frame);
  }
  if (!view.stream) open_stream(view);
}

async function open_stream(view) {
  const controller = new AbortController();
  view.stream = controller;
  const s = window_stats(view.index);
  s.fetches += 1;
  let held = new Uint8Array(0);
  try {
    const response = await fetch(`window/${view.index}/stream`, {cache: 'no-store', signal: controller.signal});
    if (!response.ok || !response.body) throw new Error(`stream ${response.status}`);
    const reader = response.body.getReader();
    for (;;) {
      const {value, done} = await reader.read();
      if (done) break;
      held = joined(held, value);
      let at = 0;
      while (held.length - at >= 4) {
        const length = held[at] | (held[at + 1] << 8) | (held[at + 2] << 16) | (held[at + 3] << 24);
        if (held.length - at - 4 < length) break;
        const message = held.slice(at + 4, at + 4 + length);
        at += 4 + length;
        const started = performance.now();
        draw_tiles(view, message.buffer);
        s.draw_ms += performance.now() - started;
      }
      if (at > 0) held = held.slice(at);
    }
  } catch {
    // Aborted, or the server went away: opened again below while it shows.
  }
  if (view.stream !== controller) return;
  view.stream = null;
  if (view.open) setTimeout(() => ask_pixels(view), kReopenDelayMs);
}

function joined(a, b) {
  if (a.length === 0) return b;
  const both = new Uint8Array(a.length + b.length);
  both.set(a);
  both.set(b, a.length);
  return both;
}

function image_for(view, w, h) {
  const key = w * 65536 + h;
  let image = view.images.get(key);
  if (!image) {
    image = view.context.createImageData(w, h);
    image.data.fill(255);
    view.images.set(key, image);
  }
  return image;
}

// Puts the tiles of one message on the canvas. A message of another size
// holds every tile.
function draw_tiles(view, buffer) {
  if (buffer.byteLength < 16) return;
  const data = new DataView(buffer);
  const bytes = new Uint8Array(buffer);
  const frame = data.getUint32(0, true);
  const width = data.getUint32(4, true);
  const height = data.getUint32(8, true);
  const count = data.getUint32(12, true);
  if (view.canvas.width !== width || view.canvas.height !== height) set_canvas_size(view, width, height);
  let at = 16;
  for (let t = 0; t < count; ++t) {
    if (at + 8 > bytes.length) break;
    const x = data.getUint16(at, true);
    const y = data.getUint16(at + 2, true);
    const w = data.getUint16(at + 4, true);
    const h = data.getUint16(at + 6, true);
    at += 8;
    const size = w * h * 3;
    if (w === 0 || h === 0) continue;
    if (at + size > bytes.length) break;
    const image = image_for(view, w, h);
    const rgba = image.data;
    for (let i = 0, j = at, end = at + size; j < end; i += 4, j += 3) {
      rgba[i] = bytes[j];
      rgba[i + 1] = bytes[j + 1];
      rgba[i + 2] = bytes[j + 2];
    }
    view.context.putImageData(image, x, y);
    at += size;
  }
  if (frame >= view.drawn_frame) {
    view.drawn_frame = frame;
    view.canvas.dataset.frame = String(frame);
  }
  const s = window_stats(view.index);
  s.draws += 1;
  s.frame = view.drawn_frame;
  keep(s.drawn_frames, frame);
  s.tiles += count;
  if (window.panelHooks.afterDraw) window.panelHooks.afterDraw(view.index, frame);
}

export function set_canvas_size(view, width, height) {
  for (const c of [view.canvas, view.gesture]) {
    c.width = width;
    c.height = height;
  }
  view.surface.style.width = `${width}px`;
  view.surface.style.height = `${height}px`;
  view.images.clear();
}
