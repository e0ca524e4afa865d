// A real browser leaves a guestbook message: Debian's chromium, driven by playwright-core, opens
// /Guestbook/, types a text with letters beyond ASCII into the form's text area and sends it. The
// server runs in the CP1252 code page, so the message file must hold the text's CP1252 bytes, line
// breaks as the browser sent them (CR LF). The form page's screenshot is kept as an artefact.
//
// Usage: node guestbook_test.mjs PATH_TO_SARVO_CLI ARTEFACT_DIR
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { commandLine, keepScreenshot, serveAndBrowse, temporaryHome } from './serve_and_browse.mjs';

const [cli, artefactDir] = commandLine('guestbook_test.mjs', ['PATH_TO_SARVO_CLI', 'ARTEFACT_DIR']);
const MESSAGE = 'Grüße aus Köln – 5 € & <b>mehr</b>\nZweite Zeile: café';
// The same text in CP1252, with the browser's CR LF line break.
const STORED = Buffer.concat([
  Buffer.from('Gr', 'latin1'), Buffer.from([0xfc, 0xdf]), Buffer.from('e aus K', 'latin1'), Buffer.from([0xf6]),
  Buffer.from('ln ', 'latin1'), Buffer.from([0x96]), Buffer.from(' 5 ', 'latin1'), Buffer.from([0x80]),
  Buffer.from(' & <b>mehr</b>\r\nZweite Zeile: caf', 'latin1'), Buffer.from([0xe9]),
]);

test('a message typed into the guestbook form is stored in the code page', async (t) => {
  const session = temporaryHome(t, 'sarvo-browser-guestbook-');
  session.env.SARVO_CODEPAGE = 'CP1252';
  execFileSync(cli, ['set', 'EnableGuestbook', '1'], { env: session.env, stdio: 'ignore', timeout: 30000 });
  const { page, site } = await serveAndBrowse(session, { cli, shares: [] });

  await page.setViewportSize({ width: 800, height: 500 });
  await page.goto(`${site}/Guestbook/`);
  assert.equal(await page.title(), 'Guestbook');
  assert.equal(await page.locator('h5').innerText(), 'Drop A Message');
  const area = page.locator('#msg');
  const box = await area.boundingBox();
  assert.ok(box.width > 600 && box.height > 250, `the text area fills the page: ${JSON.stringify(box)}`);
  await area.fill(MESSAGE);
  const screenshot = await keepScreenshot(page, artefactDir, 'browser-guestbook-form.png');

  await Promise.all([page.waitForResponse((response) => response.request().method() === 'POST'),
    page.click('#send')]);
  await page.waitForLoadState('load');
  assert.equal(await page.locator('td[align="center"]').innerText(), 'Your message has been saved. Thank you.');
  await keepScreenshot(page, artefactDir, 'browser-guestbook-reply.png');

  const folder = join(session.home, 'SarvoGuestbook');
  assert.deepEqual(readdirSync(folder), ['127.0.0.1.txt']);
  const stored = readFileSync(join(folder, '127.0.0.1.txt'));
  assert.ok(stored.equals(STORED), `stored ${stored.toString('hex')}, expected ${STORED.toString('hex')}`);
  console.log(`screenshot: ${screenshot}`);
});
