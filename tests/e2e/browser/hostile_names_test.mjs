// A real browser on pages that show hostile names and texts: Debian's chromium, driven by
// playwright-core, opens the home page (site title, introduction, a share's description, a published
// file's name), a folder's listing (file names, and the title of an uploaded page) and the result of
// posting a file whose name holds markup. No dialog may open, no element of their markup may exist in
// a page, and hovering every link runs nothing. The listing's screenshot is kept as an artefact.
//
// Usage: node hostile_names_test.mjs PATH_TO_SARVO_CLI ARTEFACT_DIR
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { commandLine, keepScreenshot, serveAndBrowse, temporaryHome } from './serve_and_browse.mjs';

const [cli, artefactDir] = commandLine('hostile_names_test.mjs', ['PATH_TO_SARVO_CLI', 'ARTEFACT_DIR']);

const FILE_NAMES = ['<img src=x onerror=alert(1)>.txt', '"onmouseover=alert(2)".txt', '&amp;.txt'];
const DESCRIPTION = '<script>alert(3)</script>';
const PAGE_TITLE = '<img src=x onerror=alert(4)>';
const SITE_TITLE = '<script>alert(5)</script>';
const INTRODUCTION = '<b onclick=alert(6) onmouseover=alert(6)>intro</b>';
const PUBLISHED_FILE = '<i onmouseover=alert(8)>.txt';

// Elements that only the hostile markup would create.
const THEIR_ELEMENTS = 'img[src="x"], [onerror], [onmouseover], b[onclick], script:not([language])';

async function checkPage(page, dialogs, what) {
  assert.equal(await page.locator(THEIR_ELEMENTS).count(), 0, `${what}: an element of their markup exists`);
  for (const link of await page.locator('a').all()) await link.hover({ timeout: 2000 }).catch(() => {});
  await page.waitForTimeout(200);
  assert.deepEqual(dialogs, [], `${what}: a dialog opened`);
}

test('pages show hostile names as text and run none of their markup', async (t) => {
  const session = temporaryHome(t, 'sarvo-browser-hostile-');
  const { home, env } = session;
  const folder = join(home, 'shared');
  mkdirSync(folder, { recursive: true });
  for (const name of FILE_NAMES) writeFileSync(join(folder, name), 'x');
  writeFileSync(join(folder, 'report.htm'), `<html><title>${PAGE_TITLE}</title></html>`);
  const published = join(home, PUBLISHED_FILE);
  writeFileSync(published, 'p');
  const run = (...args) => execFileSync(cli, args, { env, stdio: 'ignore', timeout: 30000 });
  run('set', 'mainpagetitle', SITE_TITLE);
  run('set', 'siteintro', INTRODUCTION);
  run('publish', published);

  const { page, site } = await serveAndBrowse(session, {
    cli, shares: [['share', folder, '--post', '--desc', DESCRIPTION]],
  });
  const dialogs = [];
  page.on('dialog', (dialog) => {
    dialogs.push(dialog.message());
    dialog.dismiss().catch(() => {});
  });

  await page.goto(`${site}/`);
  const homeText = await page.locator('body').innerText();
  for (const text of [SITE_TITLE, INTRODUCTION, DESCRIPTION, PUBLISHED_FILE]) {
    assert.ok(homeText.includes(text), `home page does not show ${text}`);
  }
  await checkPage(page, dialogs, 'home page');

  await page.goto(`${site}/share/`);
  const listing = await page.locator('body').innerText();
  for (const text of [...FILE_NAMES, PAGE_TITLE]) assert.ok(listing.includes(text), `listing does not show ${text}`);
  await checkPage(page, dialogs, 'listing');
  const screenshot = await keepScreenshot(page, artefactDir, 'browser-hostile-names.png');

  await page.goto(`${site}/share/?postfile`);
  await page.setInputFiles('#path', { name: FILE_NAMES[0], mimeType: 'text/plain', buffer: Buffer.from('y') });
  await Promise.all([page.waitForResponse((response) => response.request().method() === 'POST'),
    page.click('#send')]);
  await page.waitForLoadState('load');
  assert.ok((await page.locator('#st').innerText()).includes(FILE_NAMES[0]), 'the result does not name the file');
  await checkPage(page, dialogs, 'upload result');
  console.log(`screenshot: ${screenshot}`);
});
