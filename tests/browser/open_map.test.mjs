// The open map (no Google Maps key): Leaflet on the tile layers of Settings.ini [Map] over the
// world outline, against the real server and its automation stand-in. Tile servers are the
// test's: every outside request is intercepted and answered with a generated PNG or refused.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { after, before, describe, test } from 'node:test';
import {
  fakePath, kmz, launchBrowser, newContext, recordDialogs, screenshot, signIn, startServer, tilePng,
} from './harness.mjs';

const README_SCREENSHOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..', 'docs', 'map-track.png');

const VEHICLES = [
  { device: 1234, model: 'Газель', group: 'Север', groupFile: 'north.grp' },
  { device: 4321, model: 'КамАЗ', group: 'Север', groupFile: 'north.grp' },
  { device: 777, model: 'Volvo', group: 'Запад', groupFile: 'west.grp' },
];
const POSITIONS = { 1234: [55.72, 37.52], 4321: [55.8, 49.1], 777: [53.9, 27.56] };
// ivan sees the satellite layer first, petr the road map, both at zoom 12; demo sees a long
// trip at zoom 5.
const USERS = [
  { login: 'ivan', password: 'pw', devices: [1234, 4321], display: { GoogleZoom: 12, GoogleType: 1, Icons: 2 } },
  { login: 'petr', password: 'pw', devices: [1234, 4321], display: { GoogleZoom: 12, GoogleType: 0, Icons: 2 } },
  { login: 'demo', password: 'pw', devices: [777], display: { GoogleZoom: 5, GoogleType: 0, Icons: 2 } },
];
// One trip on 2010-03-05 (UTC), stops at both ends: 11:00 to 11:20 at GMT+5.
const TRIP = [
  ['2010-03-05 06:00:00', 55.70, 37.50, 0, 2],
  ['2010-03-05 06:10:00', 55.71, 37.51, 50, 16],
  ['2010-03-05 06:20:00', 55.72, 37.52, 0, 2],
];
// Moscow to Minsk over Smolensk, for the picture.
const LONG_TRIP = [
  ['2010-03-05 06:00:00', 55.75, 37.62, 0, 2],
  ['2010-03-05 08:00:00', 55.17, 35.10, 80, 0],
  ['2010-03-05 10:00:00', 54.78, 32.04, 60, 0],
  ['2010-03-05 12:00:00', 54.51, 30.41, 90, 16],
  ['2010-03-05 14:00:00', 53.90, 27.56, 0, 2],
];

const cp1251 = (() => {
  const decoder = new TextDecoder('windows-1251');
  const table = new Map();
  for (let b = 0; b < 256; b++) table.set(decoder.decode(Uint8Array.of(b)), b);
  return (text) => Buffer.from([...text].map((c) => table.get(c) ?? 0x3f));
})();

function fleetIni() {
  const car = (device, model) => [`CarDevice=${device}`, `CarModel=${model}`, 'CarNumber=',
    `Latitude=${POSITIONS[device][0]}`, `Longitude=${POSITIONS[device][1]}`, 'Time=2010-03-05 10:00:00'];
  return cp1251([
    '[main]', 'GroupsNum=2',
    '[group1]', 'GroupName=Север', 'GroupFileName=north.grp', 'CarsNum=2',
    '[group1.car1]', ...car(1234, 'Газель'), '[group1.car2]', ...car(4321, 'КамАЗ'),
    '[group2]', 'GroupName=Запад', 'GroupFileName=west.grp', 'CarsNum=1',
    '[group2.car1]', ...car(777, 'Volvo'),
  ].join('\r\n') + '\r\n');
}

// The generated tiles: one colour per tile server.
const TILE_COLOURS = { road: [236, 232, 220], sat: [46, 74, 52], terrain: [206, 222, 176] };
const TILES = {
  road: { setting: 'https://road.tiles.test/{z}/{x}/{y}.png', url: (z, x, y) => `https://road.tiles.test/${z}/${x}/${y}.png` },
  sat: { setting: 'https://sat.tiles.test/s/{z}/{y}/{x}.jpg', url: (z, x, y) => `https://sat.tiles.test/s/${z}/${y}/${x}.jpg` },
  terrain: { setting: 'http://{s}.terrain.tiles.test/{z}/{x}/{y}.png', url: (z, x, y) => new RegExp(`^http://[abc]\\.terrain\\.tiles\\.test/${z}/${x}/${y}\\.png$`) },
};
const TILE_SETTINGS = [
  '[Map]',
  `RoadTiles=${TILES.road.setting}`,
  'RoadAttribution=Дороги &copy; <a href="https://road.tiles.test/about">Road Tiles</a>',
  `SatelliteTiles=${TILES.sat.setting}`,
  'SatelliteAttribution=Снимки Sat Imagery',
  `TerrainTiles=${TILES.terrain.setting}`,
  'TerrainAttribution=Рельеф Terrain',
].join('\r\n') + '\r\n';

// Values that would end their string, their script or their attribute if they were not data.
const HOSTILE = {
  RoadTiles: 'javascript:alert(1)',
  RoadAttribution: '</script><script>alert(2)</script><a href="javascript:alert(3)">x</a><img src=x onerror=alert(4)>"\'<b>Bold</b>',
  SatelliteTiles: 'https://sat.tiles.test/{z}/{x}/{y}.png?a=\'";</script><script>alert(5)</script>',
  SatelliteAttribution: '<a href="https://ok.test/" onclick="alert(6)" style="color:red">ok</a>',
};
const HOSTILE_SETTINGS = ['[Map]', ...Object.entries(HOSTILE).map(([k, v]) => `${k}=${v}`)].join('\r\n') + '\r\n';

// Web Mercator pixel of a position at a zoom, in the 256-pixel tile scheme every tile server uses.
function worldPixel([lat, lng], zoom) {
  const size = 256 * 2 ** zoom;
  const sin = Math.sin((lat * Math.PI) / 180);
  return [((lng + 180) / 360) * size, (0.5 - Math.log((1 + sin) / (1 - sin)) / (4 * Math.PI)) * size];
}

let browser;
let automation;
const servers = {};
before(async () => {
  browser = await launchBrowser();
  automation = fs.mkdtempSync(path.join(os.tmpdir(), 'kx-automation-'));
  fs.mkdirSync(path.join(automation, 'tracks'));
  fs.writeFileSync(path.join(automation, 'fleet.ini'), fleetIni());
  const csv = (trip) => trip.map((p) => p.join(';')).join('\n') + '\n';
  fs.writeFileSync(path.join(automation, 'tracks', '1234.csv'), csv(TRIP));
  fs.writeFileSync(path.join(automation, 'tracks', '777.csv'), csv(LONG_TRIP));
  const saved = process.env.KX_AUTOMATION_DATA;
  process.env.KX_AUTOMATION_DATA = automation;
  try {
    servers.tiles = await startServer({ users: USERS, vehicles: VEHICLES, settings: TILE_SETTINGS });
    servers.defaults = await startServer({ users: USERS, vehicles: VEHICLES });
    servers.hostile = await startServer({ users: USERS, vehicles: VEHICLES, settings: HOSTILE_SETTINGS });
    servers.google = await startServer({ users: USERS, vehicles: VEHICLES, settings: '[GoogleMaps]\r\nKey=TEST-KEY\r\n' });
  } finally {
    if (saved === undefined) delete process.env.KX_AUTOMATION_DATA; else process.env.KX_AUTOMATION_DATA = saved;
  }
});
after(async () => {
  await browser?.close();
  for (const server of Object.values(servers)) await server.stop();
  if (automation) fs.rmSync(automation, { recursive: true, force: true });
});

// A signed-in map page whose outside requests are tiles: answered with the generated PNG of
// their server, or refused. Records every outside address asked for.
async function mapPage(server, login, { refuse = false, viewport } = {}) {
  const context = await newContext(browser, viewport ? { viewport } : {});
  const outside = [];
  await context.route((url) => !/^https?:\/\/127\.0\.0\.1(:\d+)?\//.test(url.href), (route) => {
    const url = route.request().url();
    if (url.startsWith('https://maps.googleapis.com/')) return route.fallback();
    outside.push(url);
    if (refuse) return route.abort('connectionrefused');
    const server = Object.keys(TILE_COLOURS).find((name) => url.includes(`${name}.tiles.test`));
    return route.fulfill({ status: 200, contentType: 'image/png', body: tilePng(TILE_COLOURS[server || 'road']) });
  });
  const page = await context.newPage();
  const dialogs = recordDialogs(page);
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await signIn(page, server, login, 'pw');
  const tree = page.frame({ url: /\/kxserver\/carlist$/ });
  await tree.waitForSelector('.dtree a.node');
  return { context, page, tree, outside, dialogs, errors };
}

// Waits until the open map shows the user's zoom with every tile of the shown layer settled
// (loaded or failed) and something drawn.
async function settled(page, zoom) {
  await page.waitForFunction((z) => {
    const map = window.kxOpenMap;
    if (!map || map.getZoom() !== z || !document.querySelector('#GoogleFrame .leaflet-marker-icon')) return false;
    const tiles = [...document.querySelectorAll('#GoogleFrame .leaflet-tile-pane img')];
    return tiles.length > 0 && tiles.every((t) => t.complete);
  }, zoom);
  await page.waitForTimeout(200);
}

async function showTrack({ page, tree }, label, begin, end, zoom) {
  await page.check('#type2');
  await page.evaluate(([b, e]) => {
    document.getElementById('BeginDate').value = b;
    document.getElementById('EndDate').value = e;
  }, [begin, end]);
  await tree.click(`text=${label}`);
  await settled(page, zoom);
}

// The addresses of the tiles on screen, and where the tile of a position lies.
const visibleTiles = (page) => page.$$eval('#GoogleFrame .leaflet-tile-pane img.leaflet-tile-loaded',
    (tiles) => tiles.map((t) => t.src));
async function expectedScreenPoint(page, position, zoom, tileUrl) {
  const [px, py] = worldPixel(position, zoom);
  const [tx, ty] = [Math.floor(px / 256), Math.floor(py / 256)];
  const url = tileUrl(zoom, tx, ty);
  const rects = await page.$$eval('#GoogleFrame .leaflet-tile-pane img.leaflet-tile-loaded',
      (tiles) => tiles.map((t) => ({ src: t.src, left: t.getBoundingClientRect().left, top: t.getBoundingClientRect().top })));
  const tile = rects.find((r) => (url instanceof RegExp ? url.test(r.src) : r.src === url));
  assert.ok(tile, `tile ${zoom}/${tx}/${ty} is not on screen`);
  return [tile.left + px - tx * 256, tile.top + py - ty * 256];
}

const near = (actual, expected, what) => {
  assert.ok(Math.abs(actual[0] - expected[0]) <= 1.5 && Math.abs(actual[1] - expected[1]) <= 1.5,
      `${what}: ${actual} instead of ${expected}`);
};

async function chooseLayer(page, name) {
  await page.hover('#GoogleFrame .leaflet-control-layers');
  await page.click(`#GoogleFrame .leaflet-control-layers-base label:has-text("${name}")`);
  await page.mouse.move(5, 5);
}

const attributionText = (page) => page.textContent('#GoogleFrame .leaflet-control-attribution');

describe('tiles answered', () => {
  test('the user\'s layer first, markers and the track where their tiles put them, the zoom restored once', async () => {
    const session = await mapPage(servers.tiles, 'ivan');
    const { page, outside } = session;
    await showTrack(session, 'Газель (1234)', '05.03.2010 10:30', '05.03.2010 11:30', 12);

    // ivan's type 1: only the satellite server was asked, and its tiles are on screen.
    assert.ok(outside.length > 0);
    assert.deepEqual(outside.filter((u) => !u.startsWith('https://sat.tiles.test/s/')), []);
    assert.ok((await visibleTiles(page)).every((src) => /^https:\/\/sat\.tiles\.test\/s\/12\/\d+\/\d+\.jpg$/.test(src)));
    assert.match(await attributionText(page), /Снимки Sat Imagery/);

    // The stops' icons stand on their positions: an event icon is centred where the tile of the
    // position places it. The track runs from the first point to the last.
    const tips = await page.$$eval('#GoogleFrame .leaflet-marker-icon', (icons) => icons.map((i) => {
      const r = i.getBoundingClientRect();
      return { title: i.title, tip: [r.left + r.width / 2, r.top + r.height / 2] };
    }));
    assert.deepEqual(tips.map((t) => t.title), ['Остановка', 'Остановка']);
    near(tips[0].tip, await expectedScreenPoint(page, [55.70, 37.50], 12, TILES.sat.url), 'first stop');
    near(tips[1].tip, await expectedScreenPoint(page, [55.72, 37.52], 12, TILES.sat.url), 'last stop');
    const line = await page.$eval('#GoogleFrame path.leaflet-interactive[stroke="#1a5fd0"]', (p) => {
      const r = p.getBoundingClientRect();
      return { southWest: [r.left, r.bottom], northEast: [r.right, r.top] };
    });
    near(line.southWest, await expectedScreenPoint(page, [55.70, 37.50], 12, TILES.sat.url), 'track start');
    near(line.northEast, await expectedScreenPoint(page, [55.72, 37.52], 12, TILES.sat.url), 'track end');

    // The user's zoom came back once; zooming in afterwards stays.
    await page.click('#GoogleFrame .leaflet-control-zoom-in');
    await settled(page, 13);
    await page.waitForTimeout(300);
    assert.equal(await page.evaluate(() => window.kxOpenMap.getZoom()), 13);
    await page.click('#GoogleFrame .leaflet-control-zoom-out');
    await settled(page, 12);

    // The switcher offers the three layers; each asks its own server and names its source.
    const names = await page.$$eval('#GoogleFrame .leaflet-control-layers-base label', (ls) => ls.map((l) => l.textContent.trim()));
    assert.deepEqual(names, ['Карта', 'Спутник', 'Ландшафт']);
    await chooseLayer(page, 'Карта');
    await settled(page, 12);
    assert.ok((await visibleTiles(page)).every((src) => src.startsWith('https://road.tiles.test/12/')));
    near(tips[1].tip, await expectedScreenPoint(page, [55.72, 37.52], 12, TILES.road.url), 'last stop on the road map');
    assert.match(await attributionText(page), /Дороги © Road Tiles/);
    assert.equal(await page.getAttribute('#GoogleFrame .leaflet-control-attribution a[href="https://road.tiles.test/about"]', 'target'), '_blank');
    await chooseLayer(page, 'Ландшафт');
    await settled(page, 12);
    assert.ok((await visibleTiles(page)).every((src) => /^http:\/\/[abc]\.terrain\.tiles\.test\/12\//.test(src)));
    assert.match(await attributionText(page), /Рельеф Terrain/);
    assert.doesNotMatch(await attributionText(page), /Road Tiles|Sat Imagery/);
    assert.equal(await page.$('#GoogleFrame .kx-map-notice'), null);
    assert.deepEqual([session.dialogs, session.errors], [[], []]);
    await screenshot(page, 'open-map-tiles-track');
    await session.context.close();
  });

  test('a group shows every vehicle with its name and, on click, its time', async () => {
    const session = await mapPage(servers.tiles, 'petr');
    await session.tree.click('text=Север');
    await session.page.waitForFunction(() => document.querySelectorAll('#GoogleFrame .leaflet-marker-icon').length === 2);
    const titles = await session.page.$$eval('#GoogleFrame .leaflet-marker-icon', (icons) => icons.map((i) => i.title));
    assert.deepEqual(titles, ['Газель', 'КамАЗ']);
    // The group's view is centred between the two, which may lie outside it at the user's zoom.
    await session.page.$eval('#GoogleFrame .leaflet-marker-icon[title="КамАЗ"]', (marker) => marker.click());
    assert.equal(await session.page.textContent('#GoogleFrame .leaflet-popup-content .kx-info'), 'КамАЗ05.03.2010 15:00:00');
    await session.context.close();
  });
});

describe('tiles refused', () => {
  test('the outline, the vehicles and the track stay, with the notice instead of an error', async () => {
    const session = await mapPage(servers.defaults, 'petr', { refuse: true });
    const { page, outside } = session;
    await showTrack(session, 'Газель (1234)', '05.03.2010 10:30', '05.03.2010 11:30', 12);
    // petr's type 0 is the public road map.
    assert.ok(outside.length > 0);
    assert.ok(outside.every((u) => /^https:\/\/tile\.openstreetmap\.org\/\d+\/\d+\/\d+\.png$/.test(u)), outside[0]);
    await page.waitForSelector('#GoogleFrame .kx-map-notice');
    assert.equal(await page.textContent('#GoogleFrame .kx-map-notice'), 'Подложка карты недоступна');
    assert.equal(await page.$('#GoogleFrame font.error'), null);
    assert.equal(await page.$$eval('#GoogleFrame .leaflet-marker-icon', (m) => m.length), 2);
    assert.ok(await page.$('#GoogleFrame path.leaflet-interactive[stroke="#1a5fd0"]'));
    // Graticule, land and borders, the land covering the vehicles' place.
    const outline = await page.$$eval('#GoogleFrame .leaflet-kxOutline-pane path', (paths) => paths.map((p) => {
      const r = p.getBoundingClientRect();
      return { fill: p.getAttribute('fill'), box: [r.left, r.top, r.right, r.bottom] };
    }));
    assert.equal(outline.length, 3);
    const land = outline.find((p) => p.fill === '#f4f1e8');
    const tip = await page.$eval('#GoogleFrame .leaflet-marker-icon', (i) => {
      const r = i.getBoundingClientRect();
      return [r.left + 12, r.top + 41];
    });
    assert.ok(land.box[0] < tip[0] && tip[0] < land.box[2] && land.box[1] < tip[1] && tip[1] < land.box[3]);
    assert.match(await attributionText(page), /OpenStreetMap contributors/);
    assert.equal(await page.getAttribute('#GoogleFrame .leaflet-control-attribution a[href="https://www.openstreetmap.org/copyright"]', 'rel'), 'noopener noreferrer');

    // The public satellite and terrain layers are asked for in turn, with their attributions.
    await chooseLayer(page, 'Спутник');
    await page.waitForFunction(() => document.querySelector('#GoogleFrame .leaflet-control-attribution').textContent.includes('Esri'));
    await chooseLayer(page, 'Ландшафт');
    await page.waitForFunction(() => document.querySelector('#GoogleFrame .leaflet-control-attribution').textContent.includes('OpenTopoMap'));
    await page.waitForSelector('#GoogleFrame .kx-map-notice');
    assert.ok(outside.some((u) => u.startsWith('https://server.arcgisonline.com/ArcGIS/rest/services/World_Imagery/MapServer/tile/12/')));
    assert.ok(outside.some((u) => /^https:\/\/[abc]\.tile\.opentopomap\.org\/12\//.test(u)));
    assert.deepEqual([session.dialogs, session.errors], [[], []]);
    await screenshot(page, 'open-map-offline');
    await session.context.close();
  });

  test('a long trip on the outline alone (the picture of the README)', async () => {
    const session = await mapPage(servers.defaults, 'demo', { refuse: true, viewport: { width: 1000, height: 760 } });
    await showTrack(session, 'Volvo (777)', '05.03.2010 10:00', '05.03.2010 20:00', 5);
    await session.page.waitForSelector('#GoogleFrame .kx-map-notice');
    assert.deepEqual(await session.page.$$eval('#GoogleFrame .leaflet-marker-icon', (m) => m.map((i) => i.title)), ['Остановка', 'Остановка']);
    await screenshot(session.page, 'open-map-readme');
    if (process.env.KX_README_SCREENSHOT === '1') {
      fs.mkdirSync(path.dirname(README_SCREENSHOT), { recursive: true });
      await session.page.locator('table.kx-map').screenshot({ path: README_SCREENSHOT });
    }
    await session.context.close();
  });
});

// A track archive whose event points name the system's icons where the dispatcher keeps them,
// one other icon, and a vehicle without an icon.
const ICON_KML = `<?xml version="1.0" encoding="UTF-8"?>
<kml xmlns="http://www.opengis.net/kml/2.2"><Document>
<Style id="park"><IconStyle><Icon><href>http://icons.example.net/kx_icons/KX_park.gif</href></Icon></IconStyle></Style>
<Placemark><name>Газель</name><LineString><coordinates>37.50,55.70,0 37.52,55.72,0</coordinates></LineString></Placemark>
<Placemark><name>Остановка</name><styleUrl>#park</styleUrl><Point><coordinates>37.50,55.70,0</coordinates></Point></Placemark>
<Placemark><name>Превышение скорости</name><Style><IconStyle><Icon><href>KX_speed.gif</href></Icon></IconStyle></Style><Point><coordinates>37.51,55.71,0</coordinates></Point></Placemark>
<Placemark><name>Другое</name><Style><IconStyle><Icon><href>https://icons.example.net/truck.png</href></Icon></IconStyle></Style><Point><coordinates>37.515,55.715,0</coordinates></Point></Placemark>
<Placemark><name>Газель (1234)</name><Point><coordinates>37.52,55.72,0</coordinates></Point></Placemark>
</Document></kml>`;

async function iconPage(server) {
  const session = await mapPage(server, 'petr');
  await fakePath(session.page, '/kxserver/car', () => `12|0|${server.url}/kxserver/kml?0123456789ABCDEF0123456789ABCDEF.kmz`);
  await fakePath(session.page, '/kxserver/kml', () => ({ status: 200, body: kmz(ICON_KML) }));
  return session;
}

describe('event icons', () => {
  test('the open map shows the system\'s icons from this service', async () => {
    const session = await iconPage(servers.tiles);
    await session.tree.click('text=Газель (1234)');
    await settled(session.page, 12);
    const icons = await session.page.$$eval('#GoogleFrame .leaflet-marker-icon', (images) => images.map((i) => [i.title, new URL(i.src).pathname + new URL(i.src).search, i.naturalWidth]));
    assert.deepEqual(icons, [
      ['Остановка', '/kxserver/img?KX_park.gif', 22],
      ['Превышение скорости', '/kxserver/img?KX_speed.gif', 22],
      ['Другое', '/truck.png', 256],
      ['Газель (1234)', '/kxserver/img?leaflet-marker-icon.png', 25],
    ]);
    assert.ok(session.outside.every((u) => !u.includes('/kx_icons/')));
    await session.context.close();
  });

  test('the Google map gets the same icon addresses', async () => {
    const session = await iconPage(servers.google);
    await session.tree.click('text=Газель (1234)');
    await session.page.waitForFunction(() => window.__maps && window.__maps.fitBounds.length === 1);
    const markers = await session.page.evaluate(() => window.__maps.markers.map((m) => [m.title, m.icon]));
    assert.deepEqual(markers, [
      ['Остановка', '/kxserver/img?KX_park.gif'],
      ['Превышение скорости', '/kxserver/img?KX_speed.gif'],
      ['Другое', 'https://icons.example.net/truck.png'],
      ['Газель (1234)', null],
    ]);
    assert.equal(await session.page.$('#GoogleFrame .leaflet-container'), null);
    await session.context.close();
  });
});

describe('hostile [Map] values', () => {
  test('stay data: no script runs, no link but http(s), the layers get them unchanged', async () => {
    const session = await mapPage(servers.hostile, 'petr');
    const { page } = session;
    const layers = await page.evaluate(() => window.kxMapLayers);
    assert.equal(layers[0].tiles, HOSTILE.RoadTiles);
    assert.equal(layers[0].attribution, HOSTILE.RoadAttribution);
    assert.equal(layers[1].tiles, HOSTILE.SatelliteTiles);
    assert.equal(layers[1].attribution, HOSTILE.SatelliteAttribution);
    await session.tree.click('text=Газель (1234)');
    await page.waitForSelector('#GoogleFrame .leaflet-marker-icon');
    // The road layer's address is no tile address: no tiles, the notice.
    await page.waitForSelector('#GoogleFrame .kx-map-notice');
    const attribution = await page.$eval('#GoogleFrame .leaflet-control-attribution', (a) => ({
      text: a.textContent, elements: [...a.querySelectorAll('*')].map((e) => e.tagName),
      links: [...a.querySelectorAll('a')].map((l) => [...l.attributes].map((x) => x.name).sort().join(',') + ' ' + l.getAttribute('href')),
    }));
    assert.match(attribution.text, /x"'Bold/);
    assert.ok(!attribution.elements.some((t) => ['SCRIPT', 'IMG', 'B'].includes(t)), attribution.elements.join());
    assert.ok(attribution.links.every((l) => / https:\/\//.test(l)), attribution.links.join('|'));
    await chooseLayer(page, 'Спутник');
    await page.waitForFunction(() => document.querySelector('#GoogleFrame .leaflet-control-attribution').textContent.includes('ok'));
    const link = await page.$eval('#GoogleFrame .leaflet-control-attribution a[href="https://ok.test/"]',
        (l) => [...l.attributes].map((x) => x.name).sort().join(','));
    assert.equal(link, 'href,rel,target');
    await page.waitForFunction(() => document.querySelectorAll('#GoogleFrame .leaflet-tile-pane img').length > 0);
    assert.ok(session.outside.some((u) => u.startsWith('https://sat.tiles.test/12/')));
    assert.ok(session.outside.every((u) => !u.startsWith('javascript')));
    assert.deepEqual([session.dialogs, session.errors], [[], []]);
    await session.context.close();
  });
});
