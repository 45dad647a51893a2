// Pages of another site against a signed-in administrator's browser: the session cookie is out
// of the pages' scripts' reach, and links, forms and scripted requests of the other site that
// would change stored data are refused, while the service's own pages go on working.
//
// The service runs at http://127.0.0.1:<port>; the other site is a small server on another
// loopback port, reached as http://localhost:<port> (another site) and as
// http://127.0.0.1:<port> (the same site, another origin).
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { launchBrowser, signIn, startServer } from './harness.mjs';

let browser;
let server;
let other;

const ADD_EVIL = '/kxserver/AddUser?Login=evil&Pass=x&r=2&CarList=';

// The other site: "/" serves the page given in the query's "page" value.
function startOtherSite(service) {
  const pages = {
    link: `<a id="go" href="${service}${ADD_EVIL}">win</a>`,
    form: `<form id="go" method="POST" action="${service}${ADD_EVIL}"><input name="a" value="1"></form>`,
    fetch: '<p>fetching</p>',
    read: `<a id="go" href="${service}/kxserver/settings">settings</a>`,
  };
  const site = http.createServer((request, response) => {
    const name = new URL(request.url, 'http://x').searchParams.get('page');
    response.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
    response.end(`<!doctype html><html><body>${pages[name] || ''}</body></html>`);
  });
  return new Promise((resolve) => {
    site.listen(0, '127.0.0.1', () => resolve({ site, port: site.address().port }));
  });
}

before(async () => {
  browser = await launchBrowser();
  server = await startServer({ users: [{ login: 'admin', password: 'secret', rights: 2 }] });
  other = await startOtherSite(server.url);
});
after(async () => {
  await browser?.close();
  await server?.stop();
  await new Promise((resolve) => other?.site.close(resolve));
});

// A signed-in administrator's browser that reaches only loopback servers.
async function adminBrowser() {
  const context = await browser.newContext();
  await context.route((url) => !/^https?:\/\/(127\.0\.0\.1|localhost|\[::1\])(:\d+)?\//.test(url.href),
      (route) => route.abort());
  const page = await context.newPage();
  await signIn(page, server, 'admin', 'secret');
  return { context, page };
}

const usersIni = () => fs.readFileSync(path.join(server.folder, 'Users.ini'), 'latin1');

// Opens the other site's page and acts on it; returns the status and length of the service's
// reply to the request that the action makes.
async function fromOtherSite(context, origin, name, action) {
  const page = await context.newPage();
  await page.goto(`${origin}/?page=${name}`);
  const [reply] = await Promise.all([
    page.waitForResponse((r) => r.url().startsWith(server.url)),
    action(page),
  ]);
  // Chromium shows its own error page for an empty 403, so the body is judged by its length.
  const result = { status: reply.status(), length: reply.headers()['content-length'] };
  await page.close();
  return result;
}

test('the session cookie is HttpOnly and SameSite=Lax', async () => {
  const { context, page } = await adminBrowser();
  const cookie = (await context.cookies(server.url)).find((c) => c.name === 'IDHTTPSESSIONID');
  assert.ok(cookie);
  assert.equal(cookie.httpOnly, true);
  assert.equal(cookie.sameSite, 'Lax');
  await page.goto(`${server.url}/kxserver/settings`);
  assert.doesNotMatch(await page.evaluate(() => document.cookie), /IDHTTPSESSIONID/);
  await context.close();
});

test('links, forms and scripted requests of other sites cannot add a user', async () => {
  const { context } = await adminBrowser();
  const crossSite = `http://localhost:${other.port}`;
  const sameSite = `http://127.0.0.1:${other.port}`;
  const attempts = [
    [crossSite, 'link', (p) => p.click('#go')],
    [crossSite, 'form', (p) => p.evaluate(() => document.getElementById('go').submit())],
    [sameSite, 'form', (p) => p.evaluate(() => document.getElementById('go').submit())],
    [crossSite, 'fetch', (p) => p.evaluate((url) => fetch(url, { method: 'POST', mode: 'no-cors', credentials: 'include' })
        .catch(() => null), `${server.url}${ADD_EVIL}`)],
    [sameSite, 'fetch', (p) => p.evaluate((url) => fetch(url, { method: 'POST', mode: 'no-cors', credentials: 'include' })
        .catch(() => null), `${server.url}${ADD_EVIL}`)],
  ];
  for (const [origin, name, action] of attempts) {
    const reply = await fromOtherSite(context, origin, name, action);
    assert.deepEqual(reply, { status: 403, length: '0' }, `${origin} ${name}`);
  }
  assert.doesNotMatch(usersIni(), /evil/);
  await context.close();
});

// There is no guest account: without the session cookie the page would be refused with 401.
test('a link from another site to a page that changes nothing is served signed in', async () => {
  const { context } = await adminBrowser();
  const reply = await fromOtherSite(context, `http://localhost:${other.port}`, 'read', (p) => p.click('#go'));
  assert.equal(reply.status, 200);
  await context.close();
});

test("the service's own page still adds a user", async () => {
  const { context, page } = await adminBrowser();
  await page.goto(`${server.url}/kxserver/settings`);
  const answer = await page.evaluate((target) => fetch(target, { method: 'POST' }).then((r) => r.text()),
      '/kxserver/AddUser?Login=friend&Pass=x&r=2&CarList=');
  assert.equal(answer, '0');
  assert.match(usersIni(), /\[friend\]/);
  await context.close();
});
