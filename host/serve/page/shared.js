// What every part of the live panel page shares: the model of the server,
// the counts the tests and the benchmark read, requests, and script words.

export const kSimulatedRate = 18;  // frames per second of simulated time

export const $ = (id) => document.getElementById(id);

// Everything the page knows of the server, and counts the benchmark reads.
export const model = {
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
export const stats = {frameEvents: 0, commandsSent: 0, windows: {}};
window.panelStats = stats;
window.panelModel = model;
window.panelHooks = {afterDraw: null};

// Called with every state the page applies (edit mode follows it).
export const state_listeners = [];

export function keep(list, frame) {
  list.push(frame);
  if (list.length > 200000) list.splice(0, 100000);
}

export function window_stats(index) {
  if (!stats.windows[index]) {
    // The frames the stream named this window in and the frames of the
    // answers drawn, newest last: a named frame no draw showed before the
    // next named one was folded into a later draw.
    stats.windows[index] = {named: 0, draws: 0, fetches: 0, tiles: 0, frame: 0, fetch_ms: 0, draw_ms: 0,
                            named_frames: [], drawn_frames: []};
  }
  return stats.windows[index];
}

export function current_rate() {
  return (model.state && model.state.rate) || kSimulatedRate;
}

// ---- Requests ------------------------------------------------------------

export async function get_json(path) {
  const response = await fetch(path, {cache: 'no-store'});
  if (!response.ok) throw new Error(`${path}: ${response.status} ${await response.text()}`);
  return response.json();
}

// What the rest of the page does with the answers to script lines: the
// transcript's lines as they arrive, then the answer once the line is done
// (main.js sets them).
const command_handlers = {
  lines: (from, lines) => {},
  answered: (line, answer, options) => {},
};

export function set_command_handlers(handlers) {
  Object.assign(command_handlers, handlers);
}

// Script lines go out one at a time, so the server sees them in the order
// the user made them.
let command_chain = Promise.resolve();
export function send_command(line, options = {}) {
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
      command_handlers.lines(body.from, body.lines);
    }
    return {ok: true, status: response.status, body};
  };
  const result = command_chain.then(run);
  command_chain = result.catch(() => {});
  return result.then((answer) => {
    command_handlers.answered(line, answer, options);
    return answer;
  });
}

// ---- Script words --------------------------------------------------------

export function word(text) {
  return /^[^\s"]+$/.test(text) ? text : `"${text.replace(/"/g, '')}"`;
}
