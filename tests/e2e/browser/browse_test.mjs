// A real browser on the site of `sarvo-cli serve`: Debian's chromium, driven by playwright-core, opens
// the home page, follows a folder, a sub-folder, "Parent Folder" and "Home", and downloads a file whose
// name holds a blank, a '#' and a UTF-8 letter. The listing's screenshot is kept as an artefact.
//
// Usage: node browse_test.mjs PATH_TO_SARVO_CLI ARTEFACT_DIR
import assert from 'node:assert/strict';
import { randomBytes } from 'node:crypto';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { commandLine, keepScreenshot, serveAndBrowse, temporaryHome } from './serve_and_browse.mjs';

const [cli, artefactDir] = commandLine('browse_test.mjs', ['PATH_TO_SARVO_CLI', 'ARTEFACT_DIR']);
const DOWNLOAD_NAME = 'my file #1 \u00e9t\u00e9.bin';

test('a browser walks the site and downloads a file with an awkward name', async (t) => {
  const session = temporaryHome(t, 'sarvo-browser-');
  const { home } = session;
  const folder = join(home, 'shared');
  mkdirSync(join(folder, 'sub', 'deeper'), { recursive: true });
  writeFileSync(join(folder, 'readme.txt'), 'top level\n');
  writeFileSync(join(folder, 'sub', 'inner.txt'), 'inside the sub-folder\n');
  const downloadBytes = randomBytes(70000);
  writeFileSync(join(folder, 'sub', DOWNLOAD_NAME), downloadBytes);

  const { page, site } = await serveAndBrowse(session, {
    cli, shares: [['files', folder, '--subfolders', '--desc', 'Shared files']], acceptDownloads: true,
  });

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
  // The name shows as it is; its link percent-encodes every byte outside the unreserved set.
  const link = page.locator('a', { hasText: DOWNLOAD_NAME });
  assert.equal(await link.count(), 1);
  assert.equal(await link.getAttribute('href'), 'my%20file%20%231%20%C3%A9t%C3%A9.bin');
  const screenshot = await keepScreenshot(page, artefactDir, 'browser-listing.png');

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
