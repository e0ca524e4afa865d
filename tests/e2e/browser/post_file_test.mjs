// A real browser posts a file: Debian's chromium, driven by playwright-core, opens a folder's listing,
// follows "Post a File", chooses a binary file through the page's own form, sends it, and the folder
// then holds the same bytes while the page shows the result line. Choosing the next file clears the
// line, as the page's script says. The page's screenshot is kept as an artefact.
//
// Usage: node post_file_test.mjs PATH_TO_SARVO_CLI ARTEFACT_DIR
import assert from 'node:assert/strict';
import { randomBytes } from 'node:crypto';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { commandLine, keepScreenshot, serveAndBrowse, temporaryHome } from './serve_and_browse.mjs';

const [cli, artefactDir] = commandLine('post_file_test.mjs', ['PATH_TO_SARVO_CLI', 'ARTEFACT_DIR']);
const UPLOAD_NAME = 'upload test \u00fc.bin';
const UPLOAD_SIZE = 300000;

// Random bytes with line breaks, dashes and a boundary-like text in them, which the server must
// not take for the end of the part.
function awkwardBytes(size) {
  const bytes = randomBytes(size);
  const traps = Buffer.from('\r\n------WebKitFormBoundary\r\n--\r\n\r\n');
  for (const at of [0, 1000, 8190, 65530, size - traps.length]) traps.copy(bytes, at);
  return bytes;
}

test('a browser posts a binary file through the Post a File form', async (t) => {
  const session = temporaryHome(t, 'sarvo-browser-post-');
  const { home } = session;
  const folder = join(home, 'inbox');
  const sources = join(home, 'sources');
  mkdirSync(folder, { recursive: true });
  mkdirSync(sources, { recursive: true });
  const uploadBytes = awkwardBytes(UPLOAD_SIZE);
  const uploadPath = join(sources, UPLOAD_NAME);
  writeFileSync(uploadPath, uploadBytes);
  const secondPath = join(sources, 'second.bin');
  writeFileSync(secondPath, randomBytes(10));

  const { page, site } = await serveAndBrowse(session, { cli, shares: [['inbox', folder, '--post']] });

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

  const screenshot = await keepScreenshot(page, artefactDir, 'browser-post-file.png');

  // Choosing another file runs the page's clrst(), which empties the result line.
  await page.setInputFiles('#path', secondPath);
  assert.equal(await status.innerText(), '');
  console.log(`screenshot: ${screenshot}`);
});
