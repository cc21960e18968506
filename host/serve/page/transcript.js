// The transcript as it grows (kept whole in the model and saveable, its
// last lines on the page), the frame number, and the last actions with the
// events each sent.
import {$, get_json, model} from './shared.js';

const kTranscriptShown = 5000;  // lines kept in the page; the rest stay saveable
const kActionsShown = 40;

export function show_frame(frame) {
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

let transcript_catching_up = false;
// The lines of each text node of the transcript, oldest first: the oldest
// leave the page (not the saved transcript) past kTranscriptShown.
const transcript_chunks = [];
let transcript_shown = 0;

// Lines reach the model at once and the page a few times a second: a busy
// panel adds lines far faster than a page can lay them out one by one.
let transcript_pending = [];
let transcript_restart = false;

export function add_transcript(from, lines) {
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

export async function catch_up_transcript() {
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

export function restart_transcript() {
  model.transcript = [];
  transcript_pending = [];
  transcript_chunks.length = 0;
  transcript_shown = 0;
  $('transcript').replaceChildren();
}

export function start_transcript() {
  $('transcript-save').addEventListener('click', (event) => {
    const link = event.currentTarget;
    const blob = new Blob([model.transcript.join('\n') + '\n'], {type: 'text/plain'});
    if (link.dataset.url) URL.revokeObjectURL(link.dataset.url);
    link.dataset.url = URL.createObjectURL(blob);
    link.href = link.dataset.url;
  });
}

// ---- Actions -------------------------------------------------------------

export function log_action(line, answer) {
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

