// The boxes beside the windows: the clock and the light, the aircraft's
// variables with a value to set, and a free script line.
import {apply_state} from './panel_state.js';
import {$, get_json, model, send_command, word} from './shared.js';

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

// Script lines typed in the free line, oldest first, and where the arrow
// keys have gone back to.
const history = [];
let history_at = 0;

// ---- Variables -----------------------------------------------------------

function format_value(v) {
  if (v.bcd) return `0x${(Math.trunc(v.value) >>> 0).toString(16)}`;
  if (Number.isInteger(v.value)) return String(v.value);
  return String(Number(v.value.toFixed(4)));
}

export async function load_variables() {
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

export function start_side() {
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

  // The clock, the light and the free line.
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
}
