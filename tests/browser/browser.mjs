// Debian's Chromium, headless, with a fresh profile of its own each time; no
// browser is ever downloaded.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {chromium} from 'playwright-core';

export const chromium_path = '/usr/bin/chromium';

const chromium_args = [
  '--no-sandbox',
  '--headless',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

// A browser context with one page; close() also removes the profile.
export async function open_browser({width = 1600, height = 1000} = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'corvelain-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromium_path,
    headless: true,
    args: chromium_args,
    viewport: {width, height},
  });
  const page = context.pages()[0] || (await context.newPage());
  return {
    context,
    page,
    async close() {
      await context.close().catch(() => {});
      fs.rmSync(profile, {recursive: true, force: true});
    },
  };
}
