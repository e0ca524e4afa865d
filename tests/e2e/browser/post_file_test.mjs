// A real browser posts a file: Debian's chromium, driven by playwright-core, opens a folder's listing,
// follows "Post a File", chooses a binary file through the page's own form, sends it, and the folder
// then holds the same bytes while the page shows the result line. Choosing the next file clears the
// line, as the page's script says. The page's screenshot is kept as an artefact.
//
// Usage: node post_file_test.mjs PATH_TO_SARVO_CLI ARTEFACT_DIR
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
  console.error('usage: node post_file_test.mjs PATH_TO_SARVO_CLI ARTEFACT_DIR');
  process.exit(2);
}

const CHROMIUM = process.env.SARVO_CHROMIUM || '/usr/bin/chromium';
const CHROMIUM_FLAGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];
const SERVE_START_LIMIT_MS = 15000;
const UPLOAD_NAME = 'upload test \u00fc.bin';
const UPLOAD_SIZE = 300000;

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

// Random bytes with line breaks, dashes and a boundary-like text in them, which the server must
// not take for the end of the part.
function awkwardBytes(size) {
  const bytes = randomBytes(size);
  const traps = Buffer.from('\r\n------WebKitFormBoundary\r\n--\r\n\r\n');
  for (const at of [0, 1000, 8190, 65530, size - traps.length]) traps.copy(bytes, at);
  return bytes;
}

test('a browser posts a binary file through the Post a File form', async (t) => {
  const home = mkdtempSync(join(tmpdir(), 'sarvo-browser-post-'));
  t.after(() => rmSync(home, { recursive: true, force: true }));
  const env = { ...process.env, SARVO_HOME: home };
  const folder = join(home, 'inbox');
  const sources = join(home, 'sources');
  mkdirSync(folder, { recursive: true });
  mkdirSync(sources, { recursive: true });
  const uploadBytes = awkwardBytes(UPLOAD_SIZE);
  const uploadPath = join(sources, UPLOAD_NAME);
  writeFileSync(uploadPath, uploadBytes);
  const secondPath = join(sources, 'second.bin');
  writeFileSync(secondPath, randomBytes(10));

  const port = await freePort();
  const run = (...args) => execFileSync(cli, args, { env, stdio: 'ignore', timeout: 30000 });
  run('set', 'listen_ip', '127.0.0.1');
  run('set', 'listen_port', String(port));
  run('share', 'add', 'inbox', folder, '--post');
  const server = await startServer(env, port);
  t.after(() => stopServer(server));

  const context = await chromium.launchPersistentContext(join(home, 'chromium-profile'), {
    executablePath: CHROMIUM,
    headless: true,
    chromiumSandbox: false,
    args: CHROMIUM_FLAGS,
  });
  t.after(() => context.close());
  const page = context.pages()[0] ?? (await context.newPage());
  const site = `http://127.0.0.1:${port}`;

  await page.goto(`${site}/inbox/`);
  await page.click('a[href="?postfile"]');
  await page.waitForURL(`${site}/inbox/?postfile`);
  assert.equal(await page.title(), 'Post a File');
  assert.equal(await page.locator('a[href="/inbox/"]').innerText(), '/inbox/');
  const status = page.locator('#st');
  assert.equal(await status.innerText(), '\u00a0');

  await page.setInputFiles('#path', uploadPath);
  await Promise.all([page.waitForURL(`${site}/inbox/?postfile`, { waitUntil: 'load' }),
    page.waitForResponse((response) => response.request().method() === 'POST'),
    page.click('#send')]);
  assert.equal(await status.innerText(), `1 Files: ${UPLOAD_NAME} (300,000), OK`);
  assert.ok(readFileSync(join(folder, UPLOAD_NAME)).equals(uploadBytes), 'the stored file differs from the one sent');

  mkdirSync(artefactDir, { recursive: true });
  const screenshot = join(artefactDir, 'browser-post-file.png');
  await page.screenshot({ path: screenshot, fullPage: true });

  // Choosing another file runs the page's clrst(), which empties the result line.
  await page.setInputFiles('#path', secondPath);
  assert.equal(await status.innerText(), '');
  console.log(`screenshot: ${screenshot}`);
});
