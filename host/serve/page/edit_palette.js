// The palette of edit mode: the module's gauges with their pictures (the
// server's /gauges and /gauge/NAME.png). One dragged onto a window is
// placed there at the size a placement without one takes, by one `add`
// line at release.
import {$, get_json, model, send_command, word} from './shared.js';

let palette = null;  // {module, gauges: [{name, width, height, picture}]}
let drag = null;
let handlers = {placed: (view, ref) => {}, error: (text) => {}};

async function load_palette() {
  if (palette) return;
  try {
    palette = await get_json('gauges');
  } catch (e) {
    handlers.error(`the module's gauges: ${e.message}`);
    return;
  }
  const list = $('palette');
  list.replaceChildren();
  for (const g of palette.gauges) {
    const item = document.createElement('li');
    item.dataset.gauge = g.name;
    item.title = `${g.name}, ${g.width} x ${g.height}: drag it onto a window`;
    const picture = document.createElement('img');
    picture.alt = '';
    picture.draggable = false;
    if (g.picture) picture.src = g.picture;
    const name = document.createElement('span');
    name.textContent = g.name;
    item.append(picture, name);
    item.addEventListener('pointerdown', (event) => begin(event, item, g));
    list.append(item);
  }
}

// The window under a viewport point, and the point in its units.
function window_under(client_x, client_y) {
  const figure = document.elementFromPoint(client_x, client_y)?.closest('figure.window');
  const view = figure && model.windows.get(Number(figure.dataset.window));
  if (!view || !view.open) return null;
  const rect = view.canvas.getBoundingClientRect();
  const sx = rect.width ? view.canvas.width / rect.width : 1;
  const sy = rect.height ? view.canvas.height / rect.height : 1;
  const x = (client_x - rect.left) * sx;
  const y = (client_y - rect.top) * sy;
  if (x < 0 || y < 0 || x >= view.canvas.width || y >= view.canvas.height) return null;
  return {view, x, y, scale: 1 / sx};
}

function begin(event, item, g) {
  if (event.button !== 0 || drag) return;
  event.preventDefault();
  item.setPointerCapture(event.pointerId);
  const ghost = document.createElement('img');
  ghost.id = 'palette-ghost';
  ghost.alt = '';
  if (g.picture) ghost.src = g.picture;
  ghost.hidden = true;
  document.body.append(ghost);
  drag = {item, gauge: g, pointer: event.pointerId, ghost};
  const move = (e) => {
    if (e.pointerId !== drag.pointer) return;
    follow(e.clientX, e.clientY);
  };
  const end = (e) => {
    if (e.pointerId !== drag.pointer) return;
    item.removeEventListener('pointermove', move);
    item.removeEventListener('pointerup', end);
    item.removeEventListener('pointercancel', end);
    const at = e.type === 'pointerup' ? window_under(e.clientX, e.clientY) : null;
    ghost.remove();
    const gauge = drag.gauge;
    drag = null;
    if (at) drop(gauge, at);
  };
  item.addEventListener('pointermove', move);
  item.addEventListener('pointerup', end);
  item.addEventListener('pointercancel', end);
}

// The picture follows the pointer at the size it will take on the window
// under it, centred on the pointer.
function follow(client_x, client_y) {
  const at = window_under(client_x, client_y);
  const g = drag.gauge;
  const scale = at ? at.scale : 1;
  const ghost = drag.ghost;
  ghost.style.width = `${g.width * scale}px`;
  ghost.style.height = `${g.height * scale}px`;
  ghost.style.left = `${client_x - (g.width * scale) / 2}px`;
  ghost.style.top = `${client_y - (g.height * scale) / 2}px`;
  ghost.dataset.over = at ? String(at.view.index) : '';
  ghost.hidden = false;
}

function section_word(info) {
  return word(String(info.section).replace(/^\[|\]$/g, ''));
}

async function drop(g, at) {
  const info = at.view.info;
  const x = Math.min(Math.max(0, Math.round(at.x - g.width / 2)), info.width - 1);
  const y = Math.min(Math.max(0, Math.round(at.y - g.height / 2)), info.height - 1);
  const line = `add ${word(`${palette.module}!${g.name}`)} ${section_word(info)} ${x} ${y}`;
  const answer = await send_command(line);
  if (!answer.ok) {
    handlers.error(`${line}: ${answer.error}`);
    return;
  }
  handlers.error('');
  // "  REF placed on [WindowNN]": the new gauge is the selection.
  for (const text of answer.body.lines || []) {
    const placed = /^ {2}(\S+) placed on /.exec(text);
    if (placed) handlers.placed(at.view, placed[1]);
  }
}

export function start_palette(callbacks) {
  handlers = callbacks;
  $('edit-toggle').addEventListener('click', load_palette);
}
