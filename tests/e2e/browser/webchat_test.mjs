// Three chromium pages in the chat room of `sarvo-cli serve --webchat`, driven by playwright-core:
// a line typed into one page's input frame and sent with Enter shows in the others' output frames; a
// name clicked in the member list makes the next line private to that member, and the third page
// never sees it; "!name=" renames, and every page's member list shows the new name. A screenshot of a
// page with a few lines is kept as an artefact.
//
// Usage: node webchat_test.mjs PATH_TO_SARVO_CLI ARTEFACT_DIR
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { commandLine, keepScreenshot, serveAndBrowse, temporaryHome } from './serve_and_browse.mjs';

const [cli, artefactDir] = commandLine('webchat_test.mjs', ['PATH_TO_SARVO_CLI', 'ARTEFACT_DIR']);
const TITLE_SUFFIX = ' --- Sarvo Chat Room';
const WAIT_MS = 10000;

// The page's frame of that name once playwright has attached it, which can come after the frameset's
// window already knows the frame.
async function frameNamed(page, name) {
  const deadline = Date.now() + WAIT_MS;
  for (let frame = page.frame({ name }); ; frame = page.frame({ name })) {
    if (frame) return frame;
    assert.ok(Date.now() < deadline, `the ${name} frame did not appear`);
    await page.waitForTimeout(50);
  }
}

// Opens the chat room in a new page and returns the page with its member name, once the output frame
// has welcomed it and set the window title.
async function enterRoom(context, site) {
  const page = await context.newPage();
  // The output frame's page never ends loading: it is the room's stream.
  await page.goto(`${site}/Webchat/`, { waitUntil: 'domcontentloaded' });
  for (const name of ['list', 'input']) await frameNamed(page, name);
  const output = await frameNamed(page, 'output');
  await output.locator('h3', { hasText: 'Welcome to' }).waitFor({ timeout: WAIT_MS });
  await page.waitForFunction((suffix) => document.title.endsWith(suffix), TITLE_SUFFIX, { timeout: WAIT_MS });
  const name = (await page.title()).slice(0, -TITLE_SUFFIX.length);
  return { page, name };
}

async function say(member, text) {
  const editbox = member.page.frame({ name: 'input' }).locator('#editbox');
  await editbox.fill(text);
  await editbox.press('Enter');
  assert.equal(await editbox.inputValue(), '', 'the edit box is cleared when the line is sent');
}

function lineIn(member, label, text) {
  return member.page.frame({ name: 'output' }).locator('p', { hasText: `${label}: ${text}` });
}

function memberCell(member, name) {
  return member.page.frame({ name: 'list' }).locator('td', { hasText: new RegExp(`^${name}$`) });
}

test('three browsers talk in the chat room, privately and under a new name', async (t) => {
  const session = temporaryHome(t, 'sarvo-browser-chat-');
  const { context, site } = await serveAndBrowse(session, { cli, shares: [], serveOptions: ['--webchat'] });
  const ann = await enterRoom(context, site);
  const bob = await enterRoom(context, site);
  const cid = await enterRoom(context, site);
  assert.equal(new Set([ann.name, bob.name, cid.name]).size, 3, 'every page is a member of its own');

  await say(ann, 'Hello <everybody> & see http://example.invalid/?a=1&b=2');
  for (const member of [ann, bob, cid]) {
    await lineIn(member, ann.name, 'Hello <everybody> & see').waitFor({ timeout: WAIT_MS });
  }
  const link = bob.page.frame({ name: 'output' }).locator('a[target="_blank"]');
  assert.equal(await link.getAttribute('href'), 'http://example.invalid/?a=1&b=2');

  // Every list shows every member; clicking Bob's name in Ann's list makes her next line private.
  for (const member of [ann, bob, cid]) {
    await memberCell(member, cid.name).waitFor({ timeout: WAIT_MS });
  }
  await memberCell(ann, bob.name).click();
  assert.equal(await ann.page.frame({ name: 'input' }).locator('input[name="to"]').inputValue(), bob.name);
  await say(ann, 'only for Bob');
  const privateLabel = `${ann.name} (Private to ${bob.name})`;
  await lineIn(bob, privateLabel, 'only for Bob').waitFor({ timeout: WAIT_MS });
  await lineIn(ann, privateLabel, 'only for Bob').waitFor({ timeout: WAIT_MS });

  await memberCell(ann, 'All').click();
  await say(ann, 'public again');
  await lineIn(cid, ann.name, 'public again').waitFor({ timeout: WAIT_MS });
  assert.equal(await cid.page.frame({ name: 'output' }).getByText('only for Bob').count(), 0,
    'the third member saw the private line');

  await say(bob, '!name=Bobby');
  for (const member of [ann, bob, cid]) {
    await memberCell(member, 'Bobby').waitFor({ timeout: WAIT_MS });
    assert.equal(await memberCell(member, bob.name).count(), 0, 'a list still shows the old name');
  }
  await bob.page.waitForFunction((title) => document.title === title, `Bobby${TITLE_SUFFIX}`, { timeout: WAIT_MS });
  await lineIn(cid, 'Sarvo', `${bob.name} has changed his/her name as Bobby`).waitFor({ timeout: WAIT_MS });
  await say(bob, 'Hi, I am Bobby now');
  await lineIn(cid, 'Bobby', 'Hi, I am Bobby now').waitFor({ timeout: WAIT_MS });

  await cid.page.setViewportSize({ width: 1000, height: 640 });
  const screenshot = await keepScreenshot(cid.page, artefactDir, 'browser-webchat.png');
  console.log(`screenshot: ${screenshot}`);
});
