// The module's clicks on the page, in Chromium with its own autoplay rule
// (no flag lifts it): a click on the battery switch plays, through Web
// Audio, the recording the server serves for its `sound` event, which is
// the module's switch click; nothing plays before the page's first click,
// nor while muted. Every test leaves the battery and the electricity window
// as it found them.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {after, before, describe, test} from 'node:test';

import {open_browser} from './browser.mjs';
import {gauge_of, get_json, open_panel, point_over, post, root, server_url, set_window_open, window_by_ident}
  from './panel_page.mjs';

const url = server_url;
let browser;
let state;
let electricity;
let battery;

// Runs in the page before its own script: notes every buffer started (its
// size, rate and a checksum of its samples, how it was started), every
// AudioContext the page makes and every decoding, and whether the browser
// would let a page's audio run at load, before any gesture.
function watch_audio() {
  window.audioLog = {starts: [], contexts: 0, decodes: 0, at_load: null};
  // FNV-1a over the samples' bits: equal only for the very same samples.
  window.audioChecksum = (buffer) => {
    let hash = 2166136261;
    for (let c = 0; c < buffer.numberOfChannels; ++c) {
      for (const bits of new Uint32Array(buffer.getChannelData(c).slice().buffer)) {
        hash = Math.imul(hash ^ bits, 16777619) >>> 0;
      }
    }
    return hash;
  };
  const Real = window.AudioContext;
  window.addEventListener('DOMContentLoaded', () => {
    const probe = new Real();
    window.audioLog.at_load = probe.state;
    probe.close();
  });
  window.AudioContext = class extends Real {
    constructor(...args) {
      super(...args);
      window.audioLog.contexts += 1;
    }
  };
  const decode = BaseAudioContext.prototype.decodeAudioData;
  BaseAudioContext.prototype.decodeAudioData = function (...args) {
    window.audioLog.decodes += 1;
    return decode.apply(this, args);
  };
  const start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function (...args) {
    const b = this.buffer;
    window.audioLog.starts.push({
      args,
      loop: this.loop,
      length: b.length,
      sample_rate: b.sampleRate,
      channels: b.numberOfChannels,
      checksum: window.audioChecksum(b),
      context: this.context.state,
      id: window.panelStats.sounds.last,
    });
    return start.apply(this, args);
  };
}

// The "fmt " and "data" chunks of a RIFF WAVE file.
function wave_chunks(bytes) {
  assert.equal(bytes.toString('latin1', 0, 4), 'RIFF');
  assert.equal(bytes.toString('latin1', 8, 12), 'WAVE');
  assert.equal(bytes.readUInt32LE(4), bytes.length - 8, 'the RIFF size');
  const chunks = {};
  for (let at = 12; at + 8 <= bytes.length;) {
    const size = bytes.readUInt32LE(at + 4);
    chunks[bytes.toString('latin1', at, at + 4)] = bytes.subarray(at + 8, at + 8 + size);
    at += 8 + size + (size & 1);
  }
  return chunks;
}

before(async () => {
  assert.ok(url, 'CORVELAIN_URL names the running server (tests/browser/run.sh sets it)');
  browser = await open_browser();
  state = await get_json(url, 'state');
  electricity = window_by_ident(state, 30);
  battery = gauge_of(state, electricity.window, 'Battery_Switch');
});

after(async () => {
  await browser?.close();
});

async function audio_page() {
  const page = await browser.context.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  await page.addInitScript(watch_audio);
  await open_panel(page, url);
  return {page, problems};
}

async function click_battery(page) {
  const at = await point_over(page, electricity.window, battery, 20, 30);
  await page.mouse.click(at.x, at.y);
}

// Waits until the page has been told of `count` sounds in all.
async function wait_heard(page, count) {
  await page.waitForFunction((n) => window.panelStats.sounds.heard >= n, count, {timeout: 10000, polling: 50});
}

async function wait_started(page, count) {
  await page.waitForFunction((n) => window.audioLog.starts.length >= n, count, {timeout: 10000, polling: 50});
}

describe('sound', () => {
  test('a click on the battery switch plays the module\'s switch click, from its start, once', async () => {
    const {page, problems} = await audio_page();
    try {
      assert.equal(await page.getAttribute('#sound-mute', 'data-sound'), 'waiting');
      await set_window_open(page, electricity.window, true);
      await click_battery(page);
      await wait_started(page, 1);
      await click_battery(page);
      await wait_started(page, 2);
      await wait_heard(page, 2);
      const log = await page.evaluate(() => window.audioLog);
      assert.equal(log.at_load, 'suspended', 'the browser lets no audio run before a gesture');
      assert.equal(log.contexts, 1);
      assert.equal(log.decodes, 1, 'the recording is decoded once for both clicks');
      const [first, second] = log.starts;
      assert.equal(log.starts.length, 2);
      assert.deepEqual(second, first);
      assert.deepEqual(first.args, [], 'started now, from its start, to its end');
      assert.equal(first.loop, false);
      assert.equal(first.context, 'running');
      assert.equal(await page.getAttribute('#sound-mute', 'data-sound'), 'on');

      // What the server serves for the sound is the module's recording.
      const response = await fetch(new URL(`sound/${first.id}.wav`, url));
      assert.equal(response.status, 200);
      assert.equal(response.headers.get('content-type'), 'audio/wav');
      const served = wave_chunks(Buffer.from(await response.arrayBuffer()));
      const recorded = wave_chunks(fs.readFileSync(path.join(root, 'resources/switch_click.wav')));
      assert.deepEqual(served['fmt '], recorded['fmt '].subarray(0, 16));
      assert.ok(served.data.equals(recorded.data), 'the served samples are the switch click\'s');

      // The page played those samples: the served file decoded at the rate
      // the page played it at holds the very samples started, as long as
      // the recording lasts.
      const decoded = await page.evaluate(
        async ([id, rate]) => {
          const bytes = await (await fetch(`sound/${id}.wav`)).arrayBuffer();
          const buffer = await new OfflineAudioContext(1, 1, rate).decodeAudioData(bytes);
          return {length: buffer.length, checksum: window.audioChecksum(buffer)};
        },
        [first.id, first.sample_rate],
      );
      assert.deepEqual(decoded, {length: first.length, checksum: first.checksum});
      const rate = recorded['fmt '].readUInt32LE(4);
      const align = recorded['fmt '].readUInt16LE(12);
      const seconds = recorded.data.length / align / rate;
      assert.ok(Math.abs(first.length / first.sample_rate - seconds) <= 2 / first.sample_rate,
                `played ${first.length / first.sample_rate} s of a ${seconds} s recording`);
      assert.deepEqual(problems, []);
    } finally {
      await set_window_open(page, electricity.window, false);
      await page.close();
    }
  });

  test('before any click on the page, a click from elsewhere plays nothing', async () => {
    const {page, problems} = await audio_page();
    const heard = await page.evaluate(() => window.panelStats.sounds.heard);
    try {
      assert.equal((await post(url, 'command', 'open 30')).status, 200);
      for (let i = 1; i <= 2; ++i) {
        assert.equal((await post(url, 'command', 'click Battery_Switch 20 30')).status, 200);
        await wait_heard(page, heard + i);
      }
      // Long enough for a recording to be fetched and decoded.
      await page.waitForTimeout(300);
      const log = await page.evaluate(() => window.audioLog);
      assert.equal(log.at_load, 'suspended');
      assert.deepEqual([log.contexts, log.decodes, log.starts.length], [0, 0, 0]);
      assert.equal(await page.getAttribute('#sound-mute', 'data-sound'), 'waiting');
      assert.deepEqual(problems, []);
    } finally {
      await post(url, 'command', 'close 30');
      await page.close();
    }
  });

  test('muted, a click plays nothing; unmuted, it plays again', async () => {
    const {page, problems} = await audio_page();
    try {
      await set_window_open(page, electricity.window, true);
      await page.click('#sound-mute');
      assert.equal(await page.getAttribute('#sound-mute', 'aria-pressed'), 'true');
      assert.equal(await page.getAttribute('#sound-mute', 'data-sound'), 'muted');
      const heard = await page.evaluate(() => window.panelStats.sounds.heard);
      await click_battery(page);
      await wait_heard(page, heard + 1);
      await page.waitForTimeout(300);
      assert.equal(await page.evaluate(() => window.audioLog.starts.length), 0);

      await page.click('#sound-mute');
      assert.equal(await page.getAttribute('#sound-mute', 'aria-pressed'), 'false');
      await click_battery(page);
      await wait_started(page, 1);
      const log = await page.evaluate(() => window.audioLog);
      assert.equal(log.starts.length, 1);
      assert.equal(log.contexts, 1);
      assert.equal(log.starts[0].context, 'running');
      assert.deepEqual(problems, []);
    } finally {
      await set_window_open(page, electricity.window, false);
      await page.close();
    }
  });
});
