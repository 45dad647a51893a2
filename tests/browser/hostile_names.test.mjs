// Names that try to leave their JavaScript or HTML context: vehicle and group names in
// DeviceList.ini and in the dispatcher's fleet, logins and display settings in Users.ini. Every
// page that shows them is opened in Chromium as the user who sees them; no script of a name may
// run (each sets window.__pwned or calls alert), and each name shows as its own text, neither
// cut nor escaped twice. The map flows run against the server's own handlers.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { cp1251, launchBrowser, newContext, signIn, startServer } from './harness.mjs';

// One payload per way out: HTML attribute and element, script element, single- and double-quoted
// JavaScript strings, an escaping backslash, CDATA, event handlers with alert, and text that
// looks escaped already (shown as typed, not decoded). None is wrapped in a pair of quotes, which
// the INI files' reader removes.
const PAYLOADS = [
  '"><script>window.__pwned="dq"</script>',
  "'><img src=x onerror=\"window.__pwned='sq'\">",
  "</script><script>window.__pwned='end'</script>",
  "';window.__pwned='js';//",
  "\\';window.__pwned='bs';//\\",
  '"+(window.__pwned="plus")+"x',
  ']]><svg onload="window.__pwned=\'cdata\'"></svg>',
  "<img src=x onerror=alert('img')>",
  'a & b &amp; c &lt;d&gt; \\x3c\\u0027 `t` ${x}\tend',
];
const GROUPS = [PAYLOADS[6], PAYLOADS[1], PAYLOADS[8]];
const GROUP_FILES = ['g0.grp', 'g1.grp', 'g2.grp'];

// Vehicle j: model PAYLOADS[j], in group j % 3; the first also has a hostile number.
const VEHICLES = PAYLOADS.map((model, j) => ({
  device: 101 + j, model, number: j === 0 ? PAYLOADS[2] : '', group: GROUPS[j % 3], groupFile: GROUP_FILES[j % 3],
}));
const DEVICES = VEHICLES.map((v) => v.device);
const treeName = (v) => `${v.model}${v.number ? ` - ${v.number}` : ''} (${v.device})`;

// Logins a hand edit of Users.ini may hold; the pages cannot create them. (A "]" cannot stand in
// a login: its section header would end there.)
const HOSTILE_LOGINS = [
  'a"b<c>d', "x'y&z", "</script><script>window.__pwned='login'</script>", 'q>\tr', 'back\\slash',
  "<img src=x onerror=alert('login')>",
];
const DISPLAY = {
  tablewidth: '"><script>window.__pwned="tw"</script>',
  tableheight: "'><img src=x onerror=alert(1)>",
  CarsListWidth: '</script>&amp;<b>',
};
const USERS = [
  { login: 'admin', password: 'secret', rights: 2 },
  { login: 'boss', password: 'pw', rights: 1, devices: DEVICES, managed: [...HOSTILE_LOGINS, 'ivan'] },
  { login: 'ivan', password: 'pw', rights: 0, devices: DEVICES, display: DISPLAY },
  ...HOSTILE_LOGINS.map((login) => ({ login, password: 'pw', rights: 0, devices: [101] })),
];

const POSITION = [56.84, 60.6];

function lastPositionKml(name) {
  return `<?xml version="1.0" encoding="UTF-8"?>
<kml xmlns="http://www.opengis.net/kml/2.2"><Placemark><name>${name}</name>
<description>2010-03-05 10:00:00 Скорость 40 км/ч</description>
<Point><coordinates>${POSITION[1]},${POSITION[0]},0</coordinates></Point></Placemark></kml>
`;
}

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// A fresh browser context whose pages record dialogs and script errors; `open` signs in (unless
// login is null) and goes to the address.
async function session(server, login, password) {
  const context = await newContext(browser);
  const page = await context.newPage();
  const dialogs = [];
  const errors = [];
  page.on('dialog', async (dialog) => { dialogs.push(dialog.message()); await dialog.dismiss(); });
  page.on('pageerror', (error) => errors.push(error.message));
  if (login !== null) await signIn(page, server, login, password);
  return {
    context, page, dialogs, errors,
    async open(address) {
      await page.goto(`${server.url}${address}`);
      await page.waitForLoadState('load');
      for (const frame of page.frames()) await frame.waitForLoadState('load');
    },
  };
}

// No name ran as script in any frame of the page, no dialog opened, no script broke.
async function assertNoScriptRan(s, where) {
  await s.page.waitForTimeout(100);
  for (const frame of s.page.frames()) {
    assert.equal(await frame.evaluate(() => window.__pwned), undefined, `${where}: ${frame.url()}`);
  }
  assert.deepEqual(s.dialogs, [], where);
  assert.deepEqual(s.errors, [], where);
}

async function treeLabels(page) {
  const tree = page.frames().find((f) => /\/kxserver\/carlist/.test(f.url()));
  await tree.waitForSelector('.dtree .node', { state: 'attached' });
  return { tree, labels: await tree.$$eval('.dtree .node', (nodes) => nodes.map((n) => n.textContent)) };
}

const optionTexts = (page) => page.$$eval('#UserList option', (o) => o.map((x) => [x.value, x.textContent]));

// Clicks a node of the map page's tree and waits for the markers the page draws from the archive.
async function markersAfterClick(page, tree, label) {
  const drawn = await page.evaluate(() => (window.__maps ? window.__maps.fitBounds.length : 0));
  await tree.getByText(label, { exact: true }).click();
  await page.waitForFunction((n) => (window.__maps && window.__maps.fitBounds.length > n)
      || document.querySelector('#GoogleFrame font.error'), drawn);
  const error = await page.$('#GoogleFrame font.error');
  if (error) throw new Error(`${label}: ${await error.textContent()}`);
  const maps = await page.evaluate(() => window.__maps);
  return maps.markers.slice(-(maps.fitBounds[maps.fitBounds.length - 1].length)).map((m) => m.title);
}

describe('names from DeviceList.ini and Users.ini', () => {
  let server;
  let dispatcher;
  before(async () => {
    dispatcher = fs.mkdtempSync(path.join(os.tmpdir(), 'kx-dispatcher-'));
    fs.mkdirSync(path.join(dispatcher, 'LastPosition'));
    for (const v of VEHICLES) {
      fs.writeFileSync(path.join(dispatcher, 'LastPosition', `${String(v.device).padStart(7, '0')}.kml`),
          lastPositionKml('dispatcher'));
    }
    server = await startServer({
      users: USERS, vehicles: VEHICLES, useKX: 0,
      settings: `KXServerPath=${dispatcher}/\r\n[GoogleMaps]\r\nKey=TEST-KEY\r\n`,
    });
  });
  after(async () => {
    await server?.stop();
    if (dispatcher) fs.rmSync(dispatcher, { recursive: true, force: true });
  });

  test('the sign-in page', async () => {
    const s = await session(server, null);
    await s.open('/kxserver/main');
    assert.equal(await s.page.title(), 'Velorin: Авторизация');
    await assertNoScriptRan(s, 'sign-in');
    await s.context.close();
  });

  test('the map page, its tree, and the names on the map', async () => {
    const s = await session(server, 'ivan', 'pw');
    assert.equal(await s.page.title(), 'Velorin: Просмотр транспорта');
    const { tree, labels } = await treeLabels(s.page);
    const groupOrder = [0, 1, 2];
    assert.deepEqual(labels, ['Список транспорта',
      ...groupOrder.flatMap((g) => [GROUPS[g], ...VEHICLES.filter((_, j) => j % 3 === g).map(treeName)])]);
    // The display settings size the page as they are written.
    assert.equal((await s.page.$eval('table.kx-map', (t) => t.getAttribute('width'))).trim(), DISPLAY.tablewidth);
    assert.equal((await s.page.$eval('table.kx-map', (t) => t.getAttribute('height'))).trim(), DISPLAY.tableheight);
    await assertNoScriptRan(s, 'map page');

    for (const v of [VEHICLES[0], VEHICLES[2], VEHICLES[8]]) {
      assert.deepEqual(await markersAfterClick(s.page, tree, treeName(v)), [treeName(v)]);
    }
    assert.deepEqual(await markersAfterClick(s.page, tree, GROUPS[1]),
        VEHICLES.filter((_, j) => j % 3 === 1).map(treeName));
    await assertNoScriptRan(s, 'map flows');
    await s.context.close();
  });

  test('the settings and change-password pages', async () => {
    const s = await session(server, 'ivan', 'pw');
    await s.open('/kxserver/settings');
    for (const [key, value] of Object.entries(DISPLAY)) {
      assert.equal((await s.page.inputValue(`#${key}`)).trim(), value, key);
    }
    await assertNoScriptRan(s, 'settings');
    await s.open('/kxserver/ChangePass');
    assert.equal(await s.page.title(), 'Velorin: Изменение пароля');
    await assertNoScriptRan(s, 'change password');
    await s.context.close();
  });

  test('the administration pages of an administrator', async () => {
    const s = await session(server, 'admin', 'secret');
    const logins = USERS.map((u) => u.login);
    for (const address of ['/kxserver/admin', '/kxserver/NewUser', '/kxserver/ChangeUser', '/kxserver/DeleteUser']) {
      await s.open(address);
      if (address !== '/kxserver/admin' && address !== '/kxserver/NewUser') {
        assert.deepEqual(await optionTexts(s.page), logins.map((l) => [l, l]), address);
      }
      if (address !== '/kxserver/admin' && address !== '/kxserver/DeleteUser') {
        const { labels } = await treeLabels(s.page);
        assert.deepEqual(labels.slice(1).sort(), [...GROUPS, ...VEHICLES.map(treeName)].sort(), address);
      }
      await assertNoScriptRan(s, address);
    }
    await s.context.close();
  });

  test("a moderator's list of users", async () => {
    const s = await session(server, 'boss', 'pw');
    const managed = [...HOSTILE_LOGINS, 'ivan'];
    for (const address of ['/kxserver/ChangeUser', '/kxserver/DeleteUser']) {
      await s.open(address);
      assert.deepEqual(await optionTexts(s.page), managed.map((l) => [l, l]), address);
      await assertNoScriptRan(s, address);
    }
    await s.context.close();
  });
});

describe("names from the dispatcher's fleet", () => {
  let server;
  let automation;
  // Car j: model PAYLOADS[j] and, for the first, a hostile number; group j % 3.
  const carTitle = (v) => (v.number ? `${v.model} ${v.number}` : v.model);
  before(async () => {
    automation = fs.mkdtempSync(path.join(os.tmpdir(), 'kx-automation-'));
    const lines = ['[main]', `GroupsNum=${GROUPS.length}`];
    GROUPS.forEach((name, g) => {
      const cars = VEHICLES.filter((_, j) => j % 3 === g);
      lines.push(`[group${g + 1}]`, `GroupName=${name}`, `GroupFileName=${GROUP_FILES[g]}`, `CarsNum=${cars.length}`);
      cars.forEach((v, c) => lines.push(`[group${g + 1}.car${c + 1}]`, `CarDevice=${v.device}`, `CarModel=${v.model}`,
          `CarNumber=${v.number}`, `Latitude=${POSITION[0]}`, `Longitude=${POSITION[1]}`, 'Time=2010-03-05 10:00:00'));
    });
    fs.writeFileSync(path.join(automation, 'fleet.ini'), cp1251(lines.join('\r\n') + '\r\n'));
    server = await startServer({
      users: USERS, vehicles: [], useKX: 1, useDeviceList: 0, env: { KX_AUTOMATION_DATA: automation },
      settings: '[GoogleMaps]\r\nKey=TEST-KEY\r\n',
    });
  });
  after(async () => {
    await server?.stop();
    if (automation) fs.rmSync(automation, { recursive: true, force: true });
  });

  test('the tree and the last positions of vehicles and groups', async () => {
    const s = await session(server, 'ivan', 'pw');
    const { tree, labels } = await treeLabels(s.page);
    assert.deepEqual(labels, ['Список транспорта',
      ...[0, 1, 2].flatMap((g) => [GROUPS[g], ...VEHICLES.filter((_, j) => j % 3 === g).map(treeName)])]);
    await assertNoScriptRan(s, 'map page');
    for (const v of [VEHICLES[0], VEHICLES[4], VEHICLES[8]]) {
      assert.deepEqual(await markersAfterClick(s.page, tree, treeName(v)), [carTitle(v)]);
    }
    assert.deepEqual(await markersAfterClick(s.page, tree, GROUPS[0]),
        VEHICLES.filter((_, j) => j % 3 === 0).map(carTitle));
    await assertNoScriptRan(s, 'map flows');
    await s.context.close();
  });

  test('the vehicle tree of the administration pages', async () => {
    const s = await session(server, 'admin', 'secret');
    for (const address of ['/kxserver/NewUser', '/kxserver/ChangeUser']) {
      await s.open(address);
      const { labels } = await treeLabels(s.page);
      assert.deepEqual(labels.slice(1).sort(), [...GROUPS, ...VEHICLES.map(treeName)].sort(), address);
      await assertNoScriptRan(s, address);
    }
    await s.context.close();
  });
});
