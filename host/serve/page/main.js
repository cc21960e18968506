// The live panel page: draws every open window from the server's tiles,
// turns the pointer into script lines, and shows the transcript. This
// module wires the others together and follows the server's event stream.
import {start_edit} from './edit.js';
import {apply_state, reread_state, set_connection} from './panel_state.js';
import {forget_hover} from './pointer.js';
import {get_json, model, set_command_handlers, stats} from './shared.js';
import {load_variables, start_side} from './side.js';
import {play_sound, start_sound} from './sound.js';
import {ask_pixels} from './tiles.js';
import {add_transcript, catch_up_transcript, log_action, restart_transcript, show_frame, start_transcript}
  from './transcript.js';

set_command_handlers({
  lines: add_transcript,
  answered: (line, answer, options) => {
    if (!options.quiet) log_action(line, answer);
    if (!options.keep_hover) forget_hover();
  },
});

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
  stream.addEventListener('sound', (event) => {
    let data;
    try {
      data = JSON.parse(event.data);
    } catch {
      return;
    }
    play_sound(data.id);
  });
}

start_transcript();
start_side();
start_sound();
start_edit();

setInterval(() => {
  if (!document.hidden) load_variables();
}, 2000);

connect();
