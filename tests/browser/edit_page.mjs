// What the edit mode tests share: a server of their own on a copy of the
// sample panel in a folder of its own (each edit rebuilds the panel, so the
// tests of one file build on each other's edits), the page in edit mode,
// every line it sends, and gestures in window 0's units.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {after, before} from 'node:test';

import {open_browser} from './browser.mjs';
import {get_json, host_binary, open_panel, root} from './panel_page.mjs';
import {start_server} from './serve.mjs';

// Each edit rebuilds the panel, which takes the sanitizer build seconds.
const kEditTimeoutMs = 60000;

export function edit_session() {
  const session = {sent: [], problems: []};
  let browser;
  before(async () => {
    assert.ok(host_binary, 'CORVELAIN_HOST names the host program');
    session.folder = fs.mkdtempSync(path.join(os.tmpdir(), 'corvelain-edit-'));
    const sample = path.join(root, 'host/sample');
    for (const name of fs.readdirSync(sample)) {
      fs.copyFileSync(path.join(sample, name), path.join(session.folder, name));
    }
    session.panel_file = path.join(session.folder, 'panel.cfg');
    session.original = fs.readFileSync(session.panel_file, 'utf8');
    session.server = await start_server(host_binary, ['--panel', session.panel_file, '--port', '0']);
    browser = await open_browser();
    const page = await browser.context.newPage();
    session.page = page;
    page.setDefaultTimeout(kEditTimeoutMs);
    page.on('pageerror', (error) => session.problems.push(error.message));
    page.on('request', (request) => {
      if (request.method() === 'POST' && request.url().endsWith('/command')) session.sent.push(request.postData());
    });
    await open_panel(page, session.server.url);
    await page.click('#edit-toggle');
    await page.locator('#palette li').first().waitFor();
  });
  after(async () => {
    await browser?.close();
    if (session.server) {
      const stopped = await session.server.stop();
      assert.equal(stopped.code, 0, `serve stopped with ${JSON.stringify(stopped)}: ${session.server.stderr()}`);
    }
    if (session.folder) fs.rmSync(session.folder, {recursive: true, force: true});
  });

  const state = () => get_json(session.server.url, 'state');
  session.state = state;

  // The lines the page sends from now on: `wait(n)` waits for n of them
  // and for the answer to the last (the copies of the pixels gone).
  session.watch_lines = () => {
    const from = session.sent.length;
    return {
      async wait(count) {
        const started = Date.now();
        while (session.sent.length - from < count) {
          assert.ok(Date.now() - started < kEditTimeoutMs,
                    `waited for ${count} lines, got ${JSON.stringify(session.sent.slice(from))}`);
          await new Promise((resolve) => setTimeout(resolve, 20));
        }
        await session.page.waitForFunction(() => window.panelEdit.busy === 0 &&
          !document.querySelector('.edit-layer .ghost'));
        return session.sent.slice(from);
      },
      now: () => session.sent.slice(from),
    };
  };

  // Waits until the server places the gauge as `box` says (any of x, y,
  // width, height) and the page shows it there.
  session.wait_placed = async (ref, box) => {
    const fits = (g) => g && Object.entries(box).every(([k, v]) => g[k] === v);
    let last;
    const started = Date.now();
    for (;;) {
      last = (await state()).windows[0].gauges.find((g) => g.ref === ref);
      if (fits(last) || Date.now() - started > kEditTimeoutMs) break;
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
    assert.ok(fits(last), `${ref} is ${JSON.stringify(last)}, not ${JSON.stringify(box)}`);
    await session.page.waitForFunction(([r, x, y]) => {
      const b = document.querySelector(`figure.window[data-window="0"] .gauge-box[data-ref="${r}"]`);
      return b && Number(b.dataset.x) === x && Number(b.dataset.y) === y;
    }, [ref, last.x, last.y]);
    return last;
  };

  // The viewport point over window 0's point (x, y) in its units.
  const at = async (x, y) => {
    const canvas = session.page.locator('canvas.picture[data-window="0"]');
    const rect = await canvas.boundingBox();
    const css = rect.width / (await canvas.evaluate((c) => c.width));
    return {x: rect.x + x * css, y: rect.y + y * css};
  };
  const press_at = async (x, y) => {
    const p = await at(x, y);
    await session.page.mouse.move(p.x, p.y);
    await session.page.mouse.down();
  };
  session.move_to = async (x, y) => {
    const p = await at(x, y);
    await session.page.mouse.move(p.x, p.y, {steps: 8});
  };
  const hold = async (keys, act) => {
    for (const key of keys) await session.page.keyboard.down(key);
    await act();
    for (const key of keys) await session.page.keyboard.up(key);
  };
  session.click_at = (x, y, keys = []) => hold(keys, async () => {
    await press_at(x, y);
    await session.page.mouse.up();
  });
  // A drag from (x0, y0) by (dx, dy), the keys held throughout;
  // `while_held` runs before the release.
  session.drag = (x0, y0, dx, dy, keys = [], while_held = async () => {}) => hold(keys, async () => {
    await press_at(x0, y0);
    await session.move_to(x0 + dx / 2, y0 + dy / 2);
    await session.move_to(x0 + dx, y0 + dy);
    await while_held();
    await session.page.mouse.up();
  });
  return session;
}

export function centre(g) {
  return [g.x + g.width / 2, g.y + g.height / 2];
}
