// The settings, password and user administration pages in Chromium against the real server.
// Their requests ("/kxserver/savesettings", "/kxserver/NewPass", "/kxserver/AddUser",
// "/kxserver/GetUserInfo", "/kxserver/SaveUser", "/kxserver/UserDel") are answered by the test
// with the documented replies, so that the page's checks, requests and messages are covered.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import {
  fakePath, launchBrowser, newContext, recordDialogs, screenshot, signIn, startServer,
} from './harness.mjs';

const VEHICLES = [
  { device: 10, model: 'Газель', group: 'Группа А', groupFile: 'a.grp' },
  { device: 20, model: 'Камаз', group: 'Группа Б', groupFile: 'b.grp' },
];
const USERS = [
  { login: 'admin', password: 'secret', rights: 2 },
  { login: 'ivan', password: 'pw', rights: 0, devices: [20, 10],
    display: { tablewidth: '1200px', tableheight: '95%', CarsListWidth: '300px', GoogleZoom: 7, GoogleType: 2 } },
  { login: 'boss', password: 'pw', rights: 1, devices: [10, 20], managed: ['ivan', 'petr'] },
  { login: 'petr', password: 'pw', rights: 0, devices: [10] },
];

let browser;
let server;

before(async () => {
  browser = await launchBrowser();
  server = await startServer({ users: USERS, vehicles: VEHICLES });
});
after(async () => {
  await browser?.close();
  await server?.stop();
});

async function openPage(login, password, path, fakes = {}) {
  const context = await newContext(browser);
  const page = await context.newPage();
  const dialogs = recordDialogs(page, { accept: fakes.confirm !== false });
  const requests = {};
  for (const [name, reply] of Object.entries(fakes)) {
    if (name.startsWith('/')) requests[name] = await fakePath(page, name, reply);
  }
  await signIn(page, server, login, password);
  await page.goto(`${server.url}${path}`);
  return { context, page, dialogs, requests };
}

const until = (page, f, arg) => page.waitForFunction(f, arg);
const buttonEnabled = (page) => page.$eval('#bOK', (b) => !b.hasAttribute('disabled'));

describe('settings page', () => {
  test('shows the stored values, checks sizes and zoom, sends the five values', async () => {
    let answer = '';
    const { context, page, dialogs, requests } = await openPage('ivan', 'pw', '/kxserver/settings', {
      '/kxserver/savesettings': () => answer,
    });
    assert.equal(await page.title(), 'Velorin: Настройки пользователя');
    assert.deepEqual(await Promise.all(['tablewidth', 'tableheight', 'CarsListWidth', 'GoogleZoom', 'GoogleType']
        .map((id) => page.inputValue(`#${id}`))), ['1200px', '95%', '300px', '7', '2']);
    await screenshot(page, 'settings');
    for (const [value, ok] of [['12%', true], ['1234%%', true], ['99px', true], ['12', false], ['12345%', false],
      ['12 %', false], ['12pxx', false]]) {
      await page.fill('#tablewidth', value);
      await page.dispatchEvent('#tablewidth', 'keyup');
      assert.equal(await page.isVisible('#tablewidthErr'), !ok, value);
      assert.equal(await buttonEnabled(page), ok, value);
    }
    await page.fill('#tablewidth', '99px');
    await page.dispatchEvent('#tablewidth', 'keyup');
    for (const [value, ok] of [['1', true], ['15', true], ['0', false], ['16', false], ['05', false], ['9', true]]) {
      await page.fill('#GoogleZoom', value);
      await page.dispatchEvent('#GoogleZoom', 'keyup');
      assert.equal(await page.isVisible('#GoogleZoomErr'), !ok, value);
    }
    await page.fill('#CarsListWidth', '25');
    await page.dispatchEvent('#CarsListWidth', 'keyup');
    assert.equal(await page.inputValue('#CarsListWidthErr'),
        "*Ошибка: ширина списка машин должна содержать от одной до 4 цифр и заканчиваться либо символом '%', либо 'px'");
    assert.equal(await buttonEnabled(page), false);
    await screenshot(page, 'settings-error');
    await page.fill('#CarsListWidth', '25%');
    await page.dispatchEvent('#CarsListWidth', 'keyup');
    await page.selectOption('#GoogleType', '1');
    answer = 'anything';
    await page.click('#bOK');
    await page.waitForTimeout(200);
    assert.equal(requests['/kxserver/savesettings'].length, 1);
    assert.equal(requests['/kxserver/savesettings'][0].method, 'GET');
    assert.equal(requests['/kxserver/savesettings'][0].target,
        '/kxserver/savesettings?tablewidth=99px&tableheight=95%&CarsListWidth=25%&GoogleZoom=9&GoogleType=1');
    assert.deepEqual(dialogs, [{ type: 'alert', message: 'Настройки сохранены' }]);
    await context.close();
  });
});

describe('change-password page', () => {
  test('checks the new password and shows each reply', async () => {
    let answer = '0';
    const { context, page, dialogs, requests } = await openPage('ivan', 'pw', '/kxserver/ChangePass', {
      '/kxserver/NewPass': () => answer,
    });
    assert.equal(await page.title(), 'Velorin: Изменение пароля');
    assert.equal(await buttonEnabled(page), false);
    const type = async (first, second) => {
      await page.fill('#password', first);
      await page.fill('#password2', second);
      await page.dispatchEvent('#password2', 'keyup');
    };
    for (const [first, second, ok] of [['a&b', 'a&b', false], ['a b', 'a b', false], ['abc', 'abd', false],
      ['', '', false], ['ёж', 'ёж', false], ['Пароль42', 'Пароль42', true], ['x!~', 'x!~', true]]) {
      await type(first, second);
      assert.equal(await buttonEnabled(page), ok, first);
      assert.equal(await page.isVisible('#passErr'), !ok, first);
    }
    await type('abc', 'abd');
    await screenshot(page, 'change-password');
    await type('new1', 'new1');
    await page.fill('#oldpassword', 'pw');
    for (const [code, message] of [['0', 'Изменения сохранены'], ['1', 'Ошибка в параметрах'], ['2', 'Старый пароль неверен']]) {
      answer = code;
      await page.click('#bOK');
      await page.waitForTimeout(150);
      assert.deepEqual(dialogs.pop(), { type: 'alert', message });
    }
    assert.deepEqual(requests['/kxserver/NewPass'].map((r) => [r.method, r.target, r.body]),
        Array(3).fill(['POST', '/kxserver/NewPass?OldPass=pw&NewPass=new1', '']));
    await context.close();
  });
});

describe('add-user page', () => {
  test('the button waits for a valid login; rights 2 hides the vehicles', async () => {
    let answer = '0';
    const { context, page, dialogs, requests } = await openPage('admin', 'secret', '/kxserver/NewUser', {
      '/kxserver/AddUser': () => answer,
    });
    assert.equal(await page.title(), 'Velorin: Добавление пользователя');
    assert.deepEqual(await page.$$eval('#rights option', (o) => o.map((x) => x.value)), ['0', '1', '2']);
    assert.equal(await buttonEnabled(page), false);
    for (const [login, ok] of [['1abc', false], ['Иван', false], ['a', true], ['Petr_2-x', true], ['a b', false]]) {
      await page.fill('#kx_login', login);
      await page.dispatchEvent('#kx_login', 'keyup');
      assert.equal(await buttonEnabled(page), ok, login);
      assert.equal(await page.isVisible('#loginErr'), !ok, login);
    }
    await screenshot(page, 'add-user');
    await page.fill('#kx_login', 'newbie');
    await page.dispatchEvent('#kx_login', 'keyup');
    // Rights 0 without a vehicle: refused in the page.
    await page.click('#bOK');
    assert.deepEqual(dialogs.pop(), { type: 'alert', message: 'Не выбраны транспортные средства' });
    const tree = page.frame({ name: 'Carlist' });
    await tree.check('input[name=chb20]');
    await tree.check('input[name=chb10]');
    await page.fill('#password', 'Пароль1');
    await page.fill('#password2', 'Пароль1');
    await page.dispatchEvent('#password2', 'keyup');
    await page.click('#bOK');
    await page.waitForTimeout(200);
    assert.deepEqual(dialogs.pop(), { type: 'alert', message: 'Пользователь добавлен' });
    // The password goes as the sign-in form sends it: Cyrillic letters as windows-1251 bytes.
    assert.equal(requests['/kxserver/AddUser'][0].target,
        '/kxserver/AddUser?Login=newbie&Pass=%CF%E0%F0%EE%EB%FC1&r=0&CarList=10-20-');
    assert.equal(requests['/kxserver/AddUser'][0].method, 'POST');
    await page.selectOption('#rights', '2');
    assert.equal(await page.isVisible('#CarListDiv'), false);
    answer = '2';
    await page.click('#bOK');
    await page.waitForTimeout(200);
    assert.deepEqual(dialogs.pop(), { type: 'alert', message: 'Пользователь с таким именем уже существует, задайте другое имя' });
    assert.match(requests['/kxserver/AddUser'][1].target, /&r=2&CarList=$/);
    answer = '1';
    await page.click('#bOK');
    await page.waitForTimeout(200);
    assert.deepEqual(dialogs.pop(), { type: 'alert', message: 'Ошибка в параметрах' });
    answer = '7';
    await page.click('#bOK');
    await page.waitForTimeout(200);
    assert.equal(dialogs.length, 0);
    await context.close();
  });

  test('a moderator is offered two levels; a user gets an empty page', async () => {
    const moderator = await openPage('boss', 'pw', '/kxserver/NewUser');
    assert.deepEqual(await moderator.page.$$eval('#rights option', (o) => o.map((x) => x.textContent)),
        ['Пользователь', 'Менеджер']);
    await moderator.context.close();
    const user = await openPage('ivan', 'pw', '/kxserver/NewUser');
    assert.equal(await user.page.content(), '<html><head></head><body></body></html>');
    await user.context.close();
  });
});

describe('change-user page', () => {
  test('loads the first user, shows rights and vehicles, saves an untouched password as empty', async () => {
    const { context, page, dialogs, requests } = await openPage('boss', 'pw', '/kxserver/ChangeUser', {
      '/kxserver/GetUserInfo': (r) => (r.target.endsWith('=ivan') ? '1-20-' : '0-10-'),
      '/kxserver/SaveUser': () => '0',
    });
    assert.equal(await page.title(), 'Velorin: Изменение пользователя');
    assert.deepEqual(await page.$$eval('#UserList option', (o) => o.map((x) => x.value)), ['ivan', 'petr']);
    const tree = page.frame({ name: 'Carlist' });
    await until(page, () => document.getElementById('rights').value === '1');
    await tree.waitForFunction(() => document.querySelector('input[name=chb20]')?.checked === true);
    assert.equal(await tree.isChecked('input[name=chb10]'), false);
    assert.deepEqual(requests['/kxserver/GetUserInfo'][0], { method: 'POST', target: '/kxserver/GetUserInfo?Login=ivan', body: '' });
    assert.equal(await buttonEnabled(page), true);
    await screenshot(page, 'change-user');
    await page.click('#bOK');
    await page.waitForTimeout(200);
    assert.deepEqual(dialogs.pop(), { type: 'alert', message: 'Изменения сохранены' });
    assert.equal(requests['/kxserver/SaveUser'][0].target, '/kxserver/SaveUser?Login=ivan&Pass=&r=1&CarList=20-');
    await page.selectOption('#UserList', 'petr');
    await tree.waitForFunction(() => document.querySelector('input[name=chb10]')?.checked === true);
    assert.equal(await tree.isChecked('input[name=chb20]'), false);
    assert.equal(await page.inputValue('#rights'), '0');
    await page.fill('#password', 'a&b');
    await page.fill('#password2', 'a&b');
    await page.dispatchEvent('#password', 'keyup');
    assert.equal(await buttonEnabled(page), false);
    assert.equal(await page.isVisible('#passErr'), true);
    await context.close();
  });
});

describe('delete-user page', () => {
  test('asks first, sends the delete and reloads after success', async () => {
    const { context, page, dialogs, requests } = await openPage('admin', 'secret', '/kxserver/DeleteUser', {
      '/kxserver/UserDel': () => '0',
    });
    assert.equal(await page.title(), 'Velorin: Удаление пользователя');
    assert.deepEqual(await page.$$eval('#UserList option', (o) => o.map((x) => x.value)), ['admin', 'ivan', 'boss', 'petr']);
    await screenshot(page, 'delete-user');
    await page.selectOption('#UserList', 'petr');
    await Promise.all([page.waitForNavigation(), page.click('#bOK')]);
    assert.deepEqual(dialogs, [
      { type: 'confirm', message: 'Вы уверены, что хотите удалить данного пользователя, операция является необратимой?' },
      { type: 'alert', message: 'Пользователь удален' },
    ]);
    assert.deepEqual(requests['/kxserver/UserDel'].map((r) => [r.method, r.target]), [['POST', '/kxserver/UserDel?Login=petr']]);
    assert.equal(new URL(page.url()).pathname, '/kxserver/DeleteUser');
    await context.close();
  });

  test('a refused confirmation sends nothing', async () => {
    const { context, page, dialogs, requests } = await openPage('admin', 'secret', '/kxserver/DeleteUser', {
      '/kxserver/UserDel': () => '1', confirm: false,
    });
    await page.click('#bOK');
    await page.waitForTimeout(200);
    assert.equal(dialogs.length, 1);
    assert.equal(requests['/kxserver/UserDel'].length, 0);
    await context.close();
  });
});

describe('administration page', () => {
  test('links the user pages for moderators and is empty for users', async () => {
    const { context, page } = await openPage('boss', 'pw', '/kxserver/admin');
    assert.match(await page.textContent('body'), /Добро пожаловать,\s+boss \(Модератор\)/);
    for (const href of ['/kxserver/NewUser', '/kxserver/ChangeUser', '/kxserver/DeleteUser', '/kxserver/settings',
      '/kxserver/main', '/kxserver/unlogin']) {
      assert.ok(await page.$(`a[href="${href}"]`), href);
    }
    await screenshot(page, 'admin');
    await context.close();
    const user = await openPage('ivan', 'pw', '/kxserver/admin');
    assert.equal(await user.page.content(), '<html><head></head><body></body></html>');
    await user.context.close();
  });
});
