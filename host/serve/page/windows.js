// The panel's windows: a figure for each, its canvas at the picture size
// and its gauges' boxes over it, laid out as the state says, and the list
// of windows to open and close.
import {attach_pointer} from './pointer.js';
import {$, model, send_command} from './shared.js';
import {ask_pixels, reset_pixels, set_canvas_size, stop_pixels} from './tiles.js';

function make_window_view(index) {
  const figure = document.createElement('figure');
  figure.className = 'window';
  figure.dataset.window = String(index);
  const caption = document.createElement('figcaption');
  const surface = document.createElement('div');
  surface.className = 'surface';
  const canvas = document.createElement('canvas');
  canvas.className = 'picture';
  canvas.dataset.window = String(index);
  canvas.dataset.frame = '0';
  const boxes = document.createElement('div');
  boxes.className = 'gauge-boxes';
  // The drag's line, shown only during a drag: a layer over the picture
  // costs every frame's compositing.
  const gesture = document.createElement('canvas');
  gesture.className = 'gesture';
  gesture.hidden = true;
  surface.append(canvas, boxes, gesture);
  figure.append(caption, surface);
  const view = {
    index,
    figure,
    caption,
    surface,
    canvas,
    context: canvas.getContext('2d'),
    boxes,
    gesture,
    info: null,
    open: false,
    drawn_frame: 0,   // the frame the canvas shows; 0 = nothing yet
    epoch: 0,         // grows whenever what the canvas shows must start afresh
    stream: null,     // the window's open stream, to abort
    images: new Map(),
  };
  attach_pointer(view);
  return view;
}

function layout_window(view, info) {
  const previous = view.info;
  view.info = info;
  view.caption.textContent = `${info.title || info.section} ${info.section}` +
    (info.ident !== null && info.ident !== undefined ? ` (ident ${info.ident})` : '');
  const resized = view.canvas.width !== info.width || view.canvas.height !== info.height;
  if (resized) set_canvas_size(view, info.width, info.height);
  view.boxes.replaceChildren();
  for (const g of info.gauges) {
    const box = document.createElement('div');
    box.className = 'gauge-box';
    box.dataset.ref = g.ref;
    box.dataset.x = String(g.x);
    box.dataset.y = String(g.y);
    box.dataset.width = String(g.width);
    box.dataset.height = String(g.height);
    box.style.left = `${g.x}px`;
    box.style.top = `${g.y}px`;
    box.style.width = `${g.width}px`;
    box.style.height = `${g.height}px`;
    const name = document.createElement('span');
    name.textContent = g.ref;
    box.append(name);
    view.boxes.append(box);
  }
  const was_open = view.open;
  view.open = !!info.open;
  view.figure.hidden = !view.open;
  view.figure.dataset.open = view.open ? 'yes' : 'no';
  if (view.open && (!was_open || !previous || resized)) {
    reset_pixels(view);
    ask_pixels(view);
  } else if (!view.open) {
    stop_pixels(view);
  }
}

// Every window the state names, in the panel file's order; a new
// generation (the panel read again) draws every window afresh.
export function show_windows(state, reloaded) {
  const seen = new Set();
  const panel = $('panel');
  for (const info of state.windows) {
    seen.add(info.window);
    let view = model.windows.get(info.window);
    if (!view) {
      view = make_window_view(info.window);
      model.windows.set(info.window, view);
    }
    panel.append(view.figure);  // keeps the panel file's order
    if (reloaded) reset_pixels(view);
    layout_window(view, info);
    if (reloaded && view.open) ask_pixels(view);
  }
  for (const [index, view] of model.windows) {
    if (!seen.has(index)) {
      view.open = false;
      stop_pixels(view);
      view.figure.remove();
      model.windows.delete(index);
    }
  }
  render_window_list(state);
}

function render_window_list(state) {
  const list = $('window-list');
  list.replaceChildren();
  for (const info of state.windows) {
    const item = document.createElement('li');
    item.dataset.window = String(info.window);
    item.dataset.open = info.open ? 'yes' : 'no';
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.checked = !!info.open;
    box.dataset.windowToggle = String(info.window);
    box.id = `window-toggle-${info.window}`;
    const named = info.ident !== null && info.ident !== undefined;
    box.disabled = !named;
    box.addEventListener('change', () => {
      const line = `${box.checked ? 'open' : 'close'} ${info.ident}`;
      send_command(line);
    });
    const label = document.createElement('label');
    label.htmlFor = box.id;
    label.textContent = `${info.title || info.section}`;
    const detail = document.createElement('span');
    detail.className = 'detail';
    detail.textContent = `${info.section}${named ? `, ident ${info.ident}` : ', no ident'}, ` +
      `${info.width}x${info.height}`;
    item.append(box, label, detail);
    list.append(item);
  }
}
