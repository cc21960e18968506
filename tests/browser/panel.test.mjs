// The live panel page on the sample panel, in Chromium: what it shows and
// what the pointer and the controls send. One server for the file (run.sh
// starts it); each test leaves the panel's windows and light as it found
// them.
import assert from 'node:assert/strict';
import {after, before, describe, test} from 'node:test';

import {open_browser} from './browser.mjs';
import {start_cut_proxy} from './cut_proxy.mjs';
import {
  box_around,
  box_of,
  canvas_bytes,
  gauge_of,
  get_json,
  open_panel,
  point_over,
  post,
  run_script,
  server_url,
  set_window_open,
  snapshot,
  wait_box_changed,
  wait_changed_since,
  wait_colours,
  wait_drawn,
  wait_transcript,
  window_by_ident,
} from './panel_page.mjs';

const url = server_url;
let browser;
let state;

before(async () => {
  assert.ok(url, 'CORVELAIN_URL names the running server (tests/browser/run.sh sets it)');
  browser = await open_browser();
  state = await get_json(url, 'state');
});

after(async () => {
  await browser?.close();
});

async function fresh_page() {
  const page = await browser.context.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  await open_panel(page, url);
  return {page, problems};
}

describe('the page', () => {
  test('loads with the main panel drawn at its picture size and the transcript from its start', async () => {
    const {page, problems} = await fresh_page();
    try {
      const main = state.windows[0];
      assert.equal(main.open, true);
      const canvas = page.locator('canvas.picture[data-window="0"]');
      assert.deepEqual(await canvas.evaluate((c) => [c.width, c.height]), [main.width, main.height]);
      const box = await canvas.boundingBox();
      assert.deepEqual([Math.round(box.width), Math.round(box.height)], [main.width, main.height]);
      await wait_colours(page, 0, 50);
      await wait_transcript(page, /^> start$/);
      assert.equal(await page.locator('#window-list li').count(), state.windows.length);
      assert.equal(await page.locator('#reload-error').isHidden(), true);
      // run.sh gives the server a sheets folder.
      assert.equal(state.sheets, true);
      const sheets = page.locator('#sheets-link');
      assert.equal(await sheets.isVisible(), true);
      assert.deepEqual(await sheets.evaluate((a) => [a.getAttribute('href'), a.target]), ['/sheets/', '_blank']);
      assert.deepEqual(problems, []);
    } finally {
      await page.close();
    }
  });

  test('opening the radio stack from the window list shows it, closing hides it', async () => {
    const {page} = await fresh_page();
    const radios = window_by_ident(state, 50);
    try {
      assert.equal(await page.locator(`figure.window[data-window="${radios.window}"]`).isHidden(), true);
      await set_window_open(page, radios.window, true);
      const figure = page.locator(`figure.window[data-window="${radios.window}"]`);
      assert.equal(await figure.isVisible(), true);
      await wait_colours(page, radios.window, 20);
      await wait_transcript(page, /^> open 50$/);
      const now = await get_json(url, 'state');
      assert.equal(now.windows[radios.window].open, true);
    } finally {
      await set_window_open(page, radios.window, false);
      await page.close();
    }
  });

  test('night changes the main panel pixels, day brings them back', async () => {
    const {page} = await fresh_page();
    const main = state.windows[0];
    const whole = {x: 0, y: 0, width: main.width, height: main.height};
    // The instruments' faces, away from anything that moves on its own.
    const face = box_of(gauge_of(state, 0, 'Airspeed'));
    try {
      await snapshot(page, 0, 'day');
      await page.click('#light-night');
      await page.waitForFunction(() => document.body.dataset.night === 'yes');
      const differ = await wait_changed_since(page, 0, 'day', face);
      assert.ok(differ > (face.width * face.height) / 4, `only ${differ} pixels of the airspeed face changed at night`);
      await snapshot(page, 0, 'night');
      await page.click('#light-day');
      await page.waitForFunction(() => document.body.dataset.night === 'no');
      await wait_changed_since(page, 0, 'night', whole);
    } finally {
      await page.click('#light-day');
      await page.close();
    }
  });

  test("the canvas holds the bytes of the window's PNG with the clock paused", async () => {
    const {page} = await fresh_page();
    try {
      await page.click('#clock-pause');
      await page.waitForFunction(() => document.body.dataset.paused === 'yes');
      // Nothing in flight for a while: the canvas shows the last frame.
      await page.waitForFunction(
        () => {
          const view = window.panelModel.windows.get(0);
          const now = performance.now();
          if (view.in_flight || view.pending) window.quietSince = now;
          window.quietSince ??= now;
          return now - window.quietSince > 400;
        },
        null,
        {polling: 50},
      );
      const result = await page.evaluate(async () => {
        const canvas = document.querySelector('canvas.picture[data-window="0"]');
        const shown = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
        const image = new Image();
        image.src = `window/0.png?t=${Date.now()}`;
        await image.decode();
        const copy = document.createElement('canvas');
        copy.width = image.naturalWidth;
        copy.height = image.naturalHeight;
        const context = copy.getContext('2d', {willReadFrequently: true});
        context.drawImage(image, 0, 0);
        const png = context.getImageData(0, 0, copy.width, copy.height).data;
        let differ = 0;
        let first = -1;
        for (let i = 0; i < png.length; ++i) {
          if (png[i] !== shown[i]) {
            if (first < 0) first = i;
            ++differ;
          }
        }
        return {size: [copy.width, copy.height], canvas: [canvas.width, canvas.height], differ, first};
      });
      assert.deepEqual(result.size, result.canvas);
      assert.equal(result.differ, 0, `${result.differ} bytes differ, the first at pixel ${result.first >> 2}`);
    } finally {
      await post(url, 'clock', 'run');
      await page.close();
    }
  });
});

describe('the pointer', () => {
  test('a click on the battery switch flips its picture and the transcript shows its event', async () => {
    const {page} = await fresh_page();
    const electricity = window_by_ident(state, 30);
    const battery = gauge_of(state, electricity.window, 'Battery_Switch');
    try {
      await set_window_open(page, electricity.window, true);
      const box = box_of(battery);
      const before = await canvas_bytes(page, electricity.window, box);
      const from = (await page.evaluate(() => window.panelModel.transcript.length));
      const at = await point_over(page, electricity.window, battery, 20, 30);
      await page.mouse.click(at.x, at.y);
      const sent = await wait_transcript(page, /^> click Battery_Switch \d+ \d+$/, from);
      await wait_transcript(page, /^ {2}@\d+ event 66241 /, sent);
      await wait_box_changed(page, electricity.window, box, before);
      const action = page.locator('#actions li').first();
      assert.match(await action.getAttribute('data-command'), /^click Battery_Switch \d+ \d+$/);
      assert.match(await action.getAttribute('data-events'), /\b66241=0\b/);
    } finally {
      await set_window_open(page, electricity.window, false);
      await page.close();
    }
  });

  test('resting the pointer shows the tooltip a script prints for the same point', async () => {
    const {page} = await fresh_page();
    const vor = gauge_of(state, 0, 'VOR1_Indicator');
    try {
      const from = await page.evaluate(() => window.panelModel.transcript.length);
      const at = await point_over(page, 0, vor, 30, 280);
      await page.mouse.move(at.x - 5, at.y - 5);
      await page.mouse.move(at.x, at.y);
      const sent = await wait_transcript(page, /^> hover VOR1_Indicator \d+ \d+$/, from);
      const line = (await page.evaluate((i) => window.panelModel.transcript[i], sent));
      const [, x, y] = /(\d+) (\d+)$/.exec(line);
      assert.ok(Math.abs(x - 30) <= 1 && Math.abs(y - 280) <= 1, `hovered at ${x} ${y}`);
      const tip = page.locator('#tooltip');
      await tip.waitFor({state: 'visible'});
      const shown = await tip.textContent();
      const printed = run_script([`hover VOR1_Indicator ${x} ${y}`]);
      const match = /^ {2}tooltip "(.*)"$/m.exec(printed);
      assert.ok(match, `the script printed no tooltip:\n${printed}`);
      assert.equal(shown, match[1]);
      assert.match(shown, /\S/);
      // Resting again on the same point asks nothing more.
      await page.mouse.move(at.x, at.y + 20);
      await page.mouse.move(at.x, at.y);
      await page.waitForTimeout(800);
      const hovers = (await page.evaluate(() => window.panelModel.transcript))
        .slice(from)
        .filter((l) => l.startsWith('> hover VOR1_Indicator'));
      assert.equal(hovers.length, 1, hovers.join('\n'));
    } finally {
      await page.close();
    }
  });

  test('a drag up the throttle slot moves the lever from idle to full', async () => {
    const {page} = await fresh_page();
    const quadrant = window_by_ident(state, 10);
    const throttle = gauge_of(state, quadrant.window, 'Throttle_Control');
    try {
      await set_window_open(page, quadrant.window, true);
      // The lever rests at idle, the slot's bottom; full is its top.
      const idle = box_around(throttle, 20, 195, 14);
      const full = box_around(throttle, 20, 10, 14);
      const idle_before = await canvas_bytes(page, quadrant.window, idle);
      const full_before = await canvas_bytes(page, quadrant.window, full);
      const from = await page.evaluate(() => window.panelModel.transcript.length);
      const start = await point_over(page, quadrant.window, throttle, 20, 195);
      // Past the top: the lever stops at full.
      const end = await point_over(page, quadrant.window, throttle, 20, -20);
      const top = {x: 20, y: 0};
      await page.mouse.move(start.x, start.y);
      await page.mouse.down();
      await page.mouse.move(end.x, end.y, {steps: 12});
      await page.mouse.up();
      // The end is held inside the gauge.
      const sent = await wait_transcript(page, new RegExp(`^> drag Throttle_Control 20 195 ${top.x} ${top.y} \\d+$`), from);
      await wait_transcript(page, /^ {2}@\d+ event 65697 16384$/, sent);
      await wait_box_changed(page, quadrant.window, idle, idle_before);
      await wait_box_changed(page, quadrant.window, full, full_before);
      const variables = await get_json(url, 'variables');
      const lever = variables.find((v) => v.name === 'THROTTLE_LEVER');
      assert.equal(lever?.value, 16384);
    } finally {
      await set_window_open(page, quadrant.window, false);
      await page.close();
    }
  });
  test('a right click, a held press and a short click become the lines a script would write', async () => {
    const {page} = await fresh_page();
    const electricity = window_by_ident(state, 30);
    const generator = gauge_of(state, electricity.window, 'Generator_Switch');
    const battery = gauge_of(state, electricity.window, 'Battery_Switch');
    try {
      await set_window_open(page, electricity.window, true);
      // gesture | gauge | point | button | held for (ms) | the line's pattern
      const cases = [
        ['right click', generator, [27, 60], 'right', 0, /^> click Generator_Switch 27 60 right$/],
        ['right click again', generator, [27, 60], 'right', 0, /^> click Generator_Switch 27 60 right$/],
        ['held press', battery, [20, 30], 'left', 700, /^> hold Battery_Switch 20 30 (\d+\.\d{3})$/],
        ['short click', battery, [20, 30], 'left', 0, /^> click Battery_Switch 20 30$/],
      ];
      for (const [name, gauge, [gx, gy], button, held_ms, pattern] of cases) {
        const from = await page.evaluate(() => window.panelModel.transcript.length);
        const at = await point_over(page, electricity.window, gauge, gx, gy);
        await page.mouse.move(at.x, at.y);
        await page.mouse.down({button});
        if (held_ms) await page.waitForTimeout(held_ms);
        await page.mouse.up({button});
        const index = await wait_transcript(page, /^> /, from);
        const line = await page.evaluate((i) => window.panelModel.transcript[i], index);
        const match = pattern.exec(line);
        assert.ok(match, `${name}: sent '${line}'`);
        if (held_ms) {
          // The press lasts the frames the clock ran while it was held.
          const seconds = Number(match[1]) * 18 / state.rate;
          assert.ok(seconds >= 0.6 && seconds < 2, `${name}: held for ${seconds} s`);
        }
      }
    } finally {
      await set_window_open(page, electricity.window, false);
      await page.close();
    }
  });

  test('a page cut off from the server catches up with every line when it is back', async () => {
    const proxy = await start_cut_proxy(url);
    const page = await browser.context.newPage();
    try {
      await open_panel(page, proxy.url);
      await wait_transcript(page, /^> start$/);
      // Lines added while the page's stream is down reach it only through
      // the catch-up; the stream comes back by itself.
      proxy.cut();
      for (let i = 0; i < 5; ++i) assert.equal((await post(url, 'command', `say while away ${i}`)).status, 200);
      await wait_transcript(page, /^> say while away 4$/, 0, 20000);
      await page.waitForFunction(() => document.getElementById('connection').dataset.connection === 'connected');
      const server_lines = (await get_json(url, 'transcript?from=0')).lines;
      const page_lines = await page.evaluate(() => window.panelModel.transcript.slice());
      assert.ok(page_lines.length > 5);
      assert.deepEqual(page_lines, server_lines.slice(0, page_lines.length));
    } finally {
      await page.close();
      await proxy.close();
    }
  });
});

describe('the controls', () => {
  test('engine speed set from the variable list turns the tachometer needle', async () => {
    const {page} = await fresh_page();
    const tachometer = box_of(gauge_of(state, 0, 'Tachometer'));
    try {
      await page.fill('#var-search', 'engine_rpm');
      const item = page.locator('#var-list li[data-var="ENGINE_RPM"]');
      await item.waitFor();
      assert.equal(await page.locator('#var-list li').count() >= 1, true);
      await item.click();
      assert.equal(await page.inputValue('#var-name'), 'ENGINE_RPM');
      assert.equal(await page.textContent('#var-unit'), 'rpm');
      const before = await canvas_bytes(page, 0, tachometer);
      await page.fill('#var-value', '2300');
      await page.click('#var-set');
      await wait_transcript(page, /^> set ENGINE_RPM 2300$/);
      await wait_box_changed(page, 0, tachometer, before);
      assert.equal(await page.locator('#var-error').isHidden(), true);
    } finally {
      await page.close();
    }
  });

  test('a line typed in the free line runs; a bad one shows the reader\'s reason', async () => {
    const {page} = await fresh_page();
    try {
      await page.fill('#free-line', 'say from the page');
      await page.press('#free-line', 'Enter');
      await wait_transcript(page, /^> say from the page$/);
      assert.equal(await page.inputValue('#free-line'), '');
      await page.fill('#free-line', 'set PLANE_HEADING 3');
      await page.click('#free-run');
      const error = page.locator('#free-error');
      await error.waitFor({state: 'visible'});
      assert.match(await error.textContent(), /unknown variable 'PLANE_HEADING' \(nearest: /);
      assert.equal(await page.inputValue('#free-line'), 'set PLANE_HEADING 3');
    } finally {
      await page.close();
    }
  });

  test('pause stops the frames, step runs one, run starts them again', async () => {
    const {page} = await fresh_page();
    try {
      await page.click('#clock-pause');
      await page.waitForFunction(() => document.body.dataset.paused === 'yes');
      const paused_at = (await get_json(url, 'state')).frame;
      await page.waitForTimeout(400);
      assert.equal((await get_json(url, 'state')).frame, paused_at);
      await page.click('#clock-step');
      await wait_transcript(page, /^> frames 1$/);
      assert.equal((await get_json(url, 'state')).frame, paused_at + 1);
      await page.click('#clock-run');
      await page.waitForFunction(() => document.body.dataset.paused === 'no');
      await wait_drawn(page, 0, paused_at + 3);
    } finally {
      await post(url, 'clock', 'run');
      await page.close();
    }
  });
});
