// Edit mode on the live page: selecting, moving by drag with the gauge's
// pixels following the pointer, snapping and its guides, resizing by the
// handles, nudging with the keys; each gesture and the edit line it sends.
import assert from 'node:assert/strict';
import {describe, test} from 'node:test';

import {centre, edit_session} from './edit_page.mjs';
import {gauge_of} from './panel_page.mjs';

const session = edit_session();
const {state, watch_lines, wait_placed, click_at, drag} = session;

describe('edit mode gestures', () => {
  test('gestures edit instead of clicking; outside edit mode a click is a click again', async () => {
    const {page} = session;
    const tachometer = gauge_of(await state(), 0, 'Tachometer');
    const lines = watch_lines();
    await click_at(...centre(tachometer));
    await page.locator('.edit-box[data-ref="Tachometer"]').waitFor();
    assert.equal(await page.locator('.edit-box[data-ref="Tachometer"] .handle').count(), 8);
    assert.equal(await page.textContent('#edit-selected'), 'Tachometer');
    assert.deepEqual(await page.evaluate(() => ['x', 'y', 'w', 'h'].map((k) => document.getElementById(`edit-${k}`).value)),
                     ['390', '402', '88', '88']);
    await page.click('#edit-toggle');
    await click_at(...centre(tachometer));
    assert.match((await lines.wait(1))[0], /^click Tachometer \d+ \d+$/);
    await page.click('#edit-toggle');
    assert.deepEqual(session.problems, []);
  });

  test('a move snaps to another gauge\'s edge with its guide shown; Alt leaves it free', async () => {
    const {page} = session;
    const g = gauge_of(await state(), 0, 'Tachometer');
    // 7 units left puts its left edge 3 from the left edges of the
    // altimeter and the vertical speed indicator (380) and 5 from the
    // manifold pressure gauge's right edge (388): the nearest wins.
    let guides = null;
    let lines = watch_lines();
    await drag(...centre(g), -7, -150, [], async () => {
      guides = await page.evaluate(() => [...document.querySelectorAll('.edit-layer .guide')]
        .map((e) => `${e.classList.contains('vertical') ? 'x' : 'y'}=${e.dataset.at}`));
    });
    assert.deepEqual(guides, ['x=380']);
    assert.deepEqual(await lines.wait(1), ['move Tachometer 380 252']);
    assert.equal(await page.locator('.edit-layer .guide').count(), 0);
    const snapped = await wait_placed('Tachometer', {x: 380, y: 252});

    // With Alt, 3 units off the same edge stay 3 units off.
    lines = watch_lines();
    await drag(...centre(snapped), 3, 0, ['Alt'], async () => {
      guides = await page.locator('.edit-layer .guide').count();
    });
    assert.equal(guides, 0);
    assert.deepEqual(await lines.wait(1), ['move Tachometer 383 252']);
    await wait_placed('Tachometer', {x: 383, y: 252});
  });

  test('a drag moves the gauge, its pixels following the pointer, one move line at release', async () => {
    const {page} = session;
    const g = gauge_of(await state(), 0, 'Tachometer');
    const lines = watch_lines();
    // Into a place where no edge or centre is near another's: no snapping.
    await drag(...centre(g), 127, 0, [], async () => {
      const ghost = page.locator('.edit-layer .ghost[data-ref="Tachometer"]');
      assert.equal(await ghost.evaluate((e) => e.style.transform), 'translate(127px, 0px)');
      // The copy holds the gauge's own pixels as the window showed them.
      const same = await page.evaluate(([x, y, w, h]) => {
        const ghost = document.querySelector('.edit-layer .ghost');
        const canvas = document.querySelector('canvas.picture[data-window="0"]');
        const a = ghost.getContext('2d').getImageData(0, 0, w, h).data;
        const b = canvas.getContext('2d').getImageData(x, y, w, h).data;
        return a.length === b.length && a.every((v, i) => v === b[i]);
      }, [g.x, g.y, g.width, g.height]);
      assert.equal(same, true);
      assert.deepEqual(lines.now(), []);
    });
    assert.deepEqual(await lines.wait(1), ['move Tachometer 510 252']);
    await wait_placed('Tachometer', {x: 510, y: 252});
    assert.equal((await state()).unsaved, true);
    await page.locator('#unsaved-mark').waitFor();
    assert.equal(await page.title(), '* Corvelain live panel');
  });

  test('a handle resizes the gauge; with Shift it keeps its proportions', async () => {
    const cases = [
      {ref: 'Oil_Temperature', handle: 'se', by: [20, 10], keys: [], line: 'resize Oil_Temperature 108 98'},
      {ref: 'Oil_Pressure', handle: 'se', by: [20, 10], keys: ['Shift'], line: 'resize Oil_Pressure 108 108'},
      {ref: 'Flaps_Indicator', handle: 'se', by: [10, 0], keys: ['Shift'], line: 'resize Flaps_Indicator 30 138'},
      // The top left handle moves the corner, then sizes the box.
      {ref: 'Fuel_Pressure', handle: 'nw', by: [-12, -2], keys: [], line: 'move Fuel_Pressure 738 400',
       then: 'resize Fuel_Pressure 100 90'},
    ];
    for (const c of cases) {
      const g = gauge_of(await state(), 0, c.ref);
      await click_at(...centre(g));
      const corner = c.handle === 'se' ? [g.x + g.width, g.y + g.height] : [g.x, g.y];
      const lines = watch_lines();
      await drag(...corner, ...c.by, c.keys);
      const expected = c.then ? [c.line, c.then] : [c.line];
      assert.deepEqual(await lines.wait(expected.length), expected, JSON.stringify(c));
      const [, , w, h] = (c.then || c.line).split(' ');
      await wait_placed(c.ref, {width: Number(w), height: Number(h)});
    }
  });

  test('arrow keys nudge the selection by 1, with Shift by 10', async () => {
    const {page} = session;
    const g = gauge_of(await state(), 0, 'CHT_Indicator');
    await click_at(...centre(g));
    const cases = [
      ['ArrowRight', 'move CHT_Indicator 661 402'],
      ['Shift+ArrowDown', 'move CHT_Indicator 661 412'],
      ['ArrowUp', 'move CHT_Indicator 661 411'],
      ['Shift+ArrowLeft', 'move CHT_Indicator 651 411'],
    ];
    const lines = watch_lines();
    for (const [key] of cases) await page.keyboard.press(key);
    assert.deepEqual(await lines.wait(cases.length), cases.map(([, line]) => line));
    await wait_placed('CHT_Indicator', {x: 651, y: 411});
  });

});
