// The map flow against the server's own "/kxserver/car" and "/kxserver/kml" handlers: nothing on
// the loopback server is answered by the test. The site has a Google Maps key, and the Maps API is
// the harness's fake, which records the markers and lines the page draws from the archives the
// service packed.
//   File mode (UseKX=0): last positions from the dispatcher's LastPosition folder.
//   Automation mode (UseKX=1): last positions and a track from the automation stand-in, whose
//   folder is named by KX_AUTOMATION_DATA.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { launchBrowser, newContext, recordDialogs, screenshot, signIn, startServer } from './harness.mjs';

// North: 1234 and 77 have positions, 555 has none; south: 4321.
const VEHICLES = [
  { device: 1234, model: 'Газель', group: 'Север', groupFile: 'north.grp' },
  { device: 77, model: 'Fiat', group: 'Север', groupFile: 'north.grp' },
  { device: 555, model: 'ЗИЛ', group: 'Север', groupFile: 'north.grp' },
  { device: 4321, model: 'КамАЗ', group: 'Юг', groupFile: 'south.grp' },
];
// Zoom 12 and the hybrid map come back in every success text for this user.
const USERS = [{ login: 'ivan', password: 'pw', rights: 0, devices: [1234, 77, 555, 4321], display: { GoogleZoom: 12, GoogleType: 1 } }];
const POSITIONS = { 1234: [55.75, 37.61], 77: [59.9, 30.3], 4321: [55.8, 49.1] };
// File mode names a placemark as the vehicle tree does; the dispatcher names it by its own title
// of the car: model and number.
const TREE_NAMES = { 1234: 'Газель (1234)', 77: 'Fiat (77)', 4321: 'КамАЗ (4321)' };
const DISPATCHER_NAMES = { 1234: 'Газель А123ВС', 77: 'Fiat', 4321: 'КамАЗ' };
// Group indexes follow the session's group list: north is 0, south 1.
const NORTH = 0;
const GOOGLE_KEY = '[GoogleMaps]\r\nKey=TEST-KEY\r\n';

// One trip on 2010-03-05 (UTC): stop, moving with speeding, stop; 11:00 to 11:20 at GMT+5.
const TRIP = [
  ['2010-03-05 06:00:00', 55.70, 37.50, 0, 2],
  ['2010-03-05 06:10:00', 55.71, 37.51, 50, 16],
  ['2010-03-05 06:20:00', 55.72, 37.52, 0, 2],
];

const cp1251 = (() => {
  const decoder = new TextDecoder('windows-1251');
  const table = new Map();
  for (let b = 0; b < 256; b++) table.set(decoder.decode(Uint8Array.of(b)), b);
  return (text) => Buffer.from([...text].map((c) => table.get(c) ?? 0x3f));
})();

function lastPositionKml(name, stamp, [lat, lng]) {
  return `<?xml version="1.0" encoding="UTF-8"?>
<kml xmlns="http://www.opengis.net/kml/2.2">
  <Placemark>
    <name>${name}</name>
    <description>${stamp} Скорость 40 км/ч</description>
    <Point><coordinates>${lng},${lat},0</coordinates></Point>
  </Placemark>
</kml>
`;
}

function fleetIni() {
  const car = (device, model, position, number = '') => [`CarDevice=${device}`, `CarModel=${model}`, `CarNumber=${number}`,
    ...(position ? [`Latitude=${position[0]}`, `Longitude=${position[1]}`, 'Time=2010-03-05 10:00:00'] : [])];
  return cp1251([
    '[main]', 'GroupsNum=2',
    '[group1]', 'GroupName=Север', 'GroupFileName=north.grp', 'CarsNum=3',
    '[group1.car1]', ...car(1234, 'Газель', POSITIONS[1234], 'А123ВС'),
    '[group1.car2]', ...car(77, 'Fiat', POSITIONS[77]),
    '[group1.car3]', ...car(555, 'ЗИЛ', null),
    '[group2]', 'GroupName=Юг', 'GroupFileName=south.grp', 'CarsNum=1',
    '[group2.car1]', ...car(4321, 'КамАЗ', POSITIONS[4321]),
  ].join('\r\n') + '\r\n');
}

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// A signed-in map page of `server` that keeps every response of the map handlers.
async function mapPage(server) {
  const context = await newContext(browser);
  const page = await context.newPage();
  const dialogs = recordDialogs(page);
  const responses = [];
  page.on('response', (response) => {
    const url = new URL(response.url());
    if (url.pathname === '/kxserver/car' || url.pathname === '/kxserver/kml') responses.push(response);
  });
  await signIn(page, server, 'ivan', 'pw');
  const tree = page.frame({ url: /\/kxserver\/carlist$/ });
  await tree.waitForSelector('.dtree a.node');
  return { context, page, tree, responses, dialogs };
}

// Clicks a tree node and waits until the page has drawn the archive the service answered with.
// Returns the request sent, the reply, the archive's address and status, and what was drawn.
async function showOnMap({ page, tree, responses }, label) {
  const seen = responses.length;
  const drawn = await page.evaluate(() => (window.__maps ? window.__maps.fitBounds.length : 0));
  await tree.click(`text=${label}`);
  await page.waitForFunction((n) => (window.__maps && window.__maps.fitBounds.length > n)
      || document.querySelector('#GoogleFrame font.error'), drawn);
  const fresh = responses.slice(seen);
  const car = fresh.filter((r) => new URL(r.url()).pathname === '/kxserver/car');
  const kml = fresh.filter((r) => new URL(r.url()).pathname === '/kxserver/kml');
  assert.equal(car.length, 1);
  assert.equal(kml.length, 1, `archive not fetched; reply ${await car[0].text()}`);
  const target = (r) => { const u = new URL(r.url()); return u.pathname + u.search; };
  const maps = await page.evaluate(() => window.__maps);
  return {
    request: target(car[0]), method: car[0].request().method(), reply: await car[0].text(),
    contentType: car[0].headers()['content-type'],
    archive: target(kml[0]), archiveStatus: kml[0].status(), archiveBytes: await kml[0].body(),
    markers: maps.markers.map((m) => [m.lat, m.lng, m.title]),
    polylines: maps.polylines, map: maps.maps[maps.maps.length - 1],
  };
}

// The success text names the archive on the address the page was loaded from; the page fetches
// that archive from its own origin and gets a ZIP.
function assertSuccess(server, shown) {
  const match = /^12\|1\|(http:\/\/[^/]+)\/kxserver\/kml\?([0-9A-F]{32}\.kmz)$/.exec(shown.reply);
  assert.ok(match, shown.reply);
  assert.equal(match[1], server.url);
  assert.equal(shown.method, 'GET');
  assert.equal(shown.contentType, 'text/plain');
  assert.equal(shown.archive, `/kxserver/kml?${match[2]}`);
  assert.equal(shown.archiveStatus, 200);
  assert.equal(shown.archiveBytes.readUInt32LE(0), 0x04034b50);
  assert.deepEqual(shown.map, { zoom: 12, mapTypeId: 'hybrid' });
}

// The last-position flow both modes share: one vehicle, then a group whose vehicle without a
// position is left out.
function lastPositionTests(mode, names, getServer) {
  const marker = (device) => [...POSITIONS[device], names[device]];
  test('a vehicle click draws its last position from the archive the service packed', async () => {
    const server = getServer();
    const session = await mapPage(server);
    const shown = await showOnMap(session, 'КамАЗ (4321)');
    assert.equal(shown.request, '/kxserver/car?DevNum=4321&type=0&GMT=5');
    assertSuccess(server, shown);
    assert.deepEqual(shown.markers, [marker(4321)]);
    assert.deepEqual(shown.polylines, []);
    await screenshot(session.page, `real-map-${mode}-vehicle`);

    // A second vehicle gets a new archive of its own.
    const next = await showOnMap(session, 'Газель (1234)');
    assert.equal(next.request, '/kxserver/car?DevNum=1234&type=0&GMT=5');
    assertSuccess(server, next);
    assert.notEqual(next.archive, shown.archive);
    assert.deepEqual(next.markers.slice(1), [marker(1234)]);
    await session.context.close();
  });

  test('a group click draws the positions of the group\'s vehicles', async () => {
    const server = getServer();
    const session = await mapPage(server);
    const shown = await showOnMap(session, 'Север');
    assert.equal(shown.request, `/kxserver/car?GroupFileName=${NORTH}&GMT=5`);
    assertSuccess(server, shown);
    assert.deepEqual(shown.markers, [marker(1234), marker(77)]);
    await screenshot(session.page, `real-map-${mode}-group`);
    await session.context.close();
  });

  test('a vehicle without a position shows the no-data message', async () => {
    const session = await mapPage(getServer());
    await session.tree.click('text=ЗИЛ (555)');
    await session.page.waitForFunction(() => document.querySelector('#GoogleFrame font.error'));
    assert.equal(await session.page.textContent('#GoogleFrame font.error'), 'Ошибка: Запрашиваемые данные отсутствуют');
    assert.equal(session.responses.length, 1);
    assert.equal(await session.responses[0].text(), '1');
    await session.context.close();
  });
}

describe('file mode: the dispatcher\'s last-position files', () => {
  let server;
  let dispatcher;
  before(async () => {
    dispatcher = fs.mkdtempSync(path.join(os.tmpdir(), 'kx-dispatcher-'));
    const folder = path.join(dispatcher, 'LastPosition');
    fs.mkdirSync(folder);
    fs.writeFileSync(path.join(folder, '0001234.kml'), lastPositionKml('a', '2010-03-05 23:30:00', POSITIONS[1234]));
    fs.writeFileSync(path.join(folder, '0000077.kml'), lastPositionKml('b', '2010-03-05 21:00:00', POSITIONS[77]));
    fs.writeFileSync(path.join(folder, '0004321.kml'), lastPositionKml('c', '2010-03-05 07:05:00', POSITIONS[4321]));
    server = await startServer({ users: USERS, vehicles: VEHICLES, useKX: 0, settings: `KXServerPath=${dispatcher}/\r\n${GOOGLE_KEY}` });
  });
  after(async () => {
    await server?.stop();
    if (dispatcher) fs.rmSync(dispatcher, { recursive: true, force: true });
  });

  lastPositionTests('file', TREE_NAMES, () => server);
});

describe('automation mode: the dispatcher stand-in', () => {
  let server;
  let automation;
  before(async () => {
    automation = fs.mkdtempSync(path.join(os.tmpdir(), 'kx-automation-'));
    fs.mkdirSync(path.join(automation, 'tracks'));
    fs.writeFileSync(path.join(automation, 'fleet.ini'), fleetIni());
    fs.writeFileSync(path.join(automation, 'tracks', '1234.csv'), TRIP.map((p) => p.join(';')).join('\n') + '\n');
    // The server inherits the variable that names the stand-in's folder.
    const saved = process.env.KX_AUTOMATION_DATA;
    process.env.KX_AUTOMATION_DATA = automation;
    try {
      server = await startServer({ users: USERS, vehicles: VEHICLES, useKX: 1, settings: GOOGLE_KEY });
    } finally {
      if (saved === undefined) delete process.env.KX_AUTOMATION_DATA; else process.env.KX_AUTOMATION_DATA = saved;
    }
  });
  after(async () => {
    await server?.stop();
    if (automation) fs.rmSync(automation, { recursive: true, force: true });
  });

  lastPositionTests('automation', DISPATCHER_NAMES, () => server);

  test('a track over a short period is drawn as a line, with the stops the icons ask for', async () => {
    const session = await mapPage(server);
    const { page } = session;
    await page.check('#type2');
    await page.click('#img0'); // stops
    await page.evaluate(() => {
      document.getElementById('BeginDate').value = '05.03.2010 10:30';
      document.getElementById('EndDate').value = '05.03.2010 11:30';
    });
    const shown = await showOnMap(session, 'Газель (1234)');
    assert.equal(shown.request,
        '/kxserver/car?DevNum=1234&type=1&BeginDate=05.03.2010_10:30&EndDate=05.03.2010_11:30&GMT=5&Icons=2');
    assertSuccess(server, shown);
    assert.deepEqual(shown.polylines, [TRIP.map(([, lat, lng]) => [lat, lng])]);
    // Speeding (the middle point) is not asked for: only the two stops get markers.
    assert.deepEqual(shown.markers, [[55.70, 37.50, 'Остановка'], [55.72, 37.52, 'Остановка']]);
    await screenshot(page, 'real-map-automation-track');

    // A period the trip does not reach has no data.
    await page.evaluate(() => {
      document.getElementById('BeginDate').value = '05.03.2010 11:21';
      document.getElementById('EndDate').value = '05.03.2010 12:00';
    });
    await session.tree.click('text=Газель (1234)');
    await page.waitForFunction(() => document.querySelector('#GoogleFrame font.error'));
    assert.equal(await page.textContent('#GoogleFrame font.error'), 'Ошибка: Запрашиваемые данные отсутствуют');
    assert.deepEqual(session.dialogs, []);
    await session.context.close();
  });
});
