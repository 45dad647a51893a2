// Starts the real KXWebServer in a temporary service folder and drives Debian's Chromium with
// playwright-core. Outside scripts (Google Maps, counters) never load: the page gets a small fake
// of the Maps API that records what the page asks of it, and every request that is not for the
// loopback server is refused.
import { spawn } from 'node:child_process';
import { createHash } from 'node:crypto';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const repo = path.resolve(here, '..', '..');
const SERVER = process.env.KX_WEB_SERVER || path.join(repo, 'build-pages', 'service', 'KXWebServer');
export const SCREENSHOTS = process.env.KX_SCREENSHOT_DIR || path.join(repo, 'build-pages', 'browser-screenshots');
const START_TIMEOUT_MS = 15000;

export const CHROMIUM_FLAGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

// windows-1251 bytes of a text (the INI files are in that code page).
const cp1251 = (() => {
  const decoder = new TextDecoder('windows-1251');
  const table = new Map();
  for (let b = 0; b < 256; b++) table.set(decoder.decode(Uint8Array.of(b)), b);
  return (text) => Buffer.from([...text].map((c) => (table.has(c) ? table.get(c) : 0x3f)));
})();

export { cp1251 };

export function passwordDigest(login, password) {
  let inner = createHash('md5').update(cp1251(password)).digest();
  const zero = inner.indexOf(0);
  if (zero >= 0) inner = inner.subarray(0, zero);
  const name = cp1251(login);
  return createHash('md5').update(Buffer.concat([name, inner, name])).digest('hex').toUpperCase();
}

function ini(sections) {
  const lines = [];
  for (const [name, keys] of sections) {
    lines.push(`[${name}]`);
    for (const [key, value] of Object.entries(keys)) lines.push(`${key}=${value}`);
  }
  return cp1251(lines.join('\r\n') + '\r\n');
}

// users: [{login, password, rights, devices, managed, display: {tablewidth, ..., Icons}}]
function usersIni(users) {
  const main = { UsersCount: users.length };
  users.forEach((u, i) => { main[`User${i}`] = u.login; });
  const sections = [['main', main]];
  for (const u of users) {
    const keys = { login: u.login, pass: passwordDigest(u.login, u.password || ''), r: u.rights || 0 };
    const devices = u.devices || [];
    keys.devcount = devices.length;
    devices.forEach((d, j) => { keys[`dev${j}`] = d; });
    if (u.managed) {
      keys.UsersCount = u.managed.length;
      u.managed.forEach((m, k) => { keys[`User${k}`] = m; });
    }
    Object.assign(keys, u.display || {});
    sections.push([u.login, keys]);
  }
  return ini(sections);
}

// vehicles: [{device, model, number, group, groupFile}]
function deviceListIni(vehicles) {
  const sections = [['main', { devCount: vehicles.length }]];
  vehicles.forEach((v, j) => {
    sections.push([`dev${j}`, { devnum: v.device, carmodel: v.model, carnumber: v.number || '', groupname: v.group, groupfile: v.groupFile }]);
  });
  return ini(sections);
}

function freePort() {
  return new Promise((resolve, reject) => {
    const probe = net.createServer();
    probe.on('error', reject);
    probe.listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

// The static files as an installer lays them out: each of js, css and img with the vendor files
// beside the project's own.
function copyStatic(folder) {
  const from = path.join(repo, 'static');
  const kinds = { js: /\.js$/, css: /\.css$/, img: /\.(png|gif|ico)$/ };
  for (const [sub, pattern] of Object.entries(kinds)) {
    fs.mkdirSync(path.join(folder, sub), { recursive: true });
    for (const dir of [path.join(from, sub), path.join(from, sub, 'vendor')]) {
      if (!fs.existsSync(dir)) continue;
      for (const name of fs.readdirSync(dir)) {
        if (pattern.test(name)) fs.copyFileSync(path.join(dir, name), path.join(folder, sub, name));
      }
    }
  }
  for (const name of ['togeojson.js', 'leaflet.js', 'worldoutline.js']) {
    if (!fs.existsSync(path.join(folder, 'js', name))) {
      throw new Error(`static/js/vendor/${name} is missing: run scripts/install-static-vendor.sh`);
    }
  }
}

async function waitListening(port, child) {
  const deadline = Date.now() + START_TIMEOUT_MS;
  while (Date.now() < deadline) {
    if (child.exitCode !== null) throw new Error(`KXWebServer exited with ${child.exitCode}`);
    const open = await new Promise((resolve) => {
      const socket = net.connect(port, '127.0.0.1', () => { socket.destroy(); resolve(true); });
      socket.on('error', () => resolve(false));
    });
    if (open) return;
    await new Promise((r) => setTimeout(r, 50));
  }
  throw new Error(`KXWebServer did not listen on ${port}`);
}

// Starts a server; options: users, vehicles, settings (extra Settings.ini lines), useKX and
// useDeviceList (0: the vehicle list comes from the dispatcher), env (added to the server's
// environment).
export async function startServer({ users = [], vehicles = [], settings = '', useKX = 1, useDeviceList = 1, env = {} } = {}) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kx-browser-'));
  const port = await freePort();
  fs.mkdirSync(path.join(folder, 'kml'));
  copyStatic(folder);
  fs.writeFileSync(path.join(folder, 'Settings.ini'),
      cp1251(`[main]\r\nport=${port}\r\nUseKX=${useKX}\r\nUseDeviceList=${useDeviceList}\r\n${settings}`));
  fs.writeFileSync(path.join(folder, 'Users.ini'), usersIni(users));
  fs.writeFileSync(path.join(folder, 'DeviceList.ini'), deviceListIni(vehicles));
  const child = spawn(SERVER, ['--folder', folder], { stdio: ['ignore', 'ignore', 'pipe'], env: { ...process.env, ...env } });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  await waitListening(port, child);
  return {
    url: `http://127.0.0.1:${port}`,
    folder,
    stderr: () => stderr,
    async stop() {
      if (child.exitCode === null) {
        const exited = new Promise((resolve) => child.once('exit', resolve));
        child.kill('SIGTERM');
        await exited;
      }
      fs.rmSync(folder, { recursive: true, force: true });
    },
  };
}

export async function launchBrowser() {
  return chromium.launch({ executablePath: '/usr/bin/chromium', headless: true, args: CHROMIUM_FLAGS });
}

// The fake Maps API: records maps, markers, lines, view fits and zoom changes in window.__maps.
const FAKE_MAPS = `
(function () {
  var log = window.__maps = { maps: [], markers: [], polylines: [], fitBounds: [], zooms: [] };
  function LatLng(lat, lng) { this.latValue = lat; this.lngValue = lng; }
  LatLng.prototype.lat = function () { return this.latValue; };
  LatLng.prototype.lng = function () { return this.lngValue; };
  function LatLngBounds() { this.points = []; }
  LatLngBounds.prototype.extend = function (p) { this.points.push([p.lat(), p.lng()]); return this; };
  function Map(element, options) {
    this.element = element; this.options = options; this.zoom = options.zoom; this.listeners = {};
    element.setAttribute('data-fake-map', '1');
    log.maps.push({ zoom: options.zoom, mapTypeId: options.mapTypeId });
    log.current = this;
  }
  Map.prototype.getZoom = function () { return this.zoom; };
  Map.prototype.setZoom = function (z) {
    this.zoom = z; log.zooms.push(z);
    (this.listeners.zoom_changed || []).forEach(function (f) { f(); });
  };
  // Fitting a view chooses its own zoom, as the real map does.
  Map.prototype.fitBounds = function (bounds) {
    log.fitBounds.push(bounds.points.slice());
    this.setZoom(bounds.points.length > 1 ? 13 : 21);
  };
  function Marker(options) {
    this.options = options; this.listeners = {};
    log.markers.push({ lat: options.position.lat(), lng: options.position.lng(), title: options.title, icon: options.icon || null });
  }
  Marker.prototype.addListener = function (name, f) { this.listeners[name] = f; };
  function Polyline(options) {
    log.polylines.push(options.path.map(function (p) { return [p.lat(), p.lng()]; }));
  }
  function InfoWindow() {}
  InfoWindow.prototype.setContent = function (c) { log.info = c.textContent; };
  InfoWindow.prototype.open = function () {};
  window.google = { maps: {
    Map: Map, LatLng: LatLng, LatLngBounds: LatLngBounds, Marker: Marker, Polyline: Polyline,
    InfoWindow: InfoWindow, MapTypeId: { ROADMAP: 'roadmap', HYBRID: 'hybrid', TERRAIN: 'terrain', SATELLITE: 'satellite' },
    event: { addListener: function (target, name, f) { (target.listeners[name] = target.listeners[name] || []).push(f); } }
  } };
})();
`;

// A browser context that reaches only the loopback server; Google Maps is the fake above, the
// counters' scripts and images are empty. Records every request to the Maps API host.
export async function newContext(browser, { timezoneId = 'Asia/Yekaterinburg', viewport = { width: 1366, height: 768 } } = {}) {
  const context = await browser.newContext({ timezoneId, viewport, locale: 'ru-RU' });
  context.mapsRequests = [];
  await context.route((url) => !/^https?:\/\/(127\.0\.0\.1|\[::1\])(:\d+)?\//.test(url.href), (route) => {
    const url = route.request().url();
    if (url.startsWith('https://maps.googleapis.com/')) {
      context.mapsRequests.push(url);
      return route.fulfill({ status: 200, contentType: 'text/javascript', body: FAKE_MAPS });
    }
    return route.fulfill({ status: 200, contentType: 'text/plain', body: '' });
  });
  return context;
}

// Collects the page's alerts and confirms (confirm is answered with `accept`).
export function recordDialogs(page, { accept = true } = {}) {
  const dialogs = [];
  page.on('dialog', async (dialog) => {
    dialogs.push({ type: dialog.type(), message: dialog.message() });
    if (accept) await dialog.accept(); else await dialog.dismiss();
  });
  return dialogs;
}

// Answers one path of the server from the test: for handlers that stand outside these pages.
// Records each request (method and the address after the host) and replies with reply(request).
export async function fakePath(page, pathName, reply) {
  const requests = [];
  await page.route((url) => url.pathname === pathName, (route) => {
    const request = route.request();
    const url = new URL(request.url());
    requests.push({ method: request.method(), target: url.pathname + url.search, body: request.postData() || '' });
    const answer = reply(requests[requests.length - 1]);
    return route.fulfill(typeof answer === 'string' ? { status: 200, contentType: 'text/plain', body: answer } : answer);
  });
  return requests;
}

export async function signIn(page, server, login, password) {
  await page.goto(`${server.url}/kxserver/main`);
  await page.fill('#kx_login', login);
  await page.fill('#password', password);
  await Promise.all([page.waitForNavigation(), page.click('input[name=OK]')]);
}

export async function screenshot(page, name) {
  fs.mkdirSync(SCREENSHOTS, { recursive: true });
  await page.screenshot({ path: path.join(SCREENSHOTS, `${name}.png`) });
}

function crc32(bytes) {
  let crc = 0xffffffff;
  for (const byte of bytes) {
    crc ^= byte;
    for (let k = 0; k < 8; k++) crc = (crc >>> 1) ^ (0xedb88320 & -(crc & 1));
  }
  return (crc ^ 0xffffffff) >>> 0;
}

// A ZIP archive with one deflated entry, as the service packs its KMZ files.
export function kmz(kmlText) {
  const data = Buffer.from(kmlText, 'utf-8');
  const packed = zlib.deflateRawSync(data);
  const crc = crc32(data);
  const name = Buffer.from('doc.kml');
  const local = Buffer.alloc(30);
  local.writeUInt32LE(0x04034b50, 0); local.writeUInt16LE(20, 4); local.writeUInt16LE(8, 8);
  local.writeUInt32LE(crc >>> 0, 14); local.writeUInt32LE(packed.length, 18); local.writeUInt32LE(data.length, 22);
  local.writeUInt16LE(name.length, 26);
  const central = Buffer.alloc(46);
  central.writeUInt32LE(0x02014b50, 0); central.writeUInt16LE(20, 4); central.writeUInt16LE(20, 6);
  central.writeUInt16LE(8, 10); central.writeUInt32LE(crc >>> 0, 16); central.writeUInt32LE(packed.length, 20);
  central.writeUInt32LE(data.length, 24); central.writeUInt16LE(name.length, 28);
  const centralOffset = local.length + name.length + packed.length;
  const end = Buffer.alloc(22);
  end.writeUInt32LE(0x06054b50, 0); end.writeUInt16LE(1, 8); end.writeUInt16LE(1, 10);
  end.writeUInt32LE(central.length + name.length, 12); end.writeUInt32LE(centralOffset, 16);
  return Buffer.concat([local, name, packed, central, name, end]);
}

function pngChunk(type, data) {
  const length = Buffer.alloc(4);
  length.writeUInt32BE(data.length);
  const body = Buffer.concat([Buffer.from(type, 'latin1'), data]);
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(body));
  return Buffer.concat([length, body, crc]);
}

// A map tile: a PNG of 256 x 256 pixels in one colour ([r, g, b]).
export function tilePng([r, g, b]) {
  const size = 256;
  const header = Buffer.alloc(13);
  header.writeUInt32BE(size, 0); header.writeUInt32BE(size, 4);
  header[8] = 8; header[9] = 2; // 8 bits per channel, RGB
  const row = Buffer.alloc(1 + size * 3);
  for (let x = 0; x < size; x++) row.set([r, g, b], 1 + x * 3);
  const pixels = Buffer.concat(Array.from({ length: size }, () => row));
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    pngChunk('IHDR', header), pngChunk('IDAT', zlib.deflateSync(pixels)), pngChunk('IEND', Buffer.alloc(0)),
  ]);
}
