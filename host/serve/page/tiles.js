// A window's pixels: the tiles changed since the frame its canvas shows,
// asked for one request at a time, and put on the canvas.
import {keep, window_stats} from './shared.js';

export function reset_pixels(view) {
  view.epoch += 1;
  view.drawn_frame = 0;
  view.canvas.dataset.frame = '0';
}

export function ask_pixels(view, frame) {
  if (!view.open) return;
  if (frame !== undefined) {
    const s = window_stats(view.index);
    s.named += 1;
    keep(s.named_frames, frame);
    if (frame <= view.drawn_frame) return;  // a later answer showed it already
  }
  if (view.in_flight) {
    view.pending = true;
    return;
  }
  fetch_pixels(view);
}

async function fetch_pixels(view) {
  view.in_flight = true;
  view.pending = false;
  const epoch = view.epoch;
  const since = view.drawn_frame;
  let buffer = null;
  const s = window_stats(view.index);
  const asked = performance.now();
  try {
    s.fetches += 1;
    const response = await fetch(`window/${view.index}/pixels?since=${since}`, {cache: 'no-store'});
    if (response.ok) buffer = await response.arrayBuffer();
  } catch {
    buffer = null;
  }
  const answered = performance.now();
  s.fetch_ms += answered - asked;
  view.in_flight = false;
  if (buffer && epoch === view.epoch && view.open) {
    if (!draw_tiles(view, buffer, since)) view.pending = true;
    s.draw_ms += performance.now() - answered;
  } else if (epoch !== view.epoch) {
    view.pending = true;
  }
  if (view.pending && view.open) fetch_pixels(view);
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

// Puts the tiles of one answer on the canvas; false when the answer does
// not fit what the canvas shows and every tile must be asked for again.
function draw_tiles(view, buffer, since) {
  if (buffer.byteLength < 16) return true;
  const data = new DataView(buffer);
  const bytes = new Uint8Array(buffer);
  const frame = data.getUint32(0, true);
  const width = data.getUint32(4, true);
  const height = data.getUint32(8, true);
  const count = data.getUint32(12, true);
  if (view.canvas.width !== width || view.canvas.height !== height) {
    set_canvas_size(view, width, height);
    if (since !== 0) {
      reset_pixels(view);
      return false;
    }
  }
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
  return true;
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
