// The administration, settings and password pages against the server's own request handlers
// (no request is answered by the test): what a page sends is what the service stores.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { launchBrowser, newContext, recordDialogs, signIn, startServer } from './harness.mjs';

const VEHICLES = [
  { device: 10, model: 'Газель', group: 'Группа А', groupFile: 'a.grp' },
  { device: 20, model: 'Камаз', group: 'Группа Б', groupFile: 'b.grp' },
];

let browser;
let server;

before(async () => {
  browser = await launchBrowser();
  server = await startServer({ users: [{ login: 'admin', password: 'secret', rights: 2 }], vehicles: VEHICLES });
});
after(async () => {
  await browser?.close();
  await server?.stop();
});

async function session(login, password) {
  const context = await newContext(browser);
  const page = await context.newPage();
  const dialogs = recordDialogs(page);
  await signIn(page, server, login, password);
  const alert = async (action) => {
    const before = dialogs.length;
    await action();
    await page.waitForFunction(() => true);
    for (let i = 0; i < 100 && dialogs.length === before; i++) await page.waitForTimeout(50);
    return dialogs[dialogs.length - 1]?.message;
  };
  return { context, page, dialogs, alert };
}

test('a user added, changed, given a new password and deleted through the pages', async () => {
  const admin = await session('admin', 'secret');
  const { page } = admin;
  await page.goto(`${server.url}/kxserver/NewUser`);
  await page.fill('#kx_login', 'newbie');
  await page.dispatchEvent('#kx_login', 'keyup');
  await page.fill('#password', 'start1');
  await page.fill('#password2', 'start1');
  await page.dispatchEvent('#password2', 'keyup');
  await page.frame({ name: 'Carlist' }).check('input[name=chb20]');
  assert.equal(await admin.alert(() => page.click('#bOK')), 'Пользователь добавлен');
  assert.equal(await admin.alert(() => page.click('#bOK')),
      'Пользователь с таким именем уже существует, задайте другое имя');

  await page.goto(`${server.url}/kxserver/ChangeUser`);
  await page.selectOption('#UserList', 'newbie');
  const tree = page.frame({ name: 'Carlist' });
  await tree.waitForFunction(() => document.querySelector('input[name=chb20]')?.checked === true);
  assert.equal(await tree.isChecked('input[name=chb10]'), false);
  await tree.check('input[name=chb10]');
  await page.selectOption('#rights', '1');
  assert.equal(await admin.alert(() => page.click('#bOK')), 'Изменения сохранены');

  // The user signs in with the password given at creation, sees both vehicles, changes it.
  const user = await session('newbie', 'start1');
  assert.match(await user.page.textContent('.kx-greeting'), /newbie \(Модератор\)/);
  const labels = await user.page.frame({ url: /carlist$/ }).$$eval('.dtree .node', (n) => n.map((x) => x.textContent));
  // The page sends the checked vehicles in tree order, and the account keeps that order.
  assert.deepEqual(labels, ['Список транспорта', 'Группа А', 'Газель (10)', 'Группа Б', 'Камаз (20)']);
  await user.page.goto(`${server.url}/kxserver/ChangePass`);
  await user.page.fill('#oldpassword', 'wrong');
  await user.page.fill('#password', 'next2');
  await user.page.fill('#password2', 'next2');
  await user.page.dispatchEvent('#password2', 'keyup');
  assert.equal(await user.alert(() => user.page.click('#bOK')), 'Старый пароль неверен');
  await user.page.fill('#oldpassword', 'start1');
  assert.equal(await user.alert(() => user.page.click('#bOK')), 'Изменения сохранены');
  await user.context.close();
  const again = await session('newbie', 'next2');
  assert.equal(await again.page.title(), 'Velorin: Просмотр транспорта');
  await again.context.close();

  await page.goto(`${server.url}/kxserver/DeleteUser`);
  await page.selectOption('#UserList', 'newbie');
  await Promise.all([page.waitForNavigation(), page.click('#bOK')]);
  assert.deepEqual(admin.dialogs.slice(-1), [{ type: 'alert', message: 'Пользователь удален' }]);
  assert.deepEqual(await page.$$eval('#UserList option', (o) => o.map((x) => x.value)), ['admin']);
  await admin.context.close();
});

test('saved settings come back in the settings page and size the map page', async () => {
  const { context, page, alert } = await session('admin', 'secret');
  await page.goto(`${server.url}/kxserver/settings`);
  for (const [id, value] of [['tablewidth', '1000px'], ['tableheight', '600px'], ['CarsListWidth', '250px'], ['GoogleZoom', '5']]) {
    await page.fill(`#${id}`, value);
    await page.dispatchEvent(`#${id}`, 'keyup');
  }
  await page.selectOption('#GoogleType', '2');
  assert.equal(await alert(() => page.click('#bOK')), 'Настройки сохранены');
  await page.goto(`${server.url}/kxserver/settings`);
  assert.deepEqual(await Promise.all(['tablewidth', 'tableheight', 'CarsListWidth', 'GoogleZoom', 'GoogleType']
      .map((id) => page.inputValue(`#${id}`))), ['1000px', '600px', '250px', '5', '2']);
  await page.goto(`${server.url}/kxserver/main`);
  const table = await page.locator('table.kx-map').boundingBox();
  assert.equal(Math.round(table.width), 1000);
  const tree = await page.locator('#CarListFrame').boundingBox();
  assert.ok(tree.width > 200 && tree.width <= 252, JSON.stringify(tree));
  await context.close();
});

// Whether the sign-in form takes the login and password (the map page follows) or refuses them.
async function signsIn(login, password) {
  const context = await newContext(browser);
  const page = await context.newPage();
  await signIn(page, server, login, password);
  const title = await page.title();
  await context.close();
  assert.match(title, /^Velorin: (Просмотр транспорта|Авторизация)$/);
  return title === 'Velorin: Просмотр транспорта';
}

async function fillPasswords(page, password) {
  await page.fill('#password', password);
  await page.fill('#password2', password);
  await page.dispatchEvent('#password2', 'keyup');
}

test('passwords set on the pages sign in through the sign-in form', async () => {
  // Together the passwords hold every special character the password rule allows; each also has
  // digits and Latin and Cyrillic letters, and fits the 30 characters of the fields.
  const added = '!"#$%\'()*+,-./:;<=>?@0aZжЯ';
  const changed = '[\\]^_`{|}~9qQабвгдеЖЗ';
  const renewed = 'юЯя%23#?+/:@=~"\\Xx5';
  const admin = await session('admin', 'secret');
  const { page } = admin;
  await page.goto(`${server.url}/kxserver/NewUser`);
  await page.fill('#kx_login', 'anna');
  await page.dispatchEvent('#kx_login', 'keyup');
  await fillPasswords(page, added);
  await page.frame({ name: 'Carlist' }).check('input[name=chb10]');
  assert.equal(await admin.alert(() => page.click('#bOK')), 'Пользователь добавлен');
  assert.equal(await signsIn('anna', added), true);
  assert.equal(await signsIn('anna', added.slice(0, -1)), false);

  await page.goto(`${server.url}/kxserver/ChangeUser`);
  await page.selectOption('#UserList', 'anna');
  await page.frame({ name: 'Carlist' }).waitForFunction(() => document.querySelector('input[name=chb10]')?.checked);
  await fillPasswords(page, changed);
  assert.equal(await admin.alert(() => page.click('#bOK')), 'Изменения сохранены');
  assert.equal(await signsIn('anna', changed), true);
  assert.equal(await signsIn('anna', added), false);
  await admin.context.close();

  const anna = await session('anna', changed);
  await anna.page.goto(`${server.url}/kxserver/ChangePass`);
  await anna.page.fill('#oldpassword', changed);
  await fillPasswords(anna.page, renewed);
  assert.equal(await anna.alert(() => anna.page.click('#bOK')), 'Изменения сохранены');
  await anna.context.close();
  assert.equal(await signsIn('anna', renewed), true);
  assert.equal(await signsIn('anna', changed), false);
});

test('a late user-information reply does not land on the user selected since', async () => {
  const { context, page } = await session('admin', 'secret');
  const add = (query) => page.evaluate((q) => fetch(`/kxserver/AddUser?${q}`, { method: 'POST' }).then((r) => r.text()), query);
  assert.equal(await add('Login=first&Pass=&r=0&CarList=10-'), '0');
  assert.equal(await add('Login=second&Pass=&r=1&CarList=20-'), '0');
  // The reply about "first" reaches the page only once the one about "second" has been shown.
  let release;
  const held = new Promise((resolve) => { release = resolve; });
  await page.route(/\/kxserver\/GetUserInfo\?Login=first$/, async (route) => {
    const response = await route.fetch();
    await held;
    await route.fulfill({ response });
  });
  await page.goto(`${server.url}/kxserver/ChangeUser`);
  const tree = page.frame({ name: 'Carlist' });
  await tree.waitForSelector('input[name=chb20]', { state: 'attached' });
  await page.selectOption('#UserList', 'first');
  await page.selectOption('#UserList', 'second');
  await tree.waitForFunction(() => document.querySelector('input[name=chb20]').checked);
  const late = page.waitForResponse(/GetUserInfo\?Login=first$/);
  release();
  await (await late).finished();
  await page.waitForTimeout(300);
  assert.equal(await page.inputValue('#rights'), '1');
  assert.deepEqual(await tree.$$eval('input[type=checkbox]:checked', (boxes) => boxes.map((b) => b.name)), ['chb20']);
  await context.close();
});
