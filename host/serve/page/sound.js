// The module's clicks, played through Web Audio as the module plays them:
// the recording a `sound` event names, from its start, once. Each recording
// is fetched and decoded once. Browsers let a page make sound only after a
// gesture on it, so the audio starts at the page's first click; nothing is
// played before it, nor while muted.
import {$, stats} from './shared.js';

let context = null;
let muted = false;
const recordings = new Map();  // id -> promise of its AudioBuffer

function wake() {
  if (!context) context = new AudioContext();
  if (context.state === 'suspended') context.resume();
  show_mute();
}

function show_mute() {
  const button = $('sound-mute');
  const state = muted ? 'muted' : context ? 'on' : 'waiting';
  button.dataset.sound = state;
  button.setAttribute('aria-pressed', muted ? 'true' : 'false');
  button.textContent = {muted: 'Sound muted', on: 'Sound on', waiting: 'Sound after a click'}[state];
}

// A recording that did not arrive or decode is asked for again next time.
function recording(id) {
  let decoded = recordings.get(id);
  if (!decoded) {
    decoded = (async () => {
      const response = await fetch(`sound/${id}.wav`, {cache: 'no-store'});
      if (!response.ok) throw new Error(`sound/${id}.wav: ${response.status}`);
      return context.decodeAudioData(await response.arrayBuffer());
    })();
    decoded.catch(() => recordings.delete(id));
    recordings.set(id, decoded);
  }
  return decoded;
}

export async function play_sound(id) {
  stats.sounds.heard += 1;
  if (muted || !context) return;
  let buffer;
  try {
    buffer = await recording(id);
  } catch {
    return;
  }
  if (muted) return;
  stats.sounds.last = id;
  const source = new AudioBufferSourceNode(context, {buffer});
  source.connect(context.destination);
  source.start();
  stats.sounds.played += 1;
}

export function start_sound() {
  stats.sounds = {heard: 0, played: 0, last: 0};
  document.addEventListener('pointerdown', wake, {capture: true});
  document.addEventListener('click', wake, {capture: true});
  $('sound-mute').addEventListener('click', () => {
    muted = !muted;
    show_mute();
  });
  show_mute();
}
