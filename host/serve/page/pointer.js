// The pointer on a window, turned into script lines in the gauge's own
// pixels on the topmost gauge under it; the tooltip a resting pointer asks
// for.
//
// A held press and a drag are each sent once, at release, as one `hold` or
// `drag` line: every such line is a fresh press in the script language, so
// sending one in pieces while the button is down would press a switch again
// and again. The line lasts as many frames as the clock ran during the
// gesture.
import {$, current_rate, kSimulatedRate, model, send_command, word} from './shared.js';

const kHoldMs = 300;         // a press longer than this without moving is a hold
const kHoverMs = 400;        // a pointer resting this long asks for the tooltip
const kDragPixels = 3;       // moving further than this while pressed is a drag

// The picture pixel under a pointer event and the topmost gauge there.
function locate(view, event) {
  const rect = view.canvas.getBoundingClientRect();
  const sx = rect.width ? view.canvas.width / rect.width : 1;
  const sy = rect.height ? view.canvas.height / rect.height : 1;
  const px = (event.clientX - rect.left) * sx;
  const py = (event.clientY - rect.top) * sy;
  let gauge = null;
  const gauges = (view.info && view.info.gauges) || [];
  for (let i = gauges.length - 1; i >= 0; --i) {
    const g = gauges[i];
    if (px >= g.x && py >= g.y && px < g.x + g.width && py < g.y + g.height) {
      gauge = g;
      break;
    }
  }
  return {px, py, gauge};
}

function gauge_point(gauge, px, py) {
  return {
    x: Math.floor((px - gauge.x) / (gauge.scale_x || 1)),
    y: Math.floor((py - gauge.y) / (gauge.scale_y || 1)),
  };
}

// The same, held inside the gauge: where a drag ends past its edge (the
// server takes no point outside the gauge).
function gauge_point_inside(gauge, px, py) {
  const p = gauge_point(gauge, px, py);
  const last_x = Math.max(0, Math.round(gauge.width / (gauge.scale_x || 1)) - 1);
  const last_y = Math.max(0, Math.round(gauge.height / (gauge.scale_y || 1)) - 1);
  return {x: Math.min(Math.max(p.x, 0), last_x), y: Math.min(Math.max(p.y, 0), last_y)};
}

let press = null;
let hover = {timer: 0, key: '', text: null, shown_at: null};

export function forget_hover() {
  hover.key = '';
  hover.text = null;
}

function hide_tooltip() {
  $('tooltip').hidden = true;
}

function show_tooltip(text, client_x, client_y) {
  const tip = $('tooltip');
  tip.textContent = text;
  tip.dataset.text = text;
  tip.style.left = `${client_x + 14}px`;
  tip.style.top = `${client_y + 18}px`;
  tip.hidden = false;
}

function clear_gesture(view) {
  const g = view.gesture.getContext('2d');
  g.clearRect(0, 0, view.gesture.width, view.gesture.height);
  view.gesture.hidden = true;
  $('press-mark').hidden = true;
}

function draw_gesture(view) {
  view.gesture.hidden = false;
  const g = view.gesture.getContext('2d');
  g.clearRect(0, 0, view.gesture.width, view.gesture.height);
  if (!press || !press.dragging) return;
  g.strokeStyle = 'rgba(255, 200, 60, 0.9)';
  g.lineWidth = 2;
  g.setLineDash([6, 4]);
  g.beginPath();
  g.moveTo(press.start.px, press.start.py);
  g.lineTo(press.last.px, press.last.py);
  g.stroke();
}

function show_press_mark(text, client_x, client_y) {
  const mark = $('press-mark');
  mark.textContent = text;
  mark.style.left = `${client_x + 14}px`;
  mark.style.top = `${client_y - 30}px`;
  mark.hidden = false;
}

export function attach_pointer(view) {
  const surface = view.surface;
  surface.addEventListener('contextmenu', (event) => event.preventDefault());

  surface.addEventListener('pointerdown', (event) => {
    if (event.button !== 0 && event.button !== 2) return;
    if (press) return;
    event.preventDefault();
    clearTimeout(hover.timer);
    hide_tooltip();
    const at = locate(view, event);
    if (!at.gauge) return;
    surface.setPointerCapture(event.pointerId);
    press = {
      view,
      pointer: event.pointerId,
      right: event.button === 2,
      start: at,
      last: at,
      gauge: at.gauge,
      point: gauge_point(at.gauge, at.px, at.py),
      began: performance.now(),
      dragging: false,
      timer: 0,
      client: {x: event.clientX, y: event.clientY},
    };
    const this_press = press;
    const tick = () => {
      if (press !== this_press || press.dragging) return;
      const held = (performance.now() - press.began) / 1000;
      if (held * 1000 >= kHoldMs) show_press_mark(`hold ${held.toFixed(1)} s`, press.client.x, press.client.y);
      press.timer = setTimeout(tick, 100);
    };
    press.timer = setTimeout(tick, kHoldMs);
  });

  surface.addEventListener('pointermove', (event) => {
    const at = locate(view, event);
    show_pointer_at(view, at);
    if (press && press.view === view && press.pointer === event.pointerId) {
      press.last = at;
      press.client = {x: event.clientX, y: event.clientY};
      const moved = Math.hypot(at.px - press.start.px, at.py - press.start.py);
      if (!press.right && !press.dragging && moved > kDragPixels) {
        press.dragging = true;
        $('press-mark').hidden = true;
      }
      if (press.dragging) {
        draw_gesture(view);
        const p = gauge_point_inside(press.gauge, at.px, at.py);
        show_press_mark(`drag to ${p.x}, ${p.y}`, event.clientX, event.clientY);
      }
      return;
    }
    if (press) return;
    schedule_hover(view, at, event.clientX, event.clientY);
  });

  const finish = (event, cancelled) => {
    if (!press || press.view !== view || press.pointer !== event.pointerId) return;
    const p = press;
    press = null;
    clearTimeout(p.timer);
    clear_gesture(view);
    if (cancelled) return;
    const seconds = (performance.now() - p.began) / 1000;
    const ref = word(p.gauge.ref);
    const button = p.right ? ' right' : '';
    if (p.dragging) {
      const end = gauge_point_inside(p.gauge, p.last.px, p.last.py);
      const steps = Math.max(1, Math.min(1000, Math.round(seconds * current_rate())));
      send_command(`drag ${ref} ${p.point.x} ${p.point.y} ${end.x} ${end.y} ${steps}`);
    } else if (seconds * 1000 >= kHoldMs) {
      // The press lasts as many frames as the clock ran while it was held.
      const frames = Math.max(1, Math.round(seconds * current_rate()));
      const simulated = (frames / kSimulatedRate).toFixed(3);
      send_command(`hold ${ref} ${p.point.x} ${p.point.y} ${simulated}${button}`);
    } else {
      send_command(`click ${ref} ${p.point.x} ${p.point.y}${button}`);
    }
  };
  surface.addEventListener('pointerup', (event) => finish(event, false));
  surface.addEventListener('pointercancel', (event) => finish(event, true));
  surface.addEventListener('pointerleave', () => {
    clearTimeout(hover.timer);
    hide_tooltip();
    if (!press) $('pointer-at').textContent = '';
  });
}

function show_pointer_at(view, at) {
  const out = $('pointer-at');
  if (!at.gauge) {
    out.textContent = `window ${view.index} (${Math.floor(at.px)}, ${Math.floor(at.py)})`;
    return;
  }
  const p = gauge_point(at.gauge, at.px, at.py);
  out.textContent = `${at.gauge.ref} (${p.x}, ${p.y})`;
}

function schedule_hover(view, at, client_x, client_y) {
  clearTimeout(hover.timer);
  if (hover.shown_at && Math.hypot(client_x - hover.shown_at.x, client_y - hover.shown_at.y) > 4) {
    hide_tooltip();
    hover.shown_at = null;
  }
  if (!at.gauge) return;
  const gauge = at.gauge;
  const p = gauge_point(gauge, at.px, at.py);
  hover.timer = setTimeout(async () => {
    const key = `${view.index} ${gauge.ref} ${p.x} ${p.y} ${model.generation}`;
    hover.shown_at = {x: client_x, y: client_y};
    if (key === hover.key) {
      if (hover.text !== null) show_tooltip(hover.text, client_x, client_y);
      return;
    }
    hover.key = key;
    hover.text = null;
    const answer = await send_command(`hover ${word(gauge.ref)} ${p.x} ${p.y}`, {keep_hover: true});
    if (!answer.ok || hover.key !== key) return;
    const text = tooltip_text(answer.body.lines || []);
    hover.text = text;
    if (press || !hover.shown_at) return;
    if (text !== null) show_tooltip(text, client_x, client_y);
  }, kHoverMs);
}

// The tooltip an answer to `hover` printed: `  tooltip "TEXT"`.
function tooltip_text(lines) {
  for (const line of lines) {
    const match = /^ {2}tooltip "([\s\S]*)"$/.exec(line);
    if (match) return match[1];
  }
  return null;
}
