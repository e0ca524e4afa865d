// What the browser tests share: a temporary SARVO_HOME, `sarvo-cli serve` on a free port of the
// loopback address, and Debian's chromium driven by playwright-core, all cleaned up when the test ends.
import { execFileSync, spawn } from 'node:child_process';
import { mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';

const CHROMIUM = process.env.SARVO_CHROMIUM || '/usr/bin/chromium';
const CHROMIUM_FLAGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];
const SERVE_START_LIMIT_MS = 15000;

// The command-line arguments named in names, or a usage message and exit code 2 when one is missing.
export function commandLine(script, names) {
  const values = process.argv.slice(2);
  if (values.length < names.length || values.some((value) => !value)) {
    console.error(`usage: node ${script} ${names.join(' ')}`);
    process.exit(2);
  }
  return values;
}

// A fresh SARVO_HOME and the environment that points at it. When the test t ends, what was started
// for it stops in reverse order (the browser before the server) and only then is the folder removed,
// since a running browser still writes into its profile there.
export function temporaryHome(t, prefix) {
  const home = mkdtempSync(join(tmpdir(), prefix));
  const cleanups = [() => rmSync(home, { recursive: true, force: true })];
  t.after(async () => {
    let failure;
    for (const cleanup of cleanups.reverse()) {
      try {
        await cleanup();
      } catch (error) {
        failure ??= error;
      }
    }
    if (failure) throw failure;
  });
  return { home, env: { ...process.env, SARVO_HOME: home }, cleanups };
}

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

// Starts `sarvo-cli serve` with the given options and waits for the line that says it listens.
function startServer(cli, env, port, serveOptions) {
  const server = spawn(cli, ['serve', ...serveOptions], { env, stdio: ['ignore', 'pipe', 'pipe'] });
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

// Adds each share (the arguments after `sarvo-cli share add`), starts the server on a free port (with
// serveOptions after `sarvo-cli serve`) and opens chromium with a profile inside the session's home
// (from temporaryHome). Server and browser stop when the session's test ends. Returns the browser
// context, its page and the site's address.
export async function serveAndBrowse({ home, env, cleanups },
  { cli, shares, acceptDownloads = false, serveOptions = [] }) {
  const port = await freePort();
  const run = (...args) => execFileSync(cli, args, { env, stdio: 'ignore', timeout: 30000 });
  run('set', 'listen_ip', '127.0.0.1');
  run('set', 'listen_port', String(port));
  for (const share of shares) run('share', 'add', ...share);
  const server = await startServer(cli, env, port, serveOptions);
  cleanups.push(() => stopServer(server));

  const context = await chromium.launchPersistentContext(join(home, 'chromium-profile'), {
    executablePath: CHROMIUM,
    headless: true,
    chromiumSandbox: false,
    args: CHROMIUM_FLAGS,
    acceptDownloads,
  });
  cleanups.push(() => context.close());
  const page = context.pages()[0] ?? (await context.newPage());
  return { context, page, site: `http://127.0.0.1:${port}` };
}

// Keeps a full-page screenshot in artefactDir under name and returns its path.
export async function keepScreenshot(page, artefactDir, name) {
  mkdirSync(artefactDir, { recursive: true });
  const path = join(artefactDir, name);
  await page.screenshot({ path, fullPage: true });
  return path;
}
