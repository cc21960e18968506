// What the live panel costs as a user sees it, in Debian's Chromium: not a
// test, nothing here passes or fails on a figure.
//
//   node benchmarks/serve_bench.mjs HOST_PROGRAM [--quick] [--rows]
//
// S1: at each clock rate, with the main panel's instruments driven, whether
//     the page drew every frame in which the main window changed (frames
//     the page drew only folded into a later one count as missed); the
//     highest rate with none missed.
// S2: clicks on the battery switch from the page, at 60 and at 18 frames a
//     second: from the page sending the line to the switch's new pixels on
//     the canvas, 95th percentile.
// S3: the server's CPU time (utime + stime of /proc/PID/stat) per frame it
//     delivered, over each S1 run.
// Uses the npm packages of tests/browser (npm ci there). --rows prints only
// the rows of scripts/bench.sh's table.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import {open_browser} from '../tests/browser/browser.mjs';
import {start_server} from '../tests/browser/serve.mjs';

const here = import.meta.dirname;
const root = path.resolve(here, '..');
const args = process.argv.slice(2);
const host = args.find((a) => !a.startsWith('--'));
const quick = args.includes('--quick');
const rows_only = args.includes('--rows');
if (!host) {
  console.error('usage: node benchmarks/serve_bench.mjs HOST_PROGRAM [--quick] [--rows]');
  process.exit(2);
}

const rates = [18, 30, 60, 90, 120];
const measure_s = quick ? 1.5 : 5;
const settle_s = quick ? 0.5 : 1;
const clicks = quick ? 40 : 200;
const commands_per_s = 60;
const ticks_per_second = 100;  // USER_HZ on Linux

function progress(text) {
  process.stderr.write(`serve_bench: ${text}\n`);
}

function cpu_seconds(pid) {
  const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
  // The fields after the command name, which is in parentheses.
  const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
  return (Number(fields[11]) + Number(fields[12])) / ticks_per_second;
}

async function post(url, what, body) {
  const response = await fetch(new URL(what, url), {method: 'POST', body});
  const text = await response.text();
  if (!response.ok) throw new Error(`${what} ${body}: ${response.status} ${text}`);
  return text;
}

async function get_json(url, what) {
  const response = await fetch(new URL(what, url));
  return response.json();
}

// Keeps the instruments of the main panel moving: the engine running on its
// own model, its throttle and both tanks jumping every 3 s (the needles then
// sweep, the fuel dials at their turn-rate limit), and the flight and
// heading values set along slow waves, `commands_per_s` lines a second.
function drive(url, commands_per_s) {
  const sweeps = [
    ['AIRSPEED', 40, 160],
    ['ALTITUDE', 0, 9000],
    ['VERTICAL_SPEED', -1500, 1500],
    ['PITCH', -15, 15],
    ['BANK', -30, 30],
    ['TURN_RATE', -1200, 1200],
    ['TURN_BALL', -100, 100],
    ['MAGNETIC_HEADING', 0, 359],
    ['GYRO_HEADING', 0, 359],
    ['VOR1_COURSE', 0, 359],
    ['OUTSIDE_AIR_TEMPERATURE', -20, 40],
    ['FLAPS_POSITION', 0, 16384],
  ];
  let running = true;
  let sent = 0;
  let in_flight = 0;
  let next = 0;
  let jumps = 0;
  const started = performance.now();
  const send = (line) => {
    in_flight += 1;
    post(url, 'command', line)
      .then(() => (sent += 1), () => {})
      .finally(() => (in_flight -= 1));
  };
  const tick = () => {
    if (!running) return;
    const t = (performance.now() - started) / 1000;
    if (Math.floor(t / 3) >= jumps) {
      const high = jumps % 2 === 0;
      jumps += 1;
      send(`set THROTTLE_LEVER ${high ? 16384 : 2000}`);
      send(`set FUEL_LEFT_LEVEL ${high ? 8000000 : 500000}`);
      send(`set FUEL_RIGHT_LEVEL ${high ? 500000 : 8000000}`);
    }
    const due = Math.floor(t * commands_per_s);
    while (next < due && in_flight < 8) {
      const [name, low, high] = sweeps[next % sweeps.length];
      const phase = (next % sweeps.length) / sweeps.length;
      const value = low + ((high - low) * (1 + Math.sin(2 * Math.PI * (t / 6 + phase)))) / 2;
      send(`set ${name} ${value.toFixed(2)}`);
      next += 1;
    }
    next = Math.max(next, due);
    setTimeout(tick, 5);
  };
  tick();
  return {
    async stop() {
      running = false;
      while (in_flight > 0) await new Promise((resolve) => setTimeout(resolve, 10));
      return sent;
    },
  };
}

async function start_engine(url) {
  for (const line of [
    'set BATTERY_MASTER 1',
    'set FUEL_VALVE 1',
    'set MIXTURE_LEVER 16384',
    'set THROTTLE_LEVER 9000',
    'set MAGNETO_LEFT 1',
    'set MAGNETO_RIGHT 1',
    'set ENGINE_RPM 900',
    'set GENERATOR_SWITCH 1',
    'seconds 2',
  ]) {
    await post(url, 'command', line);
  }
}

function page_counts(page) {
  return page.evaluate(() => {
    const w = window.panelStats.windows[0] || {};
    return {draws: w.draws || 0, tiles: w.tiles || 0, opens: w.fetches || 0,
            draw_ms: w.draw_ms || 0, named: (w.named_frames || []).slice(),
            drawn: (w.drawn_frames || []).slice()};
  });
}

// Of the frames named between two frame numbers, those that no draw showed
// as they were: a draw shows named frame N when its frame is N or later but
// before the next named frame.
function missed_frames(named, drawn, from, to) {
  const frames = [...new Set(named)].sort((a, b) => a - b);
  const draws = [...new Set(drawn)].sort((a, b) => a - b);
  let missed = 0;
  let counted = 0;
  let d = 0;
  for (let i = 0; i < frames.length; ++i) {
    const n = frames[i];
    if (n <= from || n > to) continue;
    counted += 1;
    const next = i + 1 < frames.length ? frames[i + 1] : Infinity;
    while (d < draws.length && draws[d] < n) ++d;
    if (!(d < draws.length && draws[d] < next)) missed += 1;
  }
  return {missed, counted};
}

async function s1_s3(server, page) {
  const results = [];
  const url = server.url;
  // The page, the server and the driver warmed up first.
  const warm = drive(url, commands_per_s);
  await new Promise((resolve) => setTimeout(resolve, 2000));
  await warm.stop();
  for (const rate of rates) {
    await post(url, 'clock', `rate ${rate}`);
    const driver = drive(url, commands_per_s);
    await new Promise((resolve) => setTimeout(resolve, settle_s * 1000));
    const state0 = await get_json(url, 'state');
    const counts0 = await page_counts(page);
    const cpu0 = cpu_seconds(server.pid);
    const t0 = performance.now();
    await new Promise((resolve) => setTimeout(resolve, measure_s * 1000));
    const cpu1 = cpu_seconds(server.pid);
    const t1 = performance.now();
    const counts1 = await page_counts(page);
    const state1 = await get_json(url, 'state');
    const lines = await driver.stop();
    // The frames of the measured stretch, judged once the draws that follow
    // its last frame are in.
    await new Promise((resolve) => setTimeout(resolve, 300));
    const after = await page_counts(page);
    const frames = state1.frame - state0.frame;
    const draws = counts1.draws - counts0.draws;
    const {missed, counted: named} = missed_frames(after.named, after.drawn, state0.frame, state1.frame);
    progress(`S1 at ${rate} frames/s: ${frames} frames, ${missed} of ${named} changed frames missed, ${lines} lines sent`);
    results.push({
      rate,
      fps: frames / ((t1 - t0) / 1000),
      frames,
      named,
      draws,
      missed,
      tiles_per_draw: draws ? (counts1.tiles - counts0.tiles) / draws : 0,
      opens: counts1.opens - counts0.opens,
      draw_ms: draws ? (counts1.draw_ms - counts0.draw_ms) / draws : 0,
      cpu_ms_per_frame: frames ? ((cpu1 - cpu0) * 1000) / frames : NaN,
      cpu_share: (cpu1 - cpu0) / ((t1 - t0) / 1000),
      lines,
    });
  }
  await post(url, 'clock', 'rate 18');
  return results;
}

// The server's CPU a delivered frame with the engine running and no line
// sent: the part of S3 that the driver's lines do not add.
async function s3_without_lines(server, page) {
  const url = server.url;
  const results = [];
  for (const rate of [18, 60]) {
    await post(url, 'clock', `rate ${rate}`);
    await new Promise((resolve) => setTimeout(resolve, settle_s * 1000));
    const f0 = (await get_json(url, 'state')).frame;
    const c0 = cpu_seconds(server.pid);
    await new Promise((resolve) => setTimeout(resolve, measure_s * 1000));
    const c1 = cpu_seconds(server.pid);
    const f1 = (await get_json(url, 'state')).frame;
    results.push({rate, cpu_ms_per_frame: f1 > f0 ? ((c1 - c0) * 1000) / (f1 - f0) : NaN});
  }
  await post(url, 'clock', 'rate 18');
  await page.waitForTimeout(100);
  return results;
}

async function s2(server, page, rate) {
  const url = server.url;
  await post(url, 'clock', `rate ${rate}`);
  const state = await get_json(url, 'state');
  const electricity = state.windows.find((w) => w.ident === 30);
  const battery = electricity.gauges.find((g) => g.ref === 'Battery_Switch');
  await page.locator(`#window-toggle-${electricity.window}`).check();
  await page.waitForFunction(
    (w) => Number(document.querySelector(`canvas.picture[data-window="${w}"]`)?.dataset.frame) > 0,
    electricity.window,
  );
  const canvas = page.locator(`canvas.picture[data-window="${electricity.window}"]`);
  const rect = await canvas.boundingBox();
  const point = {x: rect.x + battery.x + battery.width / 2, y: rect.y + battery.y + battery.height / 2};
  const box = {x: Math.floor(battery.x), y: Math.floor(battery.y), w: Math.round(battery.width),
               h: Math.round(battery.height)};
  const times = [];
  for (let i = 0; i < clicks; ++i) {
    // The page notes when the line goes out; the draw hook when the
    // switch's pixels first differ from what they were.
    await page.evaluate(([w, b]) => {
      const canvas = document.querySelector(`canvas.picture[data-window="${w}"]`);
      const context = canvas.getContext('2d');
      const before = context.getImageData(b.x, b.y, b.w, b.h).data;
      window.benchClick = {sent: 0, changed: 0};
      const original = window.fetch;
      window.fetch = (resource, options) => {
        if (String(resource) === 'command' && String(options?.body).startsWith('click ') && !window.benchClick.sent) {
          window.benchClick.sent = performance.now();
        }
        return original(resource, options);
      };
      window.benchRestore = () => (window.fetch = original);
      window.panelHooks.afterDraw = (index) => {
        if (index !== w || !window.benchClick.sent || window.benchClick.changed) return;
        const now = context.getImageData(b.x, b.y, b.w, b.h).data;
        for (let k = 0; k < now.length; ++k) {
          if (now[k] !== before[k]) {
            window.benchClick.changed = performance.now();
            return;
          }
        }
      };
    }, [electricity.window, box]);
    await page.mouse.click(point.x, point.y);
    await page.waitForFunction(() => window.benchClick.changed > 0, null, {polling: 10, timeout: 10000});
    const one = await page.evaluate(() => {
      window.benchRestore();
      window.panelHooks.afterDraw = null;
      return window.benchClick.changed - window.benchClick.sent;
    });
    times.push(one);
    if ((i + 1) % 20 === 0) progress(`S2: ${i + 1} clicks, the last ${one.toFixed(1)} ms`);
  }
  await page.locator(`#window-toggle-${electricity.window}`).uncheck();
  await post(url, 'clock', 'rate 18');
  times.sort((a, b) => a - b);
  const at = (q) => times[Math.min(times.length - 1, Math.ceil(q * times.length) - 1)];
  return {count: times.length, p50: at(0.5), p95: at(0.95), max: times[times.length - 1], rate: state.rate};
}

function fmt(n, digits = 1) {
  return Number.isFinite(n) ? n.toFixed(digits) : '-';
}

// A copy of the sample panel whose main window is 1024 x 768, the size the
// renderer's own figures are given at.
function panel_at_1024x768() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'corvelain-serve-bench-'));
  const sample = path.join(root, 'host/sample');
  for (const name of fs.readdirSync(sample)) fs.copyFileSync(path.join(sample, name), path.join(folder, name));
  const file = path.join(folder, 'panel.cfg');
  const text = fs.readFileSync(file, 'utf8');
  if (!text.includes('size_mm=1024,600')) throw new Error('the sample main window is no longer size_mm=1024,600');
  fs.writeFileSync(file, text.replace('size_mm=1024,600', 'size_mm=1024,768'));
  return {folder, file};
}

async function main() {
  const panel = panel_at_1024x768();
  const server = await start_server(host, ['--panel', panel.file, '--port', '0']);
  const browser = await open_browser({width: 1800, height: 1200});
  let s1_rows;
  let s2_fast;
  let s2_slow;
  let s3_quiet;
  let size = '';
  try {
    const page = browser.page;
    page.on('crash', () => progress('the page crashed'));
    page.on('pageerror', (error) => progress(`page error: ${error.message}`));
    await page.goto(server.url);
    await page.waitForFunction(() => Number(document.querySelector('canvas.picture[data-window="0"]')?.dataset.frame) > 0);
    const state = await get_json(server.url, 'state');
    size = `${state.windows[0].width}x${state.windows[0].height}`;
    await start_engine(server.url);
    progress(`engine started, main window ${size}`);
    s1_rows = await s1_s3(server, page);
    s3_quiet = await s3_without_lines(server, page);
    s2_fast = await s2(server, page, 60);
    s2_slow = await s2(server, page, 18);
  } finally {
    await browser.close();
    await server.stop();
    fs.rmSync(panel.folder, {recursive: true, force: true});
  }

  const clean = s1_rows.filter((r) => r.missed === 0).map((r) => r.rate);
  const best = clean.length ? Math.max(...clean) : 0;
  const per_rate = s1_rows.map((r) => `${r.rate}: ${r.missed}/${r.named}`).join(', ');
  const cpu = s1_rows.map((r) => `${r.rate}: ${fmt(r.cpu_ms_per_frame, 2)}`).join(', ');
  const quiet = s3_quiet.map((r) => `${r.rate}: ${fmt(r.cpu_ms_per_frame, 2)}`).join(', ');
  const s2_cell = (r) =>
    `${fmt(r.p95)} ms at the 95th percentile at ${r.rate} frames/s (median ${fmt(r.p50)}, max ${fmt(r.max)})`;
  const slow_goal = 1000 / 18 + 15;
  const at = (rows, rate) => rows.find((r) => r.rate === rate);
  const rows = [
    `| S1 | the page draws every frame of the main window (${size}), instruments moving, ${measure_s} s a rate | ` +
      `${best ? `every frame up to ${best} frames/s` : 'frames missed at every rate'} ` +
      `(missed/changed frames by rate: ${per_rate}) | every changed frame at 60 frames/s, none missed |`,
    `| S2 | a click on the battery switch from the page to its new pixels on the canvas (${s2_fast.count} clicks a rate) | ` +
      `${s2_cell(s2_fast)}; ${s2_cell(s2_slow)} | at most 35 ms at 60 frames/s; at most ${fmt(slow_goal)} ms ` +
      `(a frame period + 15 ms) at 18 |`,
    `| S3 | server CPU per frame delivered to the page (${size}), by rate (ms), with S1's ${commands_per_s} lines a second | ` +
      `${cpu}; without lines ${quiet} | at most 1.5 ms without lines, at most 3 ms with them ` +
      `(at 60 frames/s: ${fmt(at(s3_quiet, 60)?.cpu_ms_per_frame, 2)} and ${fmt(at(s1_rows, 60)?.cpu_ms_per_frame, 2)}) |`,
  ];
  if (rows_only) {
    console.log(rows.join('\n'));
    return;
  }
  console.log(`serve_bench: ${os.cpus()[0]?.model ?? 'unknown'}, ${os.cpus().length} cores${quick ? ', --quick' : ''}`);
  console.log('');
  console.log('| rate | frames/s run | frames | main window changed | drawn | missed | tiles a draw | ' +
              'streams opened | draw | server CPU | CPU a frame |');
  console.log('|---|---|---|---|---|---|---|---|---|---|---|');
  for (const r of s1_rows) {
    console.log(`| ${r.rate} | ${fmt(r.fps)} | ${r.frames} | ${r.named} | ${r.draws} | ${r.missed} | ` +
                `${fmt(r.tiles_per_draw)} | ${r.opens} | ${fmt(r.draw_ms)} ms | ` +
                `${fmt(r.cpu_share * 100, 0)} % | ${fmt(r.cpu_ms_per_frame, 2)} ms |`);
  }
  console.log('');
  console.log(`S1: highest rate with no frame missed: ${best || 'none'} (clean at: ${clean.join(', ') || 'none'})`);
  for (const r of [s2_fast, s2_slow])
    console.log(`S2: ${r.count} clicks at ${r.rate} frames/s: 95th percentile ${fmt(r.p95)} ms, ` +
                `median ${fmt(r.p50)} ms, max ${fmt(r.max)} ms`);
  console.log(`S3: server CPU per delivered frame: ${cpu} ms; with no line sent: ${quiet} ms`);
  console.log('');
  console.log('| figure | what | measured | goal |');
  console.log('|---|---|---|---|');
  console.log(rows.join('\n'));
}

main().catch((error) => {
  console.error(`serve_bench: ${error.stack || error}`);
  process.exit(1);
});
