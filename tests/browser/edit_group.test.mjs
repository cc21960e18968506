// Edit mode on the live page: several gauges selected, moved, aligned and
// distributed; the palette's gauges added, Delete, undo and redo by key, and
// the side box's fields; each and the edit lines it sends.
import assert from 'node:assert/strict';
import {describe, test} from 'node:test';

import {centre, edit_session} from './edit_page.mjs';
import {gauge_of, get_json} from './panel_page.mjs';

const session = edit_session();
const {state, watch_lines, wait_placed, click_at, drag, move_to} = session;

describe('edit mode on several gauges, the palette and the keys', () => {
  test('Shift-click and a band select several; they move together, align and distribute', async () => {
    const {page} = session;
    const s = await state();
    const light = gauge_of(s, 0, 'Low_Fuel_Light_Left');
    const fuel = gauge_of(s, 0, 'Fuel_Quantity_Left');
    await click_at(...centre(light));
    await click_at(...centre(fuel), ['Shift']);
    assert.equal(await page.locator('.edit-box').count(), 2);
    assert.equal(await page.locator('.edit-box .handle').count(), 0);
    let lines = watch_lines();
    await page.click('#edit-align button[data-align="top"]');
    assert.deepEqual(await lines.wait(1), ['move Low_Fuel_Light_Left 392 500']);

    // A band around the fuel gauges and their lights takes all four.
    await page.keyboard.press('Escape');
    await drag(295, 495, 233, 100);
    assert.deepEqual(await page.evaluate(() => window.panelEdit.selected.slice().sort()),
                     ['Fuel_Quantity_Left', 'Fuel_Quantity_Right', 'Low_Fuel_Light_Left', 'Low_Fuel_Light_Right']);
    lines = watch_lines();
    await drag(...centre(fuel), 0, -60, ['Alt']);
    assert.deepEqual((await lines.wait(4)).sort(), [
      'move Fuel_Quantity_Left 300 440', 'move Fuel_Quantity_Right 436 440',
      'move Low_Fuel_Light_Left 392 440', 'move Low_Fuel_Light_Right 392 486']);
    lines = watch_lines();
    await page.click('#edit-align button[data-align="left"]');
    assert.deepEqual((await lines.wait(3)).sort(), [
      'move Fuel_Quantity_Right 300 440', 'move Low_Fuel_Light_Left 300 440', 'move Low_Fuel_Light_Right 300 486']);

    // Three across the top: the middle one goes where the gaps are equal.
    await page.keyboard.press('Escape');
    await click_at(...centre(gauge_of(s, 0, 'Airspeed')));
    await click_at(...centre(gauge_of(s, 0, 'Attitude')), ['Shift']);
    await click_at(...centre(gauge_of(s, 0, 'Gyro_Compass')), ['Shift']);
    lines = watch_lines();
    await page.click('#edit-align button[data-distribute="x"]');
    assert.deepEqual(await lines.wait(1), ['move Attitude 298 20']);
    await wait_placed('Attitude', {x: 298});
  });

  test('a gauge dragged from the palette is added where it is dropped; Delete removes it', async () => {
    const {page} = session;
    const item = page.locator('#palette li[data-gauge="Tachometer"]');
    await item.scrollIntoViewIfNeeded();
    const src = await item.locator('img').getAttribute('src');
    assert.equal(src, 'gauge/Tachometer.png');
    assert.equal(await item.locator('img').evaluate((i) => i.complete && i.naturalWidth), 300);
    const palette = await get_json(session.server.url, 'gauges');
    assert.equal(palette.module, 'Corvelain_Instr');
    const {width, height} = palette.gauges.find((g) => g.name === 'Tachometer');
    const box = await item.boundingBox();
    const lines = watch_lines();
    await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
    await page.mouse.down();
    await move_to(600, 250);
    await move_to(720, 300);
    assert.equal(await page.locator('#palette-ghost').evaluate((e) => [e.hidden, e.dataset.over].join()), 'false,0');
    await page.mouse.up();
    // Centred where it is dropped, at the size a placement without one takes.
    const [x, y] = [720 - width / 2, 300 - height / 2];
    assert.deepEqual(await lines.wait(1), [`add Corvelain_Instr!Tachometer Window00 ${x} ${y}`]);
    await wait_placed('Tachometer#2', {x, y, width, height});
    await page.waitForFunction(() => window.panelEdit.selected.join() === 'Tachometer#2');

    const removing = watch_lines();
    await page.keyboard.press('Delete');
    assert.deepEqual(await removing.wait(1), ['remove Tachometer#2']);
    await page.waitForFunction(() => !document.querySelector('.gauge-box[data-ref="Tachometer#2"]'));
  });

  test('Ctrl-Z undoes, Ctrl-Shift-Z and Ctrl-Y redo', async () => {
    const {page} = session;
    const g = gauge_of(await state(), 0, 'Voltmeter');
    await click_at(...centre(g));
    const steps = [
      ['ArrowRight', 'move Voltmeter 931 402', 931],
      ['Control+z', 'undo', 930],
      ['Control+Shift+Z', 'redo', 931],
      ['Control+z', 'undo', 930],
      ['Control+y', 'redo', 931],
    ];
    for (const [key, line, x] of steps) {
      const lines = watch_lines();
      await page.keyboard.press(key);
      assert.deepEqual(await lines.wait(1), [line]);
      await wait_placed('Voltmeter', {x});
    }
  });

  test('a field of the side box sends its edit', async () => {
    const {page} = session;
    const g = gauge_of(await state(), 0, 'Carburetor_Temp');
    await click_at(...centre(g));
    const lines = watch_lines();
    await page.fill('#edit-y', '300');
    await page.press('#edit-y', 'Enter');
    await page.fill('#edit-w', '60');
    await page.press('#edit-w', 'Enter');
    assert.deepEqual(await lines.wait(2), ['move Carburetor_Temp 840 300', 'resize Carburetor_Temp 60 88']);
    await wait_placed('Carburetor_Temp', {y: 300, width: 60});
    await page.locator('#edit-w').blur();
  });

  test('a window\'s size fields send its edit', async () => {
    const {page} = session;
    // An empty place chooses the window and no gauge.
    await click_at(1015, 595);
    assert.equal(await page.textContent('#edit-selected'), 'nothing selected');
    assert.equal(await page.inputValue('#edit-window-w'), '1024');
    const lines = watch_lines();
    await page.fill('#edit-window-w', '1000');
    await page.press('#edit-window-w', 'Enter');
    assert.deepEqual(await lines.wait(1), ['window Window00 size 1000 600']);
    await page.waitForFunction(() => document.querySelector('canvas.picture[data-window="0"]').width === 1000);
    assert.equal((await state()).windows[0].width, 1000);
    await page.locator('#edit-window-w').blur();
  });
});
