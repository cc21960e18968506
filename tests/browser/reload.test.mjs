// Editing the panel file under a running server: a gauge moved in the file
// moves on the page, a file that does not read shows its place prominently
// while the panel keeps running. The server here serves a copy of the
// sample panel in a folder of its own.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {after, before, test} from 'node:test';

import {open_browser} from './browser.mjs';
import {box_of, gauge_of, get_json, host_binary, open_panel, root, snapshot, wait_changed_since} from './panel_page.mjs';
import {start_server} from './serve.mjs';

let folder;
let panel_file;
let original;
let server;
let browser;
let page;

before(async () => {
  assert.ok(host_binary, 'CORVELAIN_HOST names the host program');
  folder = fs.mkdtempSync(path.join(os.tmpdir(), 'corvelain-reload-'));
  // Everything beside the sample panel file: its background is named
  // relative to it.
  const sample = path.join(root, 'host/sample');
  for (const name of fs.readdirSync(sample)) fs.copyFileSync(path.join(sample, name), path.join(folder, name));
  panel_file = path.join(folder, 'panel.cfg');
  original = fs.readFileSync(panel_file, 'utf8');
  server = await start_server(host_binary, ['--panel', panel_file, '--port', '0']);
  browser = await open_browser();
  page = await browser.context.newPage();
  await open_panel(page, server.url);
});

after(async () => {
  await browser?.close();
  if (server) {
    const stopped = await server.stop();
    assert.equal(stopped.code, 0, `serve stopped with ${JSON.stringify(stopped)}: ${server.stderr()}`);
  }
  if (folder) fs.rmSync(folder, {recursive: true, force: true});
});

const tachometer_line = /^gauge31=Corvelain_Instr!Tachometer, 390, 402, 88, 88$/m;
// Right of the flight instruments, under the heading row: nothing there.
const moved_line = 'gauge31=Corvelain_Instr!Tachometer, 720, 220, 88, 88 // moved';

async function page_box(ref) {
  return page.locator(`figure.window[data-window="0"] .gauge-box[data-ref="${ref}"]`).evaluate((b) => ({
    x: Number(b.dataset.x),
    y: Number(b.dataset.y),
  }));
}

test('a gauge moved in the panel file moves on the page', async (t) => {
  assert.match(original, tachometer_line);
  const state = await get_json(server.url, 'state');
  // A server without --sheets: no link to them.
  assert.equal(state.sheets, false);
  assert.equal(await page.locator('#sheets-link').isHidden(), true);
  const old_place = gauge_of(state, 0, 'Tachometer');
  const was = await page_box('Tachometer');
  assert.deepEqual(was, {x: old_place.x, y: old_place.y});
  const generation = Number(await page.evaluate(() => document.body.dataset.generation));
  await snapshot(page, 0, 'before');

  const written = performance.now();
  fs.writeFileSync(panel_file, original.replace(tachometer_line, moved_line));
  const shown = page.waitForFunction((g) => Number(document.body.dataset.generation) > g, generation,
                                     {timeout: 10000, polling: 20});
  // The server's own time to notice and read the file, then the page's.
  let read_ms = 0;
  for (;;) {
    if ((await get_json(server.url, 'state')).generation > generation) {
      read_ms = performance.now() - written;
      break;
    }
    assert.ok(performance.now() - written < 10000, 'the server did not read the changed file');
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
  await shown;
  const took_ms = performance.now() - written;
  const now = await page_box('Tachometer');
  assert.notDeepEqual(now, was);
  const reloaded = await get_json(server.url, 'state');
  const new_place = gauge_of(reloaded, 0, 'Tachometer');
  assert.deepEqual(now, {x: new_place.x, y: new_place.y});
  assert.ok(new_place.x > old_place.x && new_place.y < old_place.y, JSON.stringify(new_place));
  // The dial is drawn at its new place, and its old place is bare.
  await wait_changed_since(page, 0, 'before', box_of(new_place));
  await wait_changed_since(page, 0, 'before', box_of(old_place));
  // The file is looked at about every 250 ms; the page follows the state
  // event at once.
  t.diagnostic(`the server read the file ${Math.round(read_ms)} ms after it was written, ` +
               `the page showed it ${Math.round(took_ms)} ms after`);
  assert.ok(took_ms - read_ms < 1000,
            `the page showed the new layout ${Math.round(took_ms - read_ms)} ms after the server had it`);
});

test('a panel file that does not read shows its file and line; the panel keeps running', async () => {
  const good = fs.readFileSync(panel_file, 'utf8');
  const lines = good.split('\n');
  const at = lines.findIndex((l) => l.startsWith('gauge00=Corvelain_Instr!Airspeed'));
  assert.ok(at >= 0);
  lines[at] = 'gauge00=Corvelain_Instr Airspeed, 20, 20, 160, 160';
  fs.writeFileSync(panel_file, lines.join('\n'));
  const banner = page.locator('#reload-error');
  await banner.waitFor({state: 'visible', timeout: 10000});
  const file = await page.textContent('#reload-error-file');
  assert.equal(path.basename(file), 'panel.cfg');
  assert.equal(await page.textContent('#reload-error-line'), String(at + 1));
  assert.match(await page.textContent('#reload-error-reason'), /\S/);
  const state = await get_json(server.url, 'state');
  assert.match(state.error, new RegExp(`panel\\.cfg:${at + 1}: `));

  // Frames go on, and the layout last read stays.
  const frame = Number(await page.locator('canvas.picture[data-window="0"]').getAttribute('data-frame'));
  await page.waitForFunction((f) => Number(document.querySelector('canvas.picture[data-window="0"]').dataset.frame) > f + 5,
                             frame, {timeout: 10000});
  assert.deepEqual(await page_box('Tachometer'), {x: state.windows[0].gauges.find((g) => g.ref === 'Tachometer').x,
                                                  y: state.windows[0].gauges.find((g) => g.ref === 'Tachometer').y});

  // Mended, the banner goes.
  fs.writeFileSync(panel_file, good + '\n');
  await banner.waitFor({state: 'hidden', timeout: 10000});
  assert.equal((await get_json(server.url, 'state')).error, null);
});

test('a panel file removed, then made a folder, shows its file and reason without a line; back, it is read again', async () => {
  const good = fs.readFileSync(panel_file, 'utf8');
  const generation = (await get_json(server.url, 'state')).generation;
  const banner = page.locator('#reload-error');
  const reason = page.locator('#reload-error-reason');

  fs.rmSync(panel_file);
  await banner.waitFor({state: 'visible', timeout: 10000});
  await page.waitForFunction(() => /cannot be read/.test(document.querySelector('#reload-error-reason').textContent),
                             null, {timeout: 10000});
  assert.equal(await page.textContent('#reload-error-file'), panel_file);
  assert.equal(await page.locator('#reload-error-at').isHidden(), true);
  assert.equal((await get_json(server.url, 'state')).error, `${panel_file}: ${await reason.textContent()}`);

  fs.mkdirSync(panel_file);
  await page.waitForFunction(() => document.querySelector('#reload-error-reason').textContent === 'is a folder',
                             null, {timeout: 10000});
  assert.equal(await page.locator('#reload-error-at').isHidden(), true);

  fs.rmdirSync(panel_file);
  fs.writeFileSync(panel_file, good);
  await banner.waitFor({state: 'hidden', timeout: 10000});
  const state = await get_json(server.url, 'state');
  assert.equal(state.error, null);
  assert.equal(state.generation, generation + 1);
});
