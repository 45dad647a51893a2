// The sign-in page, the map pages and the vehicle tree in Chromium against the real server.
// The map data request ("/kxserver/car") and the archive fetch ("/kxserver/kml") are answered by
// the test with the service's documented replies, so that every reply the page reads is covered.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import {
  fakePath, kmz, launchBrowser, newContext, recordDialogs, screenshot, signIn, startServer,
} from './harness.mjs';

const VEHICLES = [
  { device: 10, model: 'Газель', group: 'Группа А', groupFile: 'a.grp' },
  { device: 20, model: 'Камаз', group: 'Группа Б', groupFile: 'b.grp' },
  { device: 30, model: "O'Нил \\ <b>", group: 'Группа А', groupFile: 'a.grp' },
];
const USERS = [
  { login: 'admin', password: 'secret', rights: 2, display: { GoogleZoom: 12, GoogleType: 1, Icons: 4096 } },
  { login: 'ivan', password: 'pw', rights: 0, devices: [20, 10] },
  { login: 'boss', password: 'pw', rights: 1, devices: [10], managed: ['ivan'] },
];

const TRACK_KML = `<?xml version="1.0" encoding="UTF-8"?>
<kml xmlns="http://www.opengis.net/kml/2.2"><Document>
<Placemark><name>Газель (10)</name><description><![CDATA[Скорость: 40 км/ч<br>Время: 10:15]]></description>
<Point><coordinates>60.60,56.84,0</coordinates></Point></Placemark>
<Placemark><name>Трек</name><LineString><coordinates>60.60,56.84,0 60.62,56.85,0 60.65,56.86,0</coordinates></LineString></Placemark>
</Document></kml>`;

let browser;
let server;

before(async () => {
  browser = await launchBrowser();
  server = await startServer({ users: USERS, vehicles: VEHICLES, settings: '[GoogleMaps]\r\nKey=TEST-KEY_1\r\n' });
});
after(async () => {
  await browser?.close();
  await server?.stop();
});

// A signed-in map page with the map request answered by `reply`; returns page and requests.
async function mapPage(login, password, reply, contextOptions = {}) {
  const context = await newContext(browser, contextOptions);
  const page = await context.newPage();
  const dialogs = recordDialogs(page);
  const requests = await fakePath(page, '/kxserver/car', reply);
  const archives = await fakePath(page, '/kxserver/kml', () => ({ status: 200, body: kmz(TRACK_KML) }));
  await signIn(page, server, login, password);
  const tree = page.frame({ url: /\/kxserver\/carlist$/ });
  await tree.waitForSelector('.dtree a.node');
  return { context, page, tree, requests, archives, dialogs };
}

const lastTarget = (requests) => requests[requests.length - 1]?.target;

describe('sign-in page', () => {
  test('a wrong password shows the error, the right one the map page', async () => {
    const context = await newContext(browser);
    const page = await context.newPage();
    await page.goto(`${server.url}/kxserver/main`);
    assert.equal(await page.title(), 'Velorin: Авторизация');
    assert.equal((await page.textContent('.kx-error')).trim(), '');
    const logo = await page.$eval('img[src="/kxserver/img?kx_logo.png"]', (img) => [img.naturalWidth, img.naturalHeight]);
    assert.deepEqual(logo, [220, 81]);
    await screenshot(page, 'login');
    await page.fill('#kx_login', 'ivan');
    await page.fill('#password', 'wrong');
    await Promise.all([page.waitForNavigation(), page.click('input[name=OK]')]);
    assert.equal((await page.textContent('.kx-error')).trim(), 'Ошибка: Неверное имя пользователя или пароль');
    await screenshot(page, 'login-error');
    await page.fill('#kx_login', 'ivan');
    await page.fill('#password', 'pw');
    await Promise.all([page.waitForNavigation(), page.click('input[name=OK]')]);
    assert.equal(await page.title(), 'Velorin: Просмотр транспорта');
    assert.match(await page.textContent('.kx-greeting'), /Добро пожаловать,\s+ivan \(Пользователь\)/);
    assert.equal(await page.$('#w3mh_box a[href="/kxserver/NewUser"]'), null);
    await context.close();
  });
});

describe('map page', () => {
  test('the tree shows groups in the order of the session list, vehicles under them', async () => {
    const { context, page, tree } = await mapPage('ivan', 'pw', () => '1');
    const labels = await tree.$$eval('.dtree .node', (nodes) => nodes.map((n) => n.textContent));
    assert.deepEqual(labels, ['Список транспорта', 'Группа Б', 'Камаз (20)', 'Группа А', 'Газель (10)']);
    await screenshot(page, 'main-kx');
    await context.close();
  });

  test('names with quotes, backslashes and markup stay text', async () => {
    const { context, tree } = await mapPage('admin', 'secret', () => '1');
    const labels = await tree.$$eval('.dtree .node', (nodes) => nodes.map((n) => n.textContent));
    assert.ok(labels.includes("O'Нил \\ <b> (30)"), labels.join('|'));
    assert.equal(await tree.$('.dtree b'), null);
    await context.close();
  });

  test('a vehicle click sends the last-position request and draws the archive', async () => {
    const { context, page, tree, requests, archives } = await mapPage('admin', 'secret',
        () => '12|1|http://maps.example:8080/kxserver/kml?0123456789ABCDEF0123456789ABCDEF.kmz');
    await tree.click('text=Камаз (20)');
    await page.waitForFunction(() => window.__maps && window.__maps.fitBounds.length === 1);
    assert.equal(lastTarget(requests), '/kxserver/car?DevNum=20&type=0&GMT=5');
    assert.equal(requests[0].method, 'GET');
    assert.equal(lastTarget(archives), '/kxserver/kml?0123456789ABCDEF0123456789ABCDEF.kmz');
    const maps = await page.evaluate(() => window.__maps);
    assert.deepEqual(maps.maps, [{ zoom: 12, mapTypeId: 'hybrid' }]);
    assert.deepEqual(maps.markers.map((m) => [m.lat, m.lng, m.title]), [[56.84, 60.6, 'Газель (10)']]);
    assert.deepEqual(maps.polylines, [[[56.84, 60.6], [56.85, 60.62], [56.86, 60.65]]]);
    // The view is fitted (zoom 13) and the user's zoom restored once.
    assert.deepEqual(maps.zooms, [13, 12]);
    assert.deepEqual(context.mapsRequests, ['https://maps.googleapis.com/maps/api/js?v=weekly&key=TEST-KEY_1']);
    await screenshot(page, 'main-kx-map');
    await context.close();
  });

  test('replies 1, 2 and 3 show their messages; another status sends the window to sign in', async () => {
    let answer = '1';
    const { context, page, tree } = await mapPage('ivan', 'pw', () => answer);
    const messages = {
      1: 'Ошибка: Запрашиваемые данные отсутствуют',
      2: 'Ошибка: Устройство с таким номером не найдено или вы не имеете прав для его просмотра',
      3: 'Ошибка: Неправильный формат запроса',
    };
    for (const [code, text] of Object.entries(messages)) {
      answer = code;
      await tree.click('text=Газель (10)');
      await page.waitForFunction((t) => document.querySelector('#GoogleFrame font.error')?.textContent === t, text);
      assert.equal(await page.$eval('#GoogleFrame', (f) => f.textContent), `\u00a0${text}`);
    }
    await screenshot(page, 'main-kx-error');
    answer = { status: 401, body: '' };
    await Promise.all([page.waitForURL(/\/kxserver\/kxserver\/login$/), tree.click('text=Газель (10)')]);
    await context.close();
  });

  test('track checks: no dates, more than a week; a week passes with the icon bits', async () => {
    const { context, page, tree, requests, dialogs } = await mapPage('admin', 'secret', () => '1');
    assert.equal(await page.isVisible('#PeriodDiv'), false);
    await page.check('#type2');
    assert.equal(await page.isVisible('#PeriodDiv'), true);
    await tree.click('text=Газель (10)');
    assert.deepEqual(dialogs.pop(), { type: 'alert', message: 'Не выбран период запроса' });
    await page.evaluate(() => {
      document.getElementById('BeginDate').value = '01.03.2010 9:00';
      document.getElementById('EndDate').value = '08.03.2010 9:01';
    });
    await tree.click('text=Газель (10)');
    assert.deepEqual(dialogs.pop(), { type: 'alert', message: 'Период времени для запроса не должен превышать одну неделю' });
    assert.equal(requests.length, 0);
    await page.evaluate(() => { document.getElementById('EndDate').value = '08.03.2010 9:00'; });
    await tree.click('text=Газель (10)');
    await page.waitForFunction(() => document.querySelector('#GoogleFrame font.error'));
    assert.equal(lastTarget(requests),
        '/kxserver/car?DevNum=10&type=1&BeginDate=01.03.2010_9:00&EndDate=08.03.2010_9:00&GMT=5&Icons=4096');
    await context.close();
  });

  test('the calendars: the end is limited to the begin day and six more', async () => {
    const { context, page, tree, requests } = await mapPage('ivan', 'pw', () => '1');
    await page.check('#type2');
    await page.click('#BeginDate');
    const begin = page.locator('.DynarchCalendar').first();
    await begin.locator('.DynarchCalendar-hour').selectOption('7');
    await begin.locator('.DynarchCalendar-minute').selectOption('5');
    await begin.locator('.DynarchCalendar-day:not(.DynarchCalendar-day-othermonth)', { hasText: /^10$/ }).click();
    assert.equal(await begin.isVisible(), false);
    const beginText = await page.inputValue('#BeginDate');
    assert.match(beginText, /^10\.\d\d\.\d{4} 7:05$/);
    assert.equal(await page.inputValue('#EndDate'), '');
    await page.click('#EndDate');
    const end = page.locator('.DynarchCalendar').nth(1);
    const allowed = await end.locator('.DynarchCalendar-day:not(.DynarchCalendar-day-disabled)').allTextContents();
    assert.deepEqual(allowed, ['10', '11', '12', '13', '14', '15', '16']);
    await screenshot(page, 'main-kx-calendar');
    await end.locator('.DynarchCalendar-hour').selectOption('23');
    await end.locator('.DynarchCalendar-day:not(.DynarchCalendar-day-disabled)', { hasText: /^16$/ }).click();
    assert.equal(await end.isVisible(), false);
    await tree.click('text=Камаз (20)');
    await page.waitForFunction(() => document.querySelector('#GoogleFrame font.error'));
    const month = beginText.substring(3, 10);
    assert.match(lastTarget(requests),
        new RegExp(`^/kxserver/car\\?DevNum=20&type=1&BeginDate=10\\.${month.replace('.', '\\.')}_7:05&EndDate=16\\.${month.replace('.', '\\.')}_23:\\d\\d&GMT=5&Icons=0$`));
    await context.close();
  });

  test('icons follow the stored bits and toggle into the request', async () => {
    const { context, page, tree, requests } = await mapPage('admin', 'secret', () => '1');
    const sources = await page.$$eval('img.ic', (images) => images.map((i) => i.getAttribute('src')));
    assert.equal(sources.length, 13);
    assert.equal(sources[5], '/kxserver/img?KX_sens1.gif');
    assert.equal(sources.filter((s) => s.endsWith('_dis.gif')).length, 12);
    assert.equal(await page.getAttribute('#img5', 'alt'), 'Датчик 1: Включено');
    assert.equal(await page.getAttribute('#img0', 'alt'), 'Остановки: Отключено');
    assert.ok(await page.$eval('#img12', (i) => i.complete && i.naturalWidth > 0));
    await page.check('#type2');
    await page.click('#img0');
    await page.click('#img12');
    await page.click('#img5');
    await page.evaluate(() => {
      document.getElementById('BeginDate').value = '01.03.2010 9:00';
      document.getElementById('EndDate').value = '02.03.2010 9:00';
    });
    await tree.click('text=Газель (10)');
    await page.waitForFunction(() => document.querySelector('#GoogleFrame font.error'));
    assert.match(lastTarget(requests), /&Icons=524290$/);
    await context.close();
  });

  test('a user with no icon bits sees every icon disabled and sends 0', async () => {
    const { context, page, tree, requests } = await mapPage('ivan', 'pw', () => '1');
    const sources = await page.$$eval('img.ic', (images) => images.map((i) => i.getAttribute('src')));
    assert.ok(sources.every((s) => s.endsWith('_dis.gif')));
    await page.check('#type2');
    await page.evaluate(() => {
      document.getElementById('BeginDate').value = '01.03.2010 9:00';
      document.getElementById('EndDate').value = '01.03.2010 9:30';
    });
    await tree.click('text=Газель (10)');
    await page.waitForFunction(() => document.querySelector('#GoogleFrame font.error'));
    assert.match(lastTarget(requests), /&GMT=5&Icons=0$/);
    await context.close();
  });

  test('a browser in UTC+1 has no offset chosen and sends an empty one', async () => {
    const { context, page, tree, requests } = await mapPage('ivan', 'pw', () => '1', { timezoneId: 'Africa/Lagos' });
    assert.equal(await page.inputValue('#GMTTime'), '');
    await tree.click('text=Газель (10)');
    await page.waitForFunction(() => document.querySelector('#GoogleFrame font.error'));
    assert.equal(lastTarget(requests), '/kxserver/car?DevNum=10&type=0&GMT=');
    await context.close();
  });

  test('a group click sends the group request in either mode', async () => {
    const { context, page, tree, requests } = await mapPage('ivan', 'pw', () => '1');
    assert.equal(await page.$eval('#GMTTime', (s) => s.options[s.selectedIndex].text), '(GMT+05:00) Челябинск');
    await page.check('#type2');
    await tree.click('text=Группа А');
    await page.waitForFunction(() => document.querySelector('#GoogleFrame font.error'));
    assert.equal(lastTarget(requests), '/kxserver/car?GroupFileName=0&GMT=5');
    await context.close();
  });

  test('the settings drop-down opens; moderators also get the administration one', async () => {
    const { context, page } = await mapPage('boss', 'pw', () => '1');
    assert.equal(await page.isVisible('a[href="/kxserver/ChangePass"]'), false);
    await page.hover('text=Настройки');
    assert.equal(await page.isVisible('a[href="/kxserver/ChangePass"]'), true);
    await page.hover('text=Администрирование');
    assert.equal(await page.isVisible('a[href="/kxserver/DeleteUser"]'), true);
    await screenshot(page, 'main-kx-menu');
    await context.close();
  });

  test('at 1920 x 1080 the map fills the page', async () => {
    const { context, page } = await mapPage('admin', 'secret', () => '1', { viewport: { width: 1920, height: 1080 } });
    const box = await page.locator('#GoogleFrame').boundingBox();
    assert.ok(box.width > 1200 && box.height > 600, JSON.stringify(box));
    await screenshot(page, 'main-kx-1920');
    await context.close();
  });
});

describe('guest and simple pages', () => {
  test('the guest gets the map page without greeting and menu', async () => {
    const guestServer = await startServer({
      users: [{ login: 'guest', password: '', rights: 0, devices: [10] }], vehicles: VEHICLES,
    });
    try {
      const context = await newContext(browser);
      const page = await context.newPage();
      await page.goto(`${guestServer.url}/kxserver/main`);
      assert.equal(await page.title(), 'Velorin: Просмотр транспорта');
      assert.equal(await page.$('#w3mh_box'), null);
      assert.equal(await page.$('text=Добро пожаловать'), null);
      const tree = page.frame({ url: /\/kxserver\/carlist$/ });
      await tree.waitForSelector('text=Газель (10)');
      await screenshot(page, 'main-guest');
      await context.close();
    } finally {
      await guestServer.stop();
    }
  });

  test('the simple page asks only for last positions', async () => {
    const simpleServer = await startServer({ users: USERS, vehicles: VEHICLES, useKX: 0 });
    try {
      const context = await newContext(browser);
      const page = await context.newPage();
      const requests = await fakePath(page, '/kxserver/car', () => '2');
      await signIn(page, simpleServer, 'ivan', 'pw');
      assert.equal(await page.$('#type2'), null);
      assert.equal(await page.$('#BeginDate'), null);
      assert.ok(await page.isVisible('text=Вывести последние координаты'));
      const tree = page.frame({ url: /\/kxserver\/carlist$/ });
      await tree.click('text=Камаз (20)');
      await page.waitForFunction(() => document.querySelector('#GoogleFrame font.error'));
      assert.equal(lastTarget(requests), '/kxserver/car?DevNum=20&type=0&GMT=5');
      await tree.click('text=Группа Б');
      await page.waitForFunction(() => document.querySelectorAll('#GoogleFrame font.error').length === 1);
      await page.waitForFunction(() => true);
      assert.equal(lastTarget(requests), '/kxserver/car?GroupFileName=1&GMT=5');
      await screenshot(page, 'main-simple');
      await context.close();
    } finally {
      await simpleServer.stop();
    }
  });
});
