// Edit mode: the pointer and the keys edit the panel's layout instead of
// clicking gauges. Every gesture ends in edit lines of the script language
// (`move`, `resize`, `remove`, `undo`, `redo`, `save`), sent at release;
// the server rebuilds the panel and its state shows the result. While a
// gesture lasts, a copy of the gauges' pixels follows the pointer.
import {start_palette} from './edit_palette.js';
import {reread_state} from './panel_state.js';
import {$, get_json, model, send_command, state_listeners, word} from './shared.js';

const kSnapUnits = 6;      // an edge this close to another snaps to it
const kMovePixels = 2;     // moving further than this while pressed moves
const kHandles = ['nw', 'n', 'ne', 'e', 'se', 's', 'sw', 'w'];

// What edit mode knows besides the server's state: the selection (refs on
// one window) and the gesture under way.
export const edit = {
  on: false,
  window: null,
  selected: [],
  gesture: null,
  busy: 0,  // edit lines on their way, with the state read after them
  reload_dismissed: false,
};
window.panelEdit = edit;

// ---- Geometry ------------------------------------------------------------

function window_point(view, event) {
  const rect = view.canvas.getBoundingClientRect();
  const sx = rect.width ? view.canvas.width / rect.width : 1;
  const sy = rect.height ? view.canvas.height / rect.height : 1;
  return {x: (event.clientX - rect.left) * sx, y: (event.clientY - rect.top) * sy};
}

function gauges_of(view) {
  return (view && view.info && view.info.gauges) || [];
}

function gauge_at(view, p) {
  const gauges = gauges_of(view);
  for (let i = gauges.length - 1; i >= 0; --i) {
    const g = gauges[i];
    if (p.x >= g.x && p.y >= g.y && p.x < g.x + g.width && p.y < g.y + g.height) return g;
  }
  return null;
}

function selected_gauges() {
  const view = model.windows.get(edit.window);
  return gauges_of(view).filter((g) => edit.selected.includes(g.ref));
}

function bounds(boxes) {
  const left = Math.min(...boxes.map((b) => b.x));
  const top = Math.min(...boxes.map((b) => b.y));
  const right = Math.max(...boxes.map((b) => b.x + b.width));
  const bottom = Math.max(...boxes.map((b) => b.y + b.height));
  return {x: left, y: top, width: right - left, height: bottom - top};
}

// The shift that brings one of the box's edges or its centre onto the
// nearest target within kSnapUnits, per axis; null on an axis with none.
export function snap(box, targets_x, targets_y) {
  const best = (own, targets) => {
    let found = null;
    for (const at of own) {
      for (const target of targets) {
        const d = target - at;
        if (Math.abs(d) <= kSnapUnits && (!found || Math.abs(d) < Math.abs(found.shift))) {
          found = {shift: d, at: target};
        }
      }
    }
    return found;
  };
  return {
    x: best([box.x, box.x + box.width / 2, box.x + box.width], targets_x),
    y: best([box.y, box.y + box.height / 2, box.y + box.height], targets_y),
  };
}

function snap_targets(view, moving) {
  const xs = [0, view.info.width];
  const ys = [0, view.info.height];
  for (const g of gauges_of(view)) {
    if (moving.includes(g.ref)) continue;
    xs.push(g.x, g.x + g.width / 2, g.x + g.width);
    ys.push(g.y, g.y + g.height / 2, g.y + g.height);
  }
  return {xs, ys};
}

// ---- Lines -----------------------------------------------------------------

function show_error(text) {
  const error = $('edit-error');
  error.textContent = text || '';
  error.hidden = !text;
}

// Where the page has put gauges whose edit lines are still on their way:
// the states that arrive meanwhile (each line rebuilds the panel) place
// them so too, lest they jump back and forth.
const pending = new Map();  // ref -> {window, x, y, width, height}

// Sends edit lines in order; the first refusal is shown and ends the rest.
// Then the state is read afresh, which places every gauge as the server has
// it.
async function send_edits(lines) {
  edit.busy += 1;
  let ok = true;
  for (const line of lines) {
    const answer = await send_command(line);
    if (!answer.ok) {
      show_error(`${line}: ${answer.error}`);
      if (/changed on disk/.test(answer.error)) offer_discard();
      ok = false;
      break;
    }
  }
  if (ok && lines.length) show_error('');
  edit.busy -= 1;
  if (edit.busy === 0) {
    pending.clear();
    await reread_state();
  }
  return ok;
}

function move_line(g, x, y) {
  return `move ${word(g.ref)} ${Math.round(x)} ${Math.round(y)}`;
}

// Moves the gauges on the page at once, before the server's state says so,
// so that keys pressed in a row add up.
function place_locally(g, x, y, width = g.width, height = g.height) {
  g.x = Math.round(x);
  g.y = Math.round(y);
  g.width = width;
  g.height = height;
  pending.set(g.ref, {window: edit.window, x: g.x, y: g.y, width, height});
  render_all();
}

function move_selection_by(dx, dy) {
  const lines = [];
  for (const g of selected_gauges()) {
    lines.push(move_line(g, g.x + dx, g.y + dy));
    place_locally(g, g.x + dx, g.y + dy);
  }
  return send_edits(lines);
}

export function remove_selection() {
  // The highest ordinal of a name goes first: removing Attitude#1 would
  // make Attitude#2 the first.
  const ordinal = (ref) => Number((/#(\d+)$/.exec(ref) || [0, 1])[1]);
  const refs = [...edit.selected].sort((a, b) => ordinal(b) - ordinal(a));
  edit.selected = [];
  render_all();
  return send_edits(refs.map((ref) => `remove ${word(ref)}`));
}

export function align(how) {
  const gauges = selected_gauges();
  if (gauges.length < 2) return;
  const b = bounds(gauges);
  const lines = [];
  for (const g of gauges) {
    let {x, y} = g;
    if (how === 'left') x = b.x;
    if (how === 'right') x = b.x + b.width - g.width;
    if (how === 'centre-x') x = b.x + (b.width - g.width) / 2;
    if (how === 'top') y = b.y;
    if (how === 'bottom') y = b.y + b.height - g.height;
    if (how === 'centre-y') y = b.y + (b.height - g.height) / 2;
    if (Math.round(x) === g.x && Math.round(y) === g.y) continue;
    lines.push(move_line(g, x, y));
    place_locally(g, x, y);
  }
  return send_edits(lines);
}

// Equal gaps between the gauges along an axis, the outermost staying.
export function distribute(axis) {
  const gauges = selected_gauges();
  if (gauges.length < 3) return;
  const at = axis === 'x' ? 'x' : 'y';
  const size = axis === 'x' ? 'width' : 'height';
  const order = [...gauges].sort((a, b) => a[at] - b[at]);
  const first = order[0];
  const last = order[order.length - 1];
  const taken = order.reduce((sum, g) => sum + g[size], 0);
  const gap = (last[at] + last[size] - first[at] - taken) / (order.length - 1);
  const lines = [];
  let next = first[at] + first[size] + gap;
  for (const g of order.slice(1, -1)) {
    const place = Math.round(next);
    next += g[size] + gap;
    if (place === g[at]) continue;
    const x = axis === 'x' ? place : g.x;
    const y = axis === 'x' ? g.y : place;
    lines.push(move_line(g, x, y));
    place_locally(g, x, y);
  }
  return send_edits(lines);
}

export function undo() {
  return send_edits(['undo']);
}

export function redo() {
  return send_edits(['redo']);
}

export function save() {
  return send_edits(['save']);
}

// Throws the unsaved edits away: each undone, after which the server reads
// the file as it is on disk.
async function discard_edits() {
  $('reload-waiting').hidden = true;
  $('edit-discard').hidden = true;
  // The state is asked afresh each time: an undo past the unsaved edits
  // would take back what was saved.
  try {
    for (let i = 0; i < 10000 && (await get_json('state')).unsaved; ++i) {
      const answer = await send_command('undo', {quiet: true});
      if (!answer.ok) break;
    }
    show_error('');
  } catch (e) {
    show_error(e.message);
  }
}

function offer_discard() {
  $('edit-discard').hidden = false;
}

// ---- Drawing ---------------------------------------------------------------

function layer_of(view) {
  if (!view.edit_layer) {
    const layer = document.createElement('div');
    layer.className = 'edit-layer';
    layer.dataset.window = String(view.index);
    view.surface.append(layer);
    view.edit_layer = layer;
    attach_layer(view, layer);
  }
  return view.edit_layer;
}

function place(element, box) {
  element.style.left = `${box.x}px`;
  element.style.top = `${box.y}px`;
  element.style.width = `${box.width}px`;
  element.style.height = `${box.height}px`;
}

function render_view(view) {
  const layer = layer_of(view);
  for (const old of layer.querySelectorAll('.edit-box')) old.remove();
  if (view.index !== edit.window) return;
  const chosen = selected_gauges();
  for (const g of chosen) {
    const box = document.createElement('div');
    box.className = 'edit-box';
    box.dataset.ref = g.ref;
    place(box, g);
    if (chosen.length === 1) {
      for (const h of kHandles) {
        const handle = document.createElement('div');
        handle.className = `handle ${h}`;
        handle.dataset.handle = h;
        box.append(handle);
      }
    }
    layer.append(box);
  }
}

function render_fields() {
  const chosen = selected_gauges();
  const one = chosen.length === 1 ? chosen[0] : null;
  $('edit-selected').textContent = one ? one.ref : chosen.length ? `${chosen.length} gauges` : 'nothing selected';
  for (const [id, key] of [['edit-x', 'x'], ['edit-y', 'y'], ['edit-w', 'width'], ['edit-h', 'height']]) {
    const input = $(id);
    input.disabled = !one;
    if (document.activeElement !== input) input.value = one ? String(Math.round(one[key])) : '';
  }
  for (const button of document.querySelectorAll('#edit-align button[data-align]')) {
    button.disabled = chosen.length < 2;
  }
  for (const button of document.querySelectorAll('#edit-align button[data-distribute]')) {
    button.disabled = chosen.length < 3;
  }
  $('edit-delete').disabled = chosen.length === 0;
  // The window last pointed at in edit mode, its size in its own units.
  const view = model.windows.get(edit.window);
  const info = view && view.info;
  $('edit-window').textContent = info ? `${info.title || info.section} ${info.section}` : 'no window chosen';
  for (const [id, key] of [['edit-window-w', 'width'], ['edit-window-h', 'height']]) {
    const input = $(id);
    input.disabled = !info;
    if (document.activeElement !== input) input.value = info ? String(info[key]) : '';
  }
}

export function render_all() {
  for (const view of model.windows.values()) render_view(view);
  render_fields();
}

function select(view, refs) {
  edit.window = view ? view.index : null;
  edit.selected = refs;
  render_all();
}

function clear_guides(layer) {
  for (const old of layer.querySelectorAll('.guide, .band, .ghost, .vacated')) old.remove();
}

function show_guides(layer, view, found) {
  for (const old of layer.querySelectorAll('.guide')) old.remove();
  for (const [axis, hit] of [['x', found.x], ['y', found.y]]) {
    if (!hit) continue;
    const guide = document.createElement('div');
    guide.className = `guide ${axis === 'x' ? 'vertical' : 'horizontal'}`;
    guide.dataset.at = String(hit.at);
    if (axis === 'x') place(guide, {x: hit.at, y: 0, width: 0, height: view.info.height});
    else place(guide, {x: 0, y: hit.at, width: view.info.width, height: 0});
    layer.append(guide);
  }
}

// A copy of the gauge's pixels as the canvas shows them now.
function ghost_of(view, g) {
  const ghost = document.createElement('canvas');
  ghost.className = 'ghost';
  const w = Math.max(1, Math.round(g.width));
  const h = Math.max(1, Math.round(g.height));
  ghost.width = w;
  ghost.height = h;
  ghost.getContext('2d').drawImage(view.canvas, g.x, g.y, w, h, 0, 0, w, h);
  place(ghost, g);
  return ghost;
}

// ---- Gestures --------------------------------------------------------------

function attach_layer(view, layer) {
  // Nothing the layer gets reaches the window's own pointer handlers.
  for (const kind of ['pointermove', 'pointerup', 'pointercancel', 'click', 'dblclick']) {
    layer.addEventListener(kind, (event) => event.stopPropagation());
  }
  layer.addEventListener('pointerdown', (event) => {
    event.stopPropagation();
    if (event.button !== 0 || edit.gesture) return;
    event.preventDefault();
    // Keys go to the layout again, not to a field last typed in.
    if (typing(document.activeElement)) document.activeElement.blur();
    const p = window_point(view, event);
    layer.setPointerCapture(event.pointerId);
    const handle = event.target.closest('.handle');
    if (handle) {
      const g = selected_gauges()[0];
      edit.gesture = {kind: 'resize', view, pointer: event.pointerId, start: p, handle: handle.dataset.handle,
                      gauge: g, from: {x: g.x, y: g.y, width: g.width, height: g.height}, to: null};
      return;
    }
    const hit = gauge_at(view, p);
    const same_window = edit.window === view.index;
    if (!hit) {
      if (!event.shiftKey || !same_window) select(view, []);
      edit.gesture = {kind: 'band', view, pointer: event.pointerId, start: p, to: p, keep: [...edit.selected]};
      return;
    }
    if (event.shiftKey) {
      const refs = same_window ? [...edit.selected] : [];
      const at = refs.indexOf(hit.ref);
      if (at >= 0) refs.splice(at, 1);
      else refs.push(hit.ref);
      select(view, refs);
      if (at >= 0) return;
    } else if (!same_window || !edit.selected.includes(hit.ref)) {
      select(view, [hit.ref]);
    }
    edit.gesture = {kind: 'move', view, pointer: event.pointerId, start: p, moving: false, dx: 0, dy: 0,
                    gauges: selected_gauges().map((g) => ({...g}))};
  });
  layer.addEventListener('pointermove', (event) => {
    const gesture = edit.gesture;
    if (!gesture || gesture.view !== view || gesture.pointer !== event.pointerId) return;
    const p = window_point(view, event);
    if (gesture.kind === 'move') follow_move(gesture, layer, p, event.altKey);
    else if (gesture.kind === 'resize') follow_resize(gesture, layer, p, event.shiftKey);
    else follow_band(gesture, layer, p);
  });
  const finish = (event, cancelled) => {
    const gesture = edit.gesture;
    if (!gesture || gesture.view !== view || gesture.pointer !== event.pointerId) return;
    edit.gesture = null;
    if (cancelled) {
      clear_guides(layer);
      render_all();
      return;
    }
    if (gesture.kind === 'move') end_move(gesture, layer);
    else if (gesture.kind === 'resize') end_resize(gesture, layer);
    else end_band(gesture, layer);
  };
  layer.addEventListener('pointerup', (event) => finish(event, false));
  layer.addEventListener('pointercancel', (event) => finish(event, true));
}

function follow_move(gesture, layer, p, free) {
  let dx = Math.round(p.x - gesture.start.x);
  let dy = Math.round(p.y - gesture.start.y);
  if (!gesture.moving) {
    if (Math.hypot(dx, dy) <= kMovePixels) return;
    gesture.moving = true;
    for (const g of gesture.gauges) {
      const vacated = document.createElement('div');
      vacated.className = 'vacated';
      place(vacated, g);
      layer.append(vacated);
      const ghost = ghost_of(gesture.view, g);
      ghost.dataset.ref = g.ref;
      layer.append(ghost);
    }
    for (const box of layer.querySelectorAll('.edit-box')) box.hidden = true;
  }
  let found = {x: null, y: null};
  if (!free) {
    const b = bounds(gesture.gauges);
    const {xs, ys} = snap_targets(gesture.view, gesture.gauges.map((g) => g.ref));
    found = snap({...b, x: b.x + dx, y: b.y + dy}, xs, ys);
    if (found.x) dx = Math.round(dx + found.x.shift);
    if (found.y) dy = Math.round(dy + found.y.shift);
  }
  show_guides(layer, gesture.view, found);
  gesture.dx = dx;
  gesture.dy = dy;
  for (const ghost of layer.querySelectorAll('.ghost')) ghost.style.transform = `translate(${dx}px, ${dy}px)`;
  show_readout(gesture.gauges.length === 1 ?
    `${gesture.gauges[0].ref} at ${gesture.gauges[0].x + dx}, ${gesture.gauges[0].y + dy}` :
    `${gesture.gauges.length} gauges by ${dx}, ${dy}`);
}

async function end_move(gesture, layer) {
  show_readout('');
  for (const old of layer.querySelectorAll('.guide, .vacated')) old.remove();
  if (!gesture.moving || (gesture.dx === 0 && gesture.dy === 0)) {
    clear_guides(layer);
    render_all();
    return;
  }
  const view = gesture.view;
  const lines = [];
  for (const was of gesture.gauges) {
    const g = gauges_of(view).find((x) => x.ref === was.ref);
    if (!g) continue;
    lines.push(move_line(g, was.x + gesture.dx, was.y + gesture.dy));
    place_locally(g, was.x + gesture.dx, was.y + gesture.dy);
  }
  // The copies stay until the server has answered, then the window's own
  // pixels show the gauges where they went.
  await send_edits(lines);
  clear_guides(layer);
  render_all();
}

function follow_resize(gesture, layer, p, keep_shape) {
  const {from, handle} = gesture;
  const dx = p.x - gesture.start.x;
  const dy = p.y - gesture.start.y;
  let width = from.width + (handle.includes('e') ? dx : handle.includes('w') ? -dx : 0);
  let height = from.height + (handle.includes('s') ? dy : handle.includes('n') ? -dy : 0);
  if (keep_shape) {
    const ratio = from.width / from.height;
    const sideways = handle === 'e' || handle === 'w';
    const upright = handle === 'n' || handle === 's';
    if (sideways || (!upright && Math.abs(dx) >= Math.abs(dy))) height = width / ratio;
    else width = height * ratio;
  }
  width = Math.max(1, Math.round(width));
  height = Math.max(1, Math.round(height));
  const x = handle.includes('w') ? from.x + from.width - width : from.x;
  const y = handle.includes('n') ? from.y + from.height - height : from.y;
  gesture.to = {x: Math.round(x), y: Math.round(y), width, height};
  let ghost = layer.querySelector('.ghost');
  if (!ghost) {
    ghost = ghost_of(gesture.view, from);
    layer.append(ghost);
    for (const box of layer.querySelectorAll('.edit-box')) box.hidden = true;
  }
  place(ghost, gesture.to);
  show_readout(`${gesture.gauge.ref} ${width} x ${height}`);
}

async function end_resize(gesture, layer) {
  show_readout('');
  const to = gesture.to;
  const g = gesture.gauge;
  if (!to) {
    clear_guides(layer);
    render_all();
    return;
  }
  const lines = [];
  if (to.x !== Math.round(g.x) || to.y !== Math.round(g.y)) lines.push(move_line(g, to.x, to.y));
  if (to.width !== Math.round(g.width) || to.height !== Math.round(g.height)) {
    lines.push(`resize ${word(g.ref)} ${to.width} ${to.height}`);
  }
  place_locally(g, to.x, to.y, to.width, to.height);
  await send_edits(lines);
  clear_guides(layer);
  render_all();
}

function band_box(gesture) {
  const x = Math.min(gesture.start.x, gesture.to.x);
  const y = Math.min(gesture.start.y, gesture.to.y);
  return {x, y, width: Math.abs(gesture.to.x - gesture.start.x), height: Math.abs(gesture.to.y - gesture.start.y)};
}

function follow_band(gesture, layer, p) {
  gesture.to = p;
  let band = layer.querySelector('.band');
  if (!band) {
    band = document.createElement('div');
    band.className = 'band';
    layer.append(band);
  }
  place(band, band_box(gesture));
}

// The gauges wholly inside the band join the selection.
function end_band(gesture, layer) {
  clear_guides(layer);
  const b = band_box(gesture);
  const inside = gauges_of(gesture.view).filter((g) => g.x >= b.x && g.y >= b.y &&
    g.x + g.width <= b.x + b.width && g.y + g.height <= b.y + b.height).map((g) => g.ref);
  const refs = [...gesture.keep];
  for (const ref of inside) if (!refs.includes(ref)) refs.push(ref);
  select(gesture.view, refs);
}

function show_readout(text) {
  const mark = $('press-mark');
  if (!text) {
    mark.hidden = true;
    return;
  }
  mark.textContent = text;
  const r = $('edit-box').getBoundingClientRect();
  mark.style.left = `${r.left}px`;
  mark.style.top = `${Math.max(0, r.top - 30)}px`;
  mark.hidden = false;
}

// ---- Keys and the side box -------------------------------------------------

function typing(target) {
  return target && (target.tagName === 'INPUT' || target.tagName === 'TEXTAREA' || target.isContentEditable);
}

function on_key(event) {
  const ctrl = event.ctrlKey || event.metaKey;
  const key = event.key.toLowerCase();
  if (ctrl && key === 's' && (edit.on || (model.state && model.state.unsaved))) {
    event.preventDefault();
    save();
    return;
  }
  if (!edit.on || typing(event.target)) return;
  if (ctrl && (key === 'y' || (key === 'z' && event.shiftKey))) {
    event.preventDefault();
    redo();
  } else if (ctrl && key === 'z') {
    event.preventDefault();
    undo();
  } else if (!ctrl && event.key.startsWith('Arrow') && edit.selected.length) {
    event.preventDefault();
    const step = event.shiftKey ? 10 : 1;
    const dx = event.key === 'ArrowLeft' ? -step : event.key === 'ArrowRight' ? step : 0;
    const dy = event.key === 'ArrowUp' ? -step : event.key === 'ArrowDown' ? step : 0;
    move_selection_by(dx, dy);
  } else if ((event.key === 'Delete' || event.key === 'Backspace') && edit.selected.length) {
    event.preventDefault();
    remove_selection();
  } else if (event.key === 'Escape') {
    select(null, []);
  }
}

function set_editing(on) {
  edit.on = on;
  document.body.classList.toggle('editing', on);
  $('edit-toggle').setAttribute('aria-pressed', on ? 'true' : 'false');
  $('edit-body').hidden = !on;
  if (!on) select(null, []);
  for (const view of model.windows.values()) layer_of(view);
}

function field_changed(key) {
  const chosen = selected_gauges();
  if (chosen.length !== 1) return;
  const g = chosen[0];
  const value = Math.round(Number($(`edit-${key}`).value));
  if (!Number.isFinite(value)) return;
  if (key === 'x' || key === 'y') {
    const x = key === 'x' ? value : g.x;
    const y = key === 'y' ? value : g.y;
    send_edits([move_line(g, x, y)]);
    place_locally(g, x, y);
  } else {
    const w = key === 'w' ? value : Math.round(g.width);
    const h = key === 'h' ? value : Math.round(g.height);
    send_edits([`resize ${word(g.ref)} ${w} ${h}`]);
    place_locally(g, g.x, g.y, w, h);
  }
}

function window_size_changed() {
  const view = model.windows.get(edit.window);
  if (!view || !view.info) return;
  const w = Math.round(Number($('edit-window-w').value));
  const h = Math.round(Number($('edit-window-h').value));
  if (!Number.isFinite(w) || !Number.isFinite(h)) return;
  send_edits([`window ${word(String(view.info.section).replace(/^\[|\]$/g, ''))} size ${w} ${h}`]);
}

// The state as the server has it now: the selection keeps the gauges that
// are still placed, and unsaved edits and a held-back reload are shown.
function follow_state(state) {
  for (const view of model.windows.values()) layer_of(view);
  for (const [ref, box] of pending) {
    const g = gauges_of(model.windows.get(box.window)).find((x) => x.ref === ref);
    if (g) Object.assign(g, {x: box.x, y: box.y, width: box.width, height: box.height});
  }
  const view = model.windows.get(edit.window);
  const placed = new Set(gauges_of(view).map((g) => g.ref));
  edit.selected = edit.selected.filter((ref) => placed.has(ref));
  if (!edit.gesture) render_all();
  const unsaved = !!state.unsaved;
  $('unsaved-mark').hidden = !unsaved;
  document.body.dataset.unsaved = unsaved ? 'yes' : 'no';
  document.title = `${unsaved ? '* ' : ''}Corvelain live panel`;
  const waiting = !!state.reload_waiting && unsaved;
  if (waiting && !edit.reload_dismissed) $('reload-waiting').hidden = false;
  if (!waiting) $('reload-waiting').hidden = true;
  edit.reload_dismissed = waiting && edit.reload_dismissed;
  if (!unsaved) $('edit-discard').hidden = true;
}

export function start_edit() {
  $('edit-toggle').addEventListener('click', () => set_editing(!edit.on));
  $('edit-undo').addEventListener('click', undo);
  $('edit-redo').addEventListener('click', redo);
  $('edit-save').addEventListener('click', save);
  $('edit-delete').addEventListener('click', remove_selection);
  $('edit-discard').addEventListener('click', discard_edits);
  $('discard-edits').addEventListener('click', discard_edits);
  $('keep-edits').addEventListener('click', () => {
    edit.reload_dismissed = true;
    $('reload-waiting').hidden = true;
  });
  for (const button of document.querySelectorAll('#edit-align button')) {
    button.addEventListener('click', () => {
      if (button.dataset.align) align(button.dataset.align);
      else distribute(button.dataset.distribute);
    });
  }
  for (const key of ['x', 'y', 'w', 'h']) $(`edit-${key}`).addEventListener('change', () => field_changed(key));
  $('edit-window-w').addEventListener('change', window_size_changed);
  $('edit-window-h').addEventListener('change', window_size_changed);
  document.addEventListener('keydown', on_key);
  state_listeners.push(follow_state);
  start_palette({
    placed: (view, ref) => select(view, [ref]),
    error: show_error,
  });
}
