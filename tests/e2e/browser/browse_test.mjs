// A real browser on the site of `sarvo-cli serve`: Debian's chromium, driven by playwright-core, opens
// the home page, follows a folder, a sub-folder, "Parent Folder" and "Home", and downloads a file whose
// name holds a blank, a '#' and a UTF-8 letter. The listing's screenshot is kept as an artefact.
//
// Usage: node browse_test.mjs PATH_TO_SARVO_CLI ARTEFACT_DIR
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { randomBytes } from 'node:crypto';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { test } from 'node:test';
import { chromium } from 'playwright-core';

const [cli, artefactDir] = process.argv.slice(2);
if (!cli || !artefactDir) {
  console.error('usage: node browse_test.mjs PATH_TO_SARVO_CLI ARTEFACT_DIR');
  process.exit(2);
}

const CHROMIUM = process.env.SARVO_CHROMIUM || '/usr/bin/chromium';
const CHROMIUM_FLAGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];
const SERVE_START_LIMIT_MS = 15000;
const DOWNLOAD_NAME = 'my file #1 \u00e9t\u00e9.bin';

function freePort() {
  return new Promise((resolve, reject) => {
    const probe = createServer();
    probe.once('error', reject);
    probe.listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

// Starts `sarvo-cli serve` and waits for the line that says it listens.
function startServer(env, port) {
  const server = spawn(cli, ['serve'], { env, stdio: ['ignore', 'pipe', 'pipe'] });
  let output = '';
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => {
      server.kill('SIGKILL');
      reject(new Error(`serve did not start: ${output}`));
    }, SERVE_START_LIMIT_MS);
    const watch = (chunk) => {
      output += chunk;
      if (output.includes(`Server is working on port ${port}`)) {
        clearTimeout(timer);
        resolve(server);
      }
    };
    server.stdout.on('data', watch);
    server.stderr.on('data', watch);
    server.once('exit', (code) => {
      clearTimeout(timer);
      reject(new Error(`serve exited with ${code}: ${output}`));
    });
  });
}

function stopServer(server) {
  return new Promise((resolve) => {
    if (server.exitCode !== null) return resolve();
    server.once('exit', resolve);
    server.kill('SIGTERM');
  });
}

test('a browser walks the site and downloads a file with an awkward name', async (t) => {
  const home = mkdtempSync(join(tmpdir(), 'sarvo-browser-'));
  t.after(() => rmSync(home, { recursive: true, force: true }));
  const env = { ...process.env, SARVO_HOME: home };
  const folder = join(home, 'shared');
  mkdirSync(join(folder, 'sub', 'deeper'), { recursive: true });
  writeFileSync(join(folder, 'readme.txt'), 'top level\n');
  writeFileSync(join(folder, 'sub', 'inner.txt'), 'inside the sub-folder\n');
  const downloadBytes = randomBytes(70000);
  writeFileSync(join(folder, 'sub', DOWNLOAD_NAME), downloadBytes);

  const port = await freePort();
  const run = (...args) => execFileSync(cli, args, { env, stdio: 'ignore', timeout: 30000 });
  run('set', 'listen_ip', '127.0.0.1');
  run('set', 'listen_port', String(port));
  run('share', 'add', 'files', folder, '--subfolders', '--desc', 'Shared files');
  const server = await startServer(env, port);
  t.after(() => stopServer(server));

  const profile = join(home, 'chromium-profile');
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    chromiumSandbox: false,
    args: CHROMIUM_FLAGS,
    acceptDownloads: true,
  });
  t.after(() => context.close());
  const page = context.pages()[0] ?? (await context.newPage());
  const site = `http://127.0.0.1:${port}`;

  await page.goto(`${site}/`);
  assert.equal(await page.title(), 'Welcome to My Website!');
  assert.equal(await page.locator('h4').innerText(), 'Welcome to My Website!');
  assert.equal(await page.locator('td', { hasText: 'Shared files' }).count(), 1);

  await page.click('a[href="/files/"]');
  await page.waitForURL(`${site}/files/`);
  assert.equal(await page.title(), 'files');
  assert.equal(await page.locator('h5').innerText(), '[files]');
  assert.equal(await page.locator('a', { hasText: 'Parent Folder' }).count(), 0);

  await page.click('text=[sub]');
  await page.waitForURL(`${site}/files/sub/`);
  assert.equal(await page.title(), 'sub');
  assert.ok(await page.locator('a', { hasText: '[deeper]' }).isVisible());
  // The name shows as it is; its link is escaped where a browser would misread it.
  const link = page.locator('a', { hasText: DOWNLOAD_NAME });
  assert.equal(await link.count(), 1);
  assert.equal(await link.getAttribute('href'), 'my%20file%20%231%20\u00e9t\u00e9.bin');
  mkdirSync(artefactDir, { recursive: true });
  const screenshot = join(artefactDir, 'browser-listing.png');
  await page.screenshot({ path: screenshot, fullPage: true });

  const [download] = await Promise.all([page.waitForEvent('download'), link.click()]);
  assert.equal(download.suggestedFilename(), DOWNLOAD_NAME);
  const saved = await download.path();
  assert.ok(saved, `download failed: ${await download.failure()}`);
  assert.ok(readFileSync(saved).equals(downloadBytes), 'downloaded bytes differ from the file');

  await page.click('text=Parent Folder');
  await page.waitForURL(`${site}/files/`);
  assert.equal(await page.title(), 'files');

  await page.click('text=Home');
  await page.waitForURL(`${site}/`);
  assert.equal(await page.title(), 'Welcome to My Website!');
  console.log(`screenshot: ${screenshot}`);
});
