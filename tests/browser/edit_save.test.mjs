// Saving the edits from the page: only the edited lines of the panel file
// change; a file changed on disk under unsaved edits is neither saved over
// nor read over them, and the page says so and offers to read it.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import {describe, test} from 'node:test';

import {centre, edit_session} from './edit_page.mjs';
import {gauge_of} from './panel_page.mjs';

const session = edit_session();
const {state, watch_lines, wait_placed, click_at, drag} = session;

describe('saving from the page', () => {
  test('Ctrl-S saves: only the moved gauge\'s line changes, the file as it was kept as .bak', async () => {
    const {page} = session;
    const g = gauge_of(await state(), 0, 'Tachometer');
    const lines = watch_lines();
    await drag(...centre(g), 120, -150, ['Alt']);
    await wait_placed('Tachometer', {x: 510, y: 252});
    await page.locator('#unsaved-mark').waitFor();
    await page.keyboard.press('Control+s');
    assert.deepEqual(await lines.wait(2), ['move Tachometer 510 252', 'save']);
    await page.locator('#unsaved-mark').waitFor({state: 'hidden'});
    const before = session.original.split('\n');
    const now = fs.readFileSync(session.panel_file, 'utf8').split('\n');
    assert.equal(now.length, before.length);
    const changed = before.flatMap((line, i) => (line === now[i] ? [] : [[line, now[i]]]));
    assert.deepEqual(changed, [['gauge31=Corvelain_Instr!Tachometer, 390, 402, 88, 88',
                                'gauge31=Corvelain_Instr!Tachometer, 510, 252, 88, 88']]);
    assert.equal(fs.readFileSync(`${session.panel_file}.bak`, 'utf8'), session.original);
    assert.equal((await state()).unsaved, false);
  });

  test('a file changed on disk under unsaved edits: the page asks, a save is refused and says why', async () => {
    const {page} = session;
    const g = gauge_of(await state(), 0, 'Tachometer');
    await click_at(...centre(g));
    const lines = watch_lines();
    await page.keyboard.press('ArrowDown');
    await lines.wait(1);
    await wait_placed('Tachometer', {y: 253});
    const elsewhere = fs.readFileSync(session.panel_file, 'utf8') + '// changed in another editor\n';
    fs.writeFileSync(session.panel_file, elsewhere);
    // The server holds the reload back, and the page asks.
    await page.locator('#reload-waiting').waitFor({timeout: 10000});
    assert.equal((await state()).reload_waiting, true);

    const saving = watch_lines();
    await page.keyboard.press('Control+s');
    assert.deepEqual(await saving.wait(1), ['save']);
    const error = page.locator('#edit-error');
    await error.waitFor();
    assert.match(await error.textContent(), /panel\.cfg: changed on disk since it was read; not saved/);
    assert.equal(fs.readFileSync(session.panel_file, 'utf8'), elsewhere);

    // Throwing the edits away reads the file as it is on disk.
    const generation = (await state()).generation;
    await page.click('#edit-discard');
    await page.locator('#reload-waiting').waitFor({state: 'hidden'});
    await wait_placed('Tachometer', {y: 252});
    const s = await state();
    assert.equal(s.unsaved, false);
    assert.equal(s.reload_waiting, false);
    assert.ok(s.generation > generation);
    assert.equal(fs.readFileSync(session.panel_file, 'utf8'), elsewhere);
    assert.equal(await page.locator('#unsaved-mark').isHidden(), true);
    assert.deepEqual(session.problems, []);
  });
});
