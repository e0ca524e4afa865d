// A real browser on a folder's thumbnail page: Debian's chromium, driven by playwright-core, opens the
// listing of a shared folder whose pictures were indexed by the pictorn tool, follows "Image
// Thumbnails", and every preview on the page must have loaded as an image of the size the index
// gives. A preview's link then opens the full picture. The page's screenshot is kept as an artefact.
//
// Usage: node thumbnails_test.mjs PATH_TO_SARVO_CLI PATH_TO_PICTORN ARTEFACT_DIR
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { deflateSync } from 'node:zlib';
import { commandLine, keepScreenshot, serveAndBrowse, temporaryHome } from './serve_and_browse.mjs';

const [cli, pictorn, artefactDir] =
  commandLine('thumbnails_test.mjs', ['PATH_TO_SARVO_CLI', 'PATH_TO_PICTORN', 'ARTEFACT_DIR']);

// The previews fit into a 120 x 120 box and are never enlarged.
const PREVIEW_BOX = 120;

// Seven pictures: a full row of six and a second row of one, each with two colours side by side so
// that the screenshot shows whether the previews are the right way round. A blank and an ampersand in
// names, since the page writes names into its links as they are.
const PICTURES = [
  { name: 'sunset.png', width: 400, height: 300, left: [255, 120, 0], right: [90, 0, 160] },
  { name: 'my photo.png', width: 160, height: 320, left: [0, 150, 255], right: [255, 255, 0] },
  { name: 'Tiny.PNG', width: 48, height: 32, left: [0, 200, 0], right: [0, 0, 0] },
  { name: 'wide.png', width: 600, height: 100, left: [200, 0, 0], right: [0, 200, 200] },
  { name: 'rocks & sea.png', width: 240, height: 240, left: [120, 120, 120], right: [0, 60, 200] },
  { name: 'forest.png', width: 300, height: 200, left: [0, 100, 0], right: [160, 220, 80] },
  { name: 'zebra.png', width: 200, height: 260, left: [255, 255, 255], right: [20, 20, 20] },
];

function previewSize({ width, height }) {
  const scale = Math.min(1, PREVIEW_BOX / Math.max(width, height));
  return { width: Math.max(1, Math.round(width * scale)), height: Math.max(1, Math.round(height * scale)) };
}

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function crc32(bytes) {
  let c = 0xffffffff;
  for (const b of bytes) c = CRC_TABLE[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function pngChunk(type, data) {
  const length = Buffer.alloc(4);
  length.writeUInt32BE(data.length);
  const body = Buffer.concat([Buffer.from(type, 'latin1'), data]);
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(body));
  return Buffer.concat([length, body, crc]);
}

// An 8-bit RGB PNG whose left half has one colour and right half the other.
function twoColourPng({ width, height, left, right }) {
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8;  // bits per sample
  header[9] = 2;  // RGB
  const rows = Buffer.alloc((width * 3 + 1) * height);
  for (let y = 0; y < height; y++) {
    const row = y * (width * 3 + 1);
    rows[row] = 0;  // no filter
    for (let x = 0; x < width; x++) {
      const colour = x < width / 2 ? left : right;
      rows.set(colour, row + 1 + x * 3);
    }
  }
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    pngChunk('IHDR', header),
    pngChunk('IDAT', deflateSync(rows)),
    pngChunk('IEND', Buffer.alloc(0)),
  ]);
}

test('every preview on the thumbnail page loads in a browser', async (t) => {
  const session = temporaryHome(t, 'sarvo-thumbnails-');
  const { home, env } = session;
  const folder = join(home, 'photos');
  mkdirSync(folder, { recursive: true });
  for (const picture of PICTURES) writeFileSync(join(folder, picture.name), twoColourPng(picture));
  execFileSync(pictorn, [folder, '0'], { env, stdio: 'ignore', timeout: 60000 });

  const { context, page, site } =
    await serveAndBrowse(session, { cli, shares: [['photos', folder, '--desc', 'Holiday pictures']] });

  // Count every preview answer, so that a preview the page never asked for cannot go unnoticed.
  const previewAnswers = [];
  page.on('response', (response) => {
    if (response.url().endsWith('?thumbnail')) previewAnswers.push(response);
  });

  await page.goto(`${site}/photos/`);
  assert.equal(await page.title(), 'photos');
  const thumbnailsLink = page.locator('a', { hasText: 'Image Thumbnails' });
  assert.equal(await thumbnailsLink.count(), 1);
  await thumbnailsLink.click();
  await page.waitForURL(/\/photos\/pixindex\.(\$|%24){3}$/);
  await page.waitForFunction(
    (count) => document.images.length === count && Array.from(document.images).every((image) => image.complete),
    PICTURES.length,
  );

  const images = await page.$$eval('img', (all) =>
    all.map((image) => ({ src: image.getAttribute('src'), width: image.naturalWidth, height: image.naturalHeight })),
  );
  const byName = new Map(PICTURES.map((picture) => [`./${encodeURIComponent(picture.name)}?thumbnail`, picture]));
  assert.equal(images.length, PICTURES.length);
  for (const image of images) {
    const picture = byName.get(image.src);
    assert.ok(picture, `unexpected preview ${image.src}`);
    assert.ok(image.width > 0, `${picture.name}: the preview did not load`);
    assert.deepEqual({ width: image.width, height: image.height }, previewSize(picture), picture.name);
  }
  assert.equal(previewAnswers.length, PICTURES.length);
  for (const response of previewAnswers) {
    assert.equal(response.status(), 200, response.url());
    assert.equal(response.headers()['content-type'], 'image/gif', response.url());
  }

  // The captions carry each preview's size, width first.
  const captions = await page.$$eval('td.inf div', (all) => all.map((div) => div.innerText.trim()));
  for (const picture of PICTURES) {
    const { width, height } = previewSize(picture);
    assert.ok(captions.includes(`${picture.name}\n${width} x ${height}`), `${picture.name}: ${captions}`);
  }

  const screenshot = await keepScreenshot(page, artefactDir, 'browser-thumbnails.png');

  // A preview's link opens the full picture in a window of its own.
  const [full] = await Promise.all([
    context.waitForEvent('page'),
    page.click('a[href="./my%20photo.png"]'),
  ]);
  await full.waitForLoadState();
  assert.equal(decodeURIComponent(new URL(full.url()).pathname), '/photos/my photo.png');
  const shown = await full.$eval('img', (image) => ({ width: image.naturalWidth, height: image.naturalHeight }));
  assert.deepEqual(shown, { width: 160, height: 320 });
  console.log(`screenshot: ${screenshot}`);
});
