// The page and file paths over plain HTTP: the static-file name rule, the image path without a
// session, the rights of the administration pages and the check-box mode of the vehicle tree.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { startServer } from './harness.mjs';

let server;
let cookies;

before(async () => {
  server = await startServer({
    users: [{ login: 'admin', password: 'secret', rights: 2 }, { login: 'ivan', password: 'pw', rights: 0, devices: [10] }],
    vehicles: [{ device: 10, model: 'Газель', group: 'А', groupFile: 'a.grp' }],
  });
  cookies = {};
  for (const [login, password] of [['admin', 'secret'], ['ivan', 'pw']]) {
    const reply = await fetch(`${server.url}/kxserver/main`, {
      method: 'POST', body: `kx_login=${login}&password=${password}`,
      headers: { 'content-type': 'application/x-www-form-urlencoded' },
    });
    cookies[login] = reply.headers.get('set-cookie').split(';')[0];
  }
});
after(async () => { await server?.stop(); });

async function get(target, login) {
  const reply = await fetch(`${server.url}${target}`, { headers: login ? { cookie: cookies[login] } : {} });
  return { status: reply.status, headers: reply.headers, body: Buffer.from(await reply.arrayBuffer()) };
}

const staticFile = (folder, name) => fs.readFileSync(path.join(server.folder, folder, name));

test('files are served by plain names with their folder extension, and only those', async () => {
  const script = await get('/kxserver/js?dtree.js', 'ivan');
  assert.equal(script.status, 200);
  assert.deepEqual(script.body, staticFile('js', 'dtree.js'));
  assert.equal(script.headers.get('content-type'), null);
  assert.equal(script.headers.get('cache-control'), 'no-cache');
  assert.deepEqual((await get('/kxserver/css?dtree.css', 'ivan')).body, staticFile('css', 'dtree.css'));
  fs.writeFileSync(path.join(server.folder, 'img', 'new-image_1.gif'), 'GIF89a');
  assert.equal((await get('/kxserver/img?new-image_1.gif', 'ivan')).body.toString(), 'GIF89a');
  for (const target of ['/kxserver/js', '/kxserver/js?', '/kxserver/js?dtree.css', '/kxserver/js?../dtree.js',
    '/kxserver/js?dtree.JS', '/kxserver/js?missing.js', '/kxserver/img?a.gif/../../Users.ini',
    '/kxserver/img?..%2FUsers.ini', '/kxserver/css?dtree.css.css', '/kxserver/img?kx_logo.PNG']) {
    const reply = await get(target, 'ivan');
    assert.equal(reply.status, 200, target);
    assert.equal(reply.body.length, 0, target);
  }
});

test('images need no session; the page icon has two addresses', async () => {
  const logo = await get('/kxserver/img?kx_logo.png');
  assert.equal(logo.status, 200);
  assert.deepEqual(logo.body, staticFile('img', 'kx_logo.png'));
  const icon = await get('/kxserver/favicon.ico?anything', 'ivan');
  assert.deepEqual(icon.body, (await get('/kxserver/img?favicon.ico')).body);
  assert.deepEqual(icon.body, staticFile('img', 'favicon.ico'));
});

test('pages for moderators and administrators are empty for users', async () => {
  for (const target of ['/kxserver/admin', '/kxserver/NewUser', '/kxserver/ChangeUser', '/kxserver/DeleteUser']) {
    const user = await get(target, 'ivan');
    assert.equal(user.status, 200, target);
    assert.equal(user.body.length, 0, target);
    const admin = await get(target, 'admin');
    assert.ok(admin.body.length > 0, target);
    assert.equal(admin.headers.get('content-type'), null, target);
  }
  for (const target of ['/kxserver/settings', '/kxserver/ChangePass']) {
    assert.match(new TextDecoder('windows-1251').decode((await get(target, 'ivan')).body), /<title>Velorin:/);
  }
});

test('the tree shows check boxes only for the exact marker', async () => {
  const tree = async (query) => new TextDecoder('windows-1251').decode((await get(`/kxserver/carlist${query}`, 'ivan')).body);
  assert.match(await tree('?CheckBox=true'), /d\.add\(2,1,'Газель \(10\)', -1,'this', 10\);/);
  assert.match(await tree('?x=1&CheckBox=true'), /, -1,'this', 10\);/);
  assert.match(await tree('?checkbox=true'), /d\.add\(2,1,'Газель \(10\)', 0,'window\.parent\.CarSelect\(10\)', 10\);/);
  assert.match(await tree(''), /d\.add\(1,0,'А', 0, "window\.parent\.GroupSelect\('0'\)"\);/);
});
