// What the tests do with the live panel page: find a gauge's pixels on its
// canvas, point at a gauge's own coordinates, wait for the picture to change.
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import path from 'node:path';

export const root = process.env.CORVELAIN_ROOT || path.resolve(import.meta.dirname, '../..');
export const host_binary = process.env.CORVELAIN_HOST;
export const server_url = process.env.CORVELAIN_URL;

export async function get_json(url, what) {
  const response = await fetch(new URL(what, url));
  assert.equal(response.status, 200, `${what}: ${response.status}`);
  return response.json();
}

export async function post(url, what, body) {
  const response = await fetch(new URL(what, url), {method: 'POST', body});
  return {status: response.status, text: await response.text()};
}

export function window_by_ident(state, ident) {
  const found = state.windows.find((w) => w.ident === ident);
  assert.ok(found, `no window with ident ${ident} in ${JSON.stringify(state.windows.map((w) => w.ident))}`);
  return found;
}

export function gauge_of(state, window, ref) {
  const w = state.windows[window];
  const gauge = w.gauges.find((g) => g.ref === ref);
  assert.ok(gauge, `window ${window} has no gauge ${ref}`);
  return gauge;
}

// Opens the page and waits until the main window has been drawn.
export async function open_panel(page, url) {
  await page.goto(url);
  await wait_drawn(page, 0);
}

export async function wait_drawn(page, window, after = 0, timeout = 15000) {
  await page.waitForFunction(
    ([w, a]) => {
      const canvas = document.querySelector(`canvas.picture[data-window="${w}"]`);
      return canvas && Number(canvas.dataset.frame) > a && canvas.width > 0;
    },
    [window, after],
    {timeout},
  );
}

// The canvas's RGBA bytes in a box of picture pixels, as a plain array.
export async function canvas_bytes(page, window, box) {
  return page.evaluate(
    ([w, b]) => {
      const canvas = document.querySelector(`canvas.picture[data-window="${w}"]`);
      const data = canvas.getContext('2d').getImageData(b.x, b.y, b.width, b.height).data;
      return Array.from(data);
    },
    [window, box],
  );
}

export function box_of(gauge) {
  return {
    x: Math.floor(gauge.x),
    y: Math.floor(gauge.y),
    width: Math.max(1, Math.round(gauge.width)),
    height: Math.max(1, Math.round(gauge.height)),
  };
}

// A box of picture pixels around a point of a gauge's own coordinates.
export function box_around(gauge, gx, gy, half_gauge_pixels) {
  const x0 = gauge.x + (gx - half_gauge_pixels) * gauge.scale_x;
  const y0 = gauge.y + (gy - half_gauge_pixels) * gauge.scale_y;
  const x1 = gauge.x + (gx + half_gauge_pixels) * gauge.scale_x;
  const y1 = gauge.y + (gy + half_gauge_pixels) * gauge.scale_y;
  const clip_x0 = Math.max(Math.floor(gauge.x), Math.floor(x0));
  const clip_y0 = Math.max(Math.floor(gauge.y), Math.floor(y0));
  const clip_x1 = Math.min(Math.ceil(gauge.x + gauge.width), Math.ceil(x1));
  const clip_y1 = Math.min(Math.ceil(gauge.y + gauge.height), Math.ceil(y1));
  return {x: clip_x0, y: clip_y0, width: Math.max(1, clip_x1 - clip_x0), height: Math.max(1, clip_y1 - clip_y0)};
}

// Waits until the box's pixels differ from `before`; the number of bytes
// that differ.
export async function wait_box_changed(page, window, box, before, timeout = 10000) {
  const handle = await page.waitForFunction(
    ([w, b, old]) => {
      const canvas = document.querySelector(`canvas.picture[data-window="${w}"]`);
      const data = canvas.getContext('2d').getImageData(b.x, b.y, b.width, b.height).data;
      let differ = 0;
      for (let i = 0; i < data.length; ++i) if (data[i] !== old[i]) ++differ;
      return differ > 0 ? differ : false;
    },
    [window, box, before],
    {timeout, polling: 50},
  );
  return handle.jsonValue();
}

// The viewport point over a gauge's own pixel (gx, gy).
export async function point_over(page, window, gauge, gx, gy) {
  const rect = await page.locator(`canvas.picture[data-window="${window}"]`).boundingBox();
  assert.ok(rect, `canvas of window ${window} is not on the page`);
  const canvas_width = await page.locator(`canvas.picture[data-window="${window}"]`).evaluate((c) => c.width);
  const css = rect.width / canvas_width;
  return {
    x: rect.x + (gauge.x + (gx + 0.5) * gauge.scale_x) * css,
    y: rect.y + (gauge.y + (gy + 0.5) * gauge.scale_y) * css,
  };
}

// The page's transcript, one line an entry.
export async function transcript_lines(page) {
  return page.evaluate(() => window.panelModel.transcript.slice());
}

// Waits for a transcript line matching `pattern` at index `from` or later;
// its index. On a time-out the error shows the transcript's last lines.
export async function wait_transcript(page, pattern, from = 0, timeout = 10000) {
  try {
    const handle = await page.waitForFunction(
      ([source, flags, start]) => {
        const re = new RegExp(source, flags);
        const lines = window.panelModel.transcript;
        for (let i = start; i < lines.length; ++i) if (re.test(lines[i])) return {at: i};
        return false;
      },
      [pattern.source, pattern.flags, from],
      {timeout, polling: 50},
    );
    return (await handle.jsonValue()).at;
  } catch (error) {
    const lines = await page.evaluate(() => window.panelModel.transcript.slice(-12)).catch(() => []);
    error.message += `\nno transcript line matches ${pattern} from ${from}; the last lines:\n${lines.join('\n')}`;
    throw error;
  }
}

// Sets a window open or closed with its check box in the page's list.
export async function set_window_open(page, window, open) {
  const box = page.locator(`#window-toggle-${window}`);
  if ((await box.isChecked()) !== open) await box.click();
  await page.waitForFunction(
    ([w, o]) => {
      const figure = document.querySelector(`figure.window[data-window="${w}"]`);
      return figure && figure.dataset.open === (o ? 'yes' : 'no');
    },
    [window, open],
  );
  if (open) await wait_drawn(page, window);
}

// Runs a script through the host itself and returns its transcript.
export function run_script(lines) {
  assert.ok(host_binary, 'CORVELAIN_HOST names the host program');
  return execFileSync(host_binary, ['--panel', path.join(root, 'host/sample/panel.cfg'), '--script', '-'], {
    input: lines.join('\n') + '\n',
    encoding: 'utf8',
  });
}

// Keeps the whole canvas of a window in the page under `name`, to compare
// boxes with later.
export async function snapshot(page, window, name) {
  await page.evaluate(
    ([w, n]) => {
      const canvas = document.querySelector(`canvas.picture[data-window="${w}"]`);
      window.testSnapshots ??= {};
      window.testSnapshots[n] = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
    },
    [window, name],
  );
}

// Waits until a box of the canvas differs from the same box of a snapshot.
export async function wait_changed_since(page, window, name, box, timeout = 10000) {
  const handle = await page.waitForFunction(
    ([w, n, b]) => {
      const old = window.testSnapshots[n];
      const canvas = document.querySelector(`canvas.picture[data-window="${w}"]`);
      const now = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
      if (now.width !== old.width || now.height !== old.height) return 'resized';
      let differ = 0;
      for (let y = b.y; y < b.y + b.height; ++y) {
        for (let x = b.x; x < b.x + b.width; ++x) {
          const i = (y * now.width + x) * 4;
          if (now.data[i] !== old.data[i] || now.data[i + 1] !== old.data[i + 1] || now.data[i + 2] !== old.data[i + 2]) {
            ++differ;
          }
        }
      }
      return differ > 0 ? differ : false;
    },
    [window, name, box],
    {timeout, polling: 100},
  );
  return handle.jsonValue();
}

// Waits until a window's canvas shows more than `least` colours: drawn, not
// a bare background.
export async function wait_colours(page, window, least, timeout = 10000) {
  const handle = await page.waitForFunction(
    ([w, n]) => {
      const canvas = document.querySelector(`canvas.picture[data-window="${w}"]`);
      const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
      const seen = new Set();
      for (let i = 0; i < data.length; i += 4) seen.add((data[i] << 16) | (data[i + 1] << 8) | data[i + 2]);
      return seen.size > n ? seen.size : false;
    },
    [window, least],
    {timeout, polling: 100},
  );
  return handle.jsonValue();
}
