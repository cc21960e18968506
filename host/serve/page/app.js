// The live panel page: draws every open window from the server's tiles,
// turns the pointer into script lines, and shows the transcript.
//
// A held press and a drag are each sent once, at release, as one `hold` or
// `drag` line: every such line is a fresh press in the script language, so
// sending one in pieces while the button is down would press a switch again
// and again. The line lasts as many frames as the clock ran during the
// gesture.
'use strict';

(() => {
  const kHoldMs = 300;         // a press longer than this without moving is a hold
  const kHoverMs = 400;        // a pointer resting this long asks for the tooltip
  const kDragPixels = 3;       // moving further than this while pressed is a drag
  const kSimulatedRate = 18;   // frames per second of simulated time
  const kTranscriptShown = 5000;  // lines kept in the page; the rest stay saveable
  const kActionsShown = 40;

  const $ = (id) => document.getElementById(id);

  // Everything the page knows of the server, and counts the benchmark reads.
  const model = {
    state: null,
    generation: -1,
    windows: new Map(),  // index -> view of one window
    transcript: [],      // every line from index 0
    variables: [],
    lastFrame: 0,
  };
  // What the page has done, for the tests and the benchmark to read; a
  // function set as `window.panelHooks.afterDraw` is called after every
  // draw with the window's index and frame.
  const stats = {frameEvents: 0, commandsSent: 0, windows: {}};
  window.panelStats = stats;
  window.panelModel = model;
  window.panelHooks = {afterDraw: null};

  function keep(list, frame) {
    list.push(frame);
    if (list.length > 200000) list.splice(0, 100000);
  }

  function window_stats(index) {
    if (!stats.windows[index]) {
      // The frames the stream named this window in and the frames of the
      // answers drawn, newest last: a named frame no draw showed before the
      // next named one was folded into a later draw.
      stats.windows[index] = {named: 0, draws: 0, fetches: 0, tiles: 0, frame: 0, fetch_ms: 0, draw_ms: 0,
                              named_frames: [], drawn_frames: []};
    }
    return stats.windows[index];
  }

  // ---- Requests ----------------------------------------------------------

  async function get_json(path) {
    const response = await fetch(path, {cache: 'no-store'});
    if (!response.ok) throw new Error(`${path}: ${response.status} ${await response.text()}`);
    return response.json();
  }

  // Script lines go out one at a time, so the server sees them in the order
  // the user made them.
  let command_chain = Promise.resolve();
  function send_command(line, options = {}) {
    const run = async () => {
      stats.commandsSent += 1;
      let response;
      try {
        response = await fetch('command', {
          method: 'POST',
          headers: {'Content-Type': 'text/plain; charset=utf-8'},
          body: line,
        });
      } catch (error) {
        return {ok: false, status: 0, error: `no answer from the server (${error.message})`};
      }
      const text = await response.text();
      let body = null;
      try {
        body = JSON.parse(text);
      } catch {
        body = null;
      }
      if (!response.ok) {
        const reason = body && body.error ? body.error : text.trim() || `status ${response.status}`;
        return {ok: false, status: response.status, error: reason};
      }
      if (body && Array.isArray(body.lines) && typeof body.from === 'number') {
        add_transcript(body.from, body.lines);
      }
      return {ok: true, status: response.status, body};
    };
    const result = command_chain.then(run);
    command_chain = result.catch(() => {});
    return result.then((answer) => {
      if (!options.quiet) log_action(line, answer);
      if (!options.keep_hover) forget_hover();
      return answer;
    });
  }

  async function send_clock(body) {
    const error = $('clock-error');
    try {
      const response = await fetch('clock', {method: 'POST', body});
      const text = await response.text();
      if (!response.ok) throw new Error(text.trim() || `status ${response.status}`);
      error.hidden = true;
      apply_state(JSON.parse(text));
    } catch (e) {
      error.textContent = `${body}: ${e.message}`;
      error.hidden = false;
    }
  }

  // ---- Script words ------------------------------------------------------

  function word(text) {
    return /^[^\s"]+$/.test(text) ? text : `"${text.replace(/"/g, '')}"`;
  }

  // ---- Windows and their pixels -----------------------------------------

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
      in_flight: false,
      pending: false,
      images: new Map(),
    };
    attach_pointer(view);
    return view;
  }

  function reset_pixels(view) {
    view.epoch += 1;
    view.drawn_frame = 0;
    view.canvas.dataset.frame = '0';
  }

  function ask_pixels(view, frame) {
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

  function set_canvas_size(view, width, height) {
    for (const c of [view.canvas, view.gesture]) {
      c.width = width;
      c.height = height;
    }
    view.surface.style.width = `${width}px`;
    view.surface.style.height = `${height}px`;
    view.images.clear();
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
      view.pending = false;
    }
  }

  // ---- State -------------------------------------------------------------

  function parse_error(text) {
    const match = /^(.+?):(\d+): ([\s\S]*)$/.exec(text);
    if (!match) return {file: text, line: '?', reason: ''};
    return {file: match[1], line: match[2], reason: match[3]};
  }

  function apply_state(state) {
    if (!state || !Array.isArray(state.windows)) return;
    const reloaded = state.generation !== model.generation;
    model.state = state;
    model.generation = state.generation;
    document.body.dataset.generation = String(state.generation);
    $('generation').textContent = String(state.generation);
    $('panel-file').textContent = state.panel || '';
    $('clock-status').textContent = `${state.paused ? 'paused' : 'running'}, ${state.rate} frames/s, ` +
      (state.night ? 'night' : 'day');
    document.body.dataset.paused = state.paused ? 'yes' : 'no';
    document.body.dataset.night = state.night ? 'yes' : 'no';
    document.body.dataset.rate = String(state.rate);
    if (document.activeElement !== $('rate-input')) $('rate-input').value = String(state.rate);
    $('clock-pause').disabled = !!state.paused;
    $('clock-run').disabled = !state.paused;
    $('light-day').setAttribute('aria-pressed', state.night ? 'false' : 'true');
    $('light-night').setAttribute('aria-pressed', state.night ? 'true' : 'false');
    show_frame(state.frame);
    // Only a server started with --sheets DIR has the sheets to show.
    $('sheets-link').hidden = state.sheets !== true;

    const banner = $('reload-error');
    if (state.error) {
      const e = parse_error(state.error);
      $('reload-error-file').textContent = e.file;
      $('reload-error-line').textContent = e.line;
      $('reload-error-reason').textContent = e.reason;
      banner.dataset.error = state.error;
      banner.hidden = false;
    } else {
      banner.hidden = true;
      delete banner.dataset.error;
    }

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
      if (reloaded && view.open && !view.in_flight) ask_pixels(view);
    }
    for (const [index, view] of model.windows) {
      if (!seen.has(index)) {
        view.open = false;
        view.figure.remove();
        model.windows.delete(index);
      }
    }
    render_window_list(state);
    forget_hover();
  }

  function show_frame(frame) {
    if (typeof frame !== 'number') return;
    model.lastFrame = frame;
    paint_soon();
  }

  // The frame number and the transcript are written to the page at most
  // five times a second: every text changed costs the page a layout, which
  // at high rates would hold back the windows' pixels.
  const kSidePaintMs = 200;
  let paint_timer = 0;
  let painted_at = -Infinity;
  function paint_soon() {
    if (paint_timer) return;
    const wait = Math.max(0, painted_at + kSidePaintMs - performance.now());
    paint_timer = setTimeout(() => requestAnimationFrame(() => {
      paint_timer = 0;
      painted_at = performance.now();
      const out = $('frame-number');
      if (out.dataset.frame !== String(model.lastFrame)) {
        out.textContent = String(model.lastFrame);
        out.dataset.frame = String(model.lastFrame);
      }
      paint_transcript();
    }), wait);
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

  async function reread_state() {
    try {
      apply_state(await get_json('state'));
    } catch (e) {
      set_connection('error', e.message);
    }
  }

  // ---- Transcript --------------------------------------------------------

  let transcript_catching_up = false;
  // The lines of each text node of the transcript, oldest first: the oldest
  // leave the page (not the saved transcript) past kTranscriptShown.
  const transcript_chunks = [];
  let transcript_shown = 0;

  // Lines reach the model at once and the page a few times a second: a busy
  // panel adds lines far faster than a page can lay them out one by one.
  let transcript_pending = [];
  let transcript_restart = false;

  function add_transcript(from, lines) {
    const have = model.transcript.length;
    if (from > have) {
      catch_up_transcript();
      return;
    }
    const fresh = lines.slice(have - from);
    if (!fresh.length) return;
    for (const line of fresh) {
      model.transcript.push(line);
      transcript_pending.push(line);
    }
    if (transcript_pending.length > kTranscriptShown) {
      // More than the page keeps since the last paint: it starts afresh.
      transcript_pending.splice(0, transcript_pending.length - kTranscriptShown);
      transcript_restart = true;
    }
    paint_soon();
  }

  function paint_transcript() {
    const count = $('transcript-count');
    count.textContent = `${model.transcript.length} lines`;
    count.dataset.count = String(model.transcript.length);
    if (!transcript_pending.length) return;
    const fresh = transcript_pending;
    transcript_pending = [];
    const pre = $('transcript');
    if (transcript_restart) {
      transcript_restart = false;
      pre.replaceChildren();
      transcript_chunks.length = 0;
      transcript_shown = 0;
    }
    const keep_bottom = pre.scrollTop + pre.clientHeight >= pre.scrollHeight - 8;
    // A block of its own for each paint's lines: only the new block is laid
    // out, however long the transcript already is.
    const chunk = document.createElement('div');
    chunk.className = 'chunk';
    chunk.textContent = fresh.join('\n');
    pre.append(chunk);
    transcript_chunks.push(fresh.length);
    transcript_shown += fresh.length;
    while (transcript_chunks.length > 1 && transcript_shown - transcript_chunks[0] >= kTranscriptShown) {
      transcript_shown -= transcript_chunks.shift();
      pre.removeChild(pre.firstChild);
    }
    if (keep_bottom) pre.scrollTop = pre.scrollHeight;
  }

  async function catch_up_transcript() {
    if (transcript_catching_up) return;
    transcript_catching_up = true;
    try {
      for (;;) {
        const from = model.transcript.length;
        const answer = await get_json(`transcript?from=${from}`);
        if (!Array.isArray(answer.lines) || answer.lines.length === 0) break;
        add_transcript(answer.from, answer.lines);
        if (model.transcript.length === from) break;
      }
    } catch {
      // The stream's next reconnection catches up again.
    } finally {
      transcript_catching_up = false;
    }
  }

  function restart_transcript() {
    model.transcript = [];
    transcript_pending = [];
    transcript_chunks.length = 0;
    transcript_shown = 0;
    $('transcript').replaceChildren();
  }

  $('transcript-save').addEventListener('click', (event) => {
    const link = event.currentTarget;
    const blob = new Blob([model.transcript.join('\n') + '\n'], {type: 'text/plain'});
    if (link.dataset.url) URL.revokeObjectURL(link.dataset.url);
    link.dataset.url = URL.createObjectURL(blob);
    link.href = link.dataset.url;
  });

  // ---- Actions -----------------------------------------------------------

  function log_action(line, answer) {
    const list = $('actions');
    const item = document.createElement('li');
    item.className = answer.ok ? 'action' : 'action failed';
    item.dataset.command = line;
    const head = document.createElement('div');
    head.className = 'command';
    head.textContent = line;
    item.append(head);
    const events = document.createElement('div');
    events.className = 'events';
    if (!answer.ok) {
      events.textContent = answer.error;
    } else {
      const sent = (answer.body && answer.body.events) || [];
      item.dataset.events = sent.map((e) => `${e.event}=${e.value}`).join(' ');
      events.textContent = sent.length ? `events: ${item.dataset.events}` : 'no events';
      const said = (answer.body && answer.body.lines) || [];
      const rest = said.filter((l) => !l.startsWith('> '));
      if (rest.length) {
        const lines = document.createElement('pre');
        lines.className = 'lines';
        lines.textContent = rest.slice(0, 12).join('\n') + (rest.length > 12 ? `\n... ${rest.length - 12} more` : '');
        item.append(lines);
      }
    }
    item.insertBefore(events, item.children[1] || null);
    list.prepend(item);
    while (list.children.length > kActionsShown) list.lastChild.remove();
  }

  // ---- Pointer -----------------------------------------------------------

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

  function current_rate() {
    return (model.state && model.state.rate) || kSimulatedRate;
  }

  let press = null;
  let hover = {timer: 0, key: '', text: null, shown_at: null};

  function forget_hover() {
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

  function attach_pointer(view) {
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

  // ---- Variables ---------------------------------------------------------

  function format_value(v) {
    if (v.bcd) return `0x${(Math.trunc(v.value) >>> 0).toString(16)}`;
    if (Number.isInteger(v.value)) return String(v.value);
    return String(Number(v.value.toFixed(4)));
  }

  async function load_variables() {
    try {
      model.variables = await get_json('variables');
      render_variables();
    } catch {
      // Shown again at the next refresh.
    }
  }

  function render_variables() {
    const query = $('var-search').value.trim().toUpperCase();
    const list = $('var-list');
    const items = [];
    for (const v of model.variables) {
      if (query && !v.name.toUpperCase().includes(query) && !(v.unit || '').toUpperCase().includes(query)) continue;
      items.push(v);
    }
    const existing = new Map();
    for (const li of list.children) existing.set(li.dataset.var, li);
    const fresh = [];
    for (const v of items) {
      let li = existing.get(v.name);
      if (!li) {
        li = document.createElement('li');
        li.dataset.var = v.name;
        const name = document.createElement('span');
        name.className = 'name';
        name.textContent = v.name;
        const value = document.createElement('span');
        value.className = 'value';
        const unit = document.createElement('span');
        unit.className = 'unit';
        unit.textContent = v.unit || '';
        unit.title = v.unit || '';
        li.title = v.name;
        li.append(name, value, unit);
        li.addEventListener('click', () => choose_variable(v.name));
      }
      li.querySelector('.value').textContent = format_value(v);
      li.dataset.value = String(v.value);
      li.classList.toggle('chosen', v.name === $('var-name').value);
      fresh.push(li);
    }
    list.replaceChildren(...fresh);
  }

  function choose_variable(name) {
    const v = model.variables.find((x) => x.name === name);
    $('var-name').value = name;
    $('var-unit').textContent = v ? v.unit || '' : '';
    if (v) $('var-value').value = format_value(v);
    render_variables();
    $('var-value').focus();
    $('var-value').select();
  }

  $('var-search').addEventListener('input', render_variables);
  $('var-name').addEventListener('change', () => {
    const v = model.variables.find((x) => x.name === $('var-name').value.trim());
    $('var-unit').textContent = v ? v.unit || '' : '';
  });
  $('var-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    const name = $('var-name').value.trim();
    const value = $('var-value').value.trim();
    const error = $('var-error');
    if (!name || !value) {
      error.textContent = 'a variable and a value are needed';
      error.hidden = false;
      return;
    }
    const answer = await send_command(`set ${word(name)} ${word(value)}`);
    error.hidden = answer.ok;
    if (!answer.ok) error.textContent = answer.error;
    load_variables();
  });

  // ---- Controls ----------------------------------------------------------

  $('clock-pause').addEventListener('click', () => send_clock('pause'));
  $('clock-run').addEventListener('click', () => send_clock('run'));
  $('clock-step').addEventListener('click', () => send_command('frames 1'));
  $('rate-set').addEventListener('click', () => send_clock(`rate ${$('rate-input').value.trim()}`));
  $('rate-input').addEventListener('keydown', (event) => {
    if (event.key === 'Enter') send_clock(`rate ${$('rate-input').value.trim()}`);
  });
  $('light-day').addEventListener('click', () => send_command('light day'));
  $('light-night').addEventListener('click', () => send_command('light night'));
  $('show-gauges').addEventListener('change', (event) => {
    document.body.classList.toggle('show-gauges', event.target.checked);
  });

  const history = [];
  let history_at = 0;
  $('free-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    const input = $('free-line');
    const line = input.value.trim();
    const error = $('free-error');
    if (!line) return;
    history.push(line);
    history_at = history.length;
    const answer = await send_command(line);
    if (answer.ok) {
      error.hidden = true;
      input.value = '';
      load_variables();
    } else {
      error.textContent = answer.error;
      error.hidden = false;
    }
  });
  $('free-line').addEventListener('keydown', (event) => {
    if (event.key !== 'ArrowUp' && event.key !== 'ArrowDown') return;
    if (!history.length) return;
    event.preventDefault();
    history_at = Math.max(0, Math.min(history.length, history_at + (event.key === 'ArrowUp' ? -1 : 1)));
    event.target.value = history[history_at] || '';
  });

  // ---- The event stream --------------------------------------------------

  function set_connection(state, detail) {
    const out = $('connection');
    out.dataset.connection = state;
    out.textContent = detail ? `${state}: ${detail}` : state;
  }

  function connect() {
    const stream = new EventSource('events');
    stream.addEventListener('open', async () => {
      set_connection('connected');
      try {
        const state = await get_json('state');
        if (typeof state.transcript_size === 'number' && state.transcript_size < model.transcript.length) {
          restart_transcript();  // another server answers now
        }
        model.generation = -1;  // every window afresh
        apply_state(state);
      } catch (e) {
        set_connection('error', e.message);
      }
      catch_up_transcript();
      load_variables();
    });
    stream.addEventListener('error', () => {
      set_connection(stream.readyState === EventSource.CLOSED ? 'closed' : 'reconnecting');
    });
    stream.addEventListener('frame', (event) => {
      let data;
      try {
        data = JSON.parse(event.data);
      } catch {
        return;
      }
      stats.frameEvents += 1;
      show_frame(data.frame);
      for (const index of data.windows || []) {
        const view = model.windows.get(index);
        if (view) ask_pixels(view, data.frame);
      }
    });
    stream.addEventListener('transcript', (event) => {
      try {
        const data = JSON.parse(event.data);
        add_transcript(data.from, data.lines || []);
      } catch {
        catch_up_transcript();
      }
    });
    stream.addEventListener('state', (event) => {
      try {
        apply_state(JSON.parse(event.data));
      } catch {
        reread_state();
      }
    });
  }

  setInterval(() => {
    if (!document.hidden) load_variables();
  }, 2000);

  connect();
})();
