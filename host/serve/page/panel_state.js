// The server's state shown on the page: the header, the clock and light
// controls, the panel file's error, and the windows.
import {forget_hover} from './pointer.js';
import {$, get_json, model, state_listeners} from './shared.js';
import {show_frame} from './transcript.js';
import {show_windows} from './windows.js';

// "FILE:LINE: reason", or "FILE: reason" for a file that is gone, is a
// folder or is no panel file at all.
function parse_error(text) {
  const at_line = /^(.+?):(\d+): ([\s\S]*)$/.exec(text);
  if (at_line) return {file: at_line[1], line: at_line[2], reason: at_line[3]};
  const whole = /^(.+?): ([\s\S]*)$/.exec(text);
  if (whole) return {file: whole[1], line: null, reason: whole[2]};
  return {file: '', line: null, reason: text};
}

export function apply_state(state) {
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
    $('reload-error-line').textContent = e.line ?? '';
    $('reload-error-at').hidden = e.line === null;
    $('reload-error-reason').textContent = e.reason;
    banner.dataset.error = state.error;
    banner.hidden = false;
  } else {
    banner.hidden = true;
    delete banner.dataset.error;
  }

  show_windows(state, reloaded);
  forget_hover();
  for (const listen of state_listeners) listen(state, reloaded);
}

export async function reread_state() {
  try {
    apply_state(await get_json('state'));
  } catch (e) {
    set_connection('error', e.message);
  }
}

export function set_connection(state, detail) {
  const out = $('connection');
  out.dataset.connection = state;
  out.textContent = detail ? `${state}: ${detail}` : state;
}
