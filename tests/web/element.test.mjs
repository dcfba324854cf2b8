// <scan-control> in Debian's chromium against a real folioray-service, SANE's test device
// and a local FTP server.
// usage: node element.test.mjs SERVICE_BINARY NODE_MODULES_DIR [SCREENSHOT.png]
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import https from 'node:https';
import { createRequire } from 'node:module';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';

const [serviceBin, nodeModules, screenshot] = process.argv.slice(2);
const puppeteer = createRequire(path.join(nodeModules, 'x.js'))('puppeteer-core');
const here = path.dirname(new URL(import.meta.url).pathname);
const www = path.resolve(here, '../../platform/web/www');
const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'folioray-web-'));
const out = path.join(tmp, 'Out Dir'); // a space and a capital: PasteName drops and folds them
const ftpRoot = path.join(tmp, 'ftp');
const procs = [];
let browser, base, ftpPort, publicOrigin, publicServer, hangingFtp;

const freePort = () => new Promise((resolve) => {
  const s = net.createServer().listen(0, '127.0.0.1', () => {
    const { port } = s.address();
    s.close(() => resolve(port));
  });
});

function start(cmd, args, env, readyLine) {
  const p = spawn(cmd, args, { env: { ...process.env, ...env }, stdio: ['ignore', 'pipe', 'inherit'] });
  procs.push(p);
  return new Promise((resolve, reject) => {
    let seen = '';
    p.stdout.on('data', (d) => {
      seen += d;
      const m = readyLine && seen.match(readyLine);
      if (m) resolve(m);
    });
    p.on('exit', (code) => reject(new Error(`${cmd} exited with ${code}`)));
    if (!readyLine) resolve(null);
  });
}

// Waits for a condition in the test itself; every wait is bounded.
async function until(what, fn, ms = 20000) {
  for (const end = Date.now() + ms; Date.now() < end; await new Promise((r) => setTimeout(r, 50))) {
    const v = await fn();
    if (v) return v;
  }
  throw new Error(`timed out waiting for ${what}`);
}

// A raw HTTP exchange with the service, so that Host and Origin can be forged.
function raw(method, urlPath, headers) {
  return new Promise((resolve, reject) => {
    const req = http.request({ host: '127.0.0.1', port: new URL(base).port, method, path: urlPath, headers,
      setHost: !('Host' in headers) });
    req.on('response', (res) => resolve(res.statusCode)).on('upgrade', () => resolve(101)).on('error', reject);
    req.end();
  });
}

// A page showing the element; resolves once it is connected (or has said why it is not).
async function openPage(url = `${base}/demo`) {
  const page = await browser.newPage();
  await page.goto(url);
  await page.waitForFunction(() => customElements.get('scan-control'));
  await page.evaluate(async () => {
    const el = document.querySelector('scan-control');
    window.events = [];
    for (const type of ['ScanComplete', 'progress', 'messagebox'])
      el.addEventListener(type, (e) => window.events.push({ type, ...e.detail }));
  });
  await page.waitForFunction(() => {
    const el = document.querySelector('scan-control');
    return el.connected || !el.shadowRoot.querySelector('.notice').hidden;
  });
  await page.evaluate(async () => {
    const el = document.querySelector('scan-control');
    if (el.connected) await el.ready;
  });
  return page;
}

const kid = (page, name) => page.waitForSelector(`scan-control >>> [data-name="${name}"]`, { visible: true });
const eventsOf = (page, type) => page.evaluate((t) => window.events.filter((e) => e.type === t), type);
const call = (page, name, ...args) =>
  page.evaluate((n, a) => document.querySelector('scan-control')[n](...a), name, args);
const setProp = (page, name, value) =>
  page.evaluate((n, v) => document.querySelector('scan-control').set(n, v), name, value);

// Answers each message box with OK until the call ends; gives [title, text] of each.
async function answerUntilDone(page, pending) {
  let done = false;
  pending.then(() => (done = true), () => (done = true));
  const seen = [];
  while (!done) {
    const box = await page.$('scan-control >>> dialog[open].msgbox');
    if (!box) {
      await new Promise((r) => setTimeout(r, 50));
      continue;
    }
    seen.push(await box.evaluate((d) => [d.querySelector('header span').textContent, d.querySelector('.text').textContent]));
    await box.evaluate((d) => d.querySelector('footer button').click());
  }
  return seen;
}

before(async () => {
  fs.mkdirSync(out);
  fs.mkdirSync(ftpRoot);
  const sane = path.join(tmp, 'sane');
  fs.mkdirSync(sane);
  fs.writeFileSync(path.join(sane, 'dll.conf'), 'test\n');
  // Slow enough (about two seconds a page) that a page can be closed mid-scan.
  fs.writeFileSync(path.join(sane, 'test.conf'), 'number_of_devices 2\nresolution 50\nmode Color\n' +
    'test-picture "Color pattern"\nread-limit true\nread-limit-size 2048\nread-delay true\nread-delay-duration 40000\n');

  ftpPort = await freePort();
  await start('/usr/bin/python3', [path.resolve(here, '../support/ftp_server.py'), ftpRoot, 'u', 'p', String(ftpPort)]);

  // An HTTPS page that chromium takes for a public site: its own copy of folioray.js.
  execFileSync('openssl', ['req', '-x509', '-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:prime256v1', '-nodes',
    '-keyout', `${tmp}/key.pem`, '-out', `${tmp}/cert.pem`, '-days', '1', '-subj', '/CN=public.test',
    '-addext', 'subjectAltName=DNS:public.test'], { stdio: 'ignore' });
  const spki = execFileSync('sh', ['-c', `openssl x509 -in ${tmp}/cert.pem -pubkey -noout | ` +
    'openssl pkey -pubin -outform der | openssl dgst -sha256 -binary | base64']).toString().trim();
  publicServer = https.createServer({ key: fs.readFileSync(`${tmp}/key.pem`), cert: fs.readFileSync(`${tmp}/cert.pem`) },
    (req, res) => {
      const js = req.url === '/folioray.js';
      res.setHeader('Content-Type', js ? 'text/javascript' : 'text/html');
      res.end(js ? fs.readFileSync(path.join(www, 'folioray.js'))
        : `<script type="module" src="/folioray.js"></script><scan-control service="${base}"></scan-control>`);
    });
  await new Promise((r) => publicServer.listen(0, '127.0.0.1', r));
  const publicPort = publicServer.address().port;
  publicOrigin = `https://public.test:${publicPort}`;

  const m = await start(serviceBin, ['--port', '0', '--allow-origin', publicOrigin],
    { HOME: tmp, XDG_CONFIG_HOME: tmp, SANE_CONFIG_DIR: sane }, /listening on (http:\/\/127\.0\.0\.1:\d+)/);
  base = m[1];

  browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    protocolTimeout: 30000,
    args: ['--no-sandbox', '--host-resolver-rules=MAP public.test 127.0.0.1',
      `--ip-address-space-overrides=127.0.0.1:${publicPort}=public`, `--ignore-certificate-errors-spki-list=${spki}`],
  });
});

after(async () => {
  await browser?.close();
  publicServer?.close();
  hangingFtp?.close();
  for (const p of procs) p.kill();
  fs.rmSync(tmp, { recursive: true, force: true });
});

test('the element\'s own Scan button stores a page, raises ScanComplete and shows the preview', async () => {
  const page = await openPage();
  await setProp(page, 'FilePath', out);
  await (await kid(page, 'Icon1')).click();
  const [done] = await until('ScanComplete', () => eventsOf(page, 'ScanComplete').then((e) => e[0] && e));
  assert.equal(done.FileName, path.join(out, 'scanx.jpg'));
  assert.ok(fs.statSync(done.FileName).size > 1000);
  await page.waitForFunction(() => {
    const img = document.querySelector('scan-control').shadowRoot.querySelector('[data-name=Image1] img');
    return img.src.startsWith('blob:') && img.complete && img.naturalWidth > 0;
  });
  if (screenshot) {
    await page.setViewport({ width: 960, height: 660 });
    await page.waitForFunction(() => document.querySelector('#prop-CurrentName').value);
    await page.screenshot({ path: screenshot });
  }
  await page.close();
});

test('text mode stores the typed lines with CR LF, and ScanComplete\'s changed FileName becomes CurrentName', async () => {
  const page = await openPage();
  await page.evaluate(() => {
    document.querySelector('scan-control').addEventListener('ScanComplete', (e) => {
      e.detail.FileName = e.detail.FileName.replace('scanx', 'renamed');
    });
  });
  await setProp(page, 'FilePath', out);
  await setProp(page, 'ControlMode', 1);
  await (await kid(page, 'Text2')).type('first line\nsecond line');
  await (await kid(page, 'Icon1')).click();
  await until('ScanComplete', () => eventsOf(page, 'ScanComplete').then((e) => e.length));
  const renamed = path.join(out, 'renamed.txt');
  await until('the new CurrentName', () => page.evaluate(() => document.querySelector('scan-control').get('CurrentName'))
    .then((v) => v === renamed));
  assert.equal(fs.readFileSync(path.join(out, 'scanx.txt'), 'latin1'), 'first line\r\nsecond line\r\n');
  await page.close();
});

test('UploadFile sends the file with progress events and returns ""', async () => {
  const page = await openPage();
  await setProp(page, 'FilePath', out);
  await (await kid(page, 'Icon1')).click();
  await until('ScanComplete', () => eventsOf(page, 'ScanComplete').then((e) => e.length));
  assert.equal(await call(page, 'UploadFile', `127.0.0.1:${ftpPort}`, 'u', 'p', 1, 'web.jpg'), '');
  const progress = await eventsOf(page, 'progress');
  assert.ok(progress.length > 1);
  const size = fs.statSync(path.join(out, 'scanx.jpg')).size;
  assert.deepEqual(progress.at(-1), { type: 'progress', current: size, total: size });
  assert.deepEqual(fs.readFileSync(path.join(ftpRoot, 'web.jpg')), fs.readFileSync(path.join(out, 'scanx.jpg')));

  // PasteName erases the focused field's end and types the path: lower case, spaces dropped.
  await page.$eval('#filename', (i) => { i.value = 'typed before'; i.focus(); });
  await page.evaluate(() => { window.inputs = 0; document.querySelector('#filename').oninput = () => window.inputs++; });
  await call(page, 'PasteName');
  const want = path.join(out, 'scanx.jpg').toLowerCase().replace(/[^a-z0-9:./\\]/g, '');
  await page.waitForFunction((w) => document.querySelector('#filename').value === w, { timeout: 10000 }, want);
  assert.ok(await page.evaluate(() => window.inputs) > want.length);
  await page.close();
});

test('an unwritable folder gives the scan\'s message boxes as dialogs and writes nothing', async () => {
  const page = await openPage();
  const gone = path.join(tmp, 'gone');
  fs.mkdirSync(gone);
  await setProp(page, 'FilePath', gone);
  fs.rmdirSync(gone);
  const boxes = await answerUntilDone(page, call(page, 'StartScan'));
  assert.equal(boxes.length, 1);
  assert.equal(boxes[0][0], 'Pagewright Control');
  assert.match(boxes[0][1], /^The picture could not be scanned\.\r\n\r\nThe picture cannot be saved to the specified filename\. Error is Path not found/);
  assert.equal(await eventsOf(page, 'ScanComplete').then((e) => e.length), 0);
  assert.equal(fs.existsSync(gone), false);
  await page.close();
});

test('the service refuses foreign origins, hosts, tokens and oversized messages, with no side effect', async () => {
  const port = new URL(base).port;
  const upgrade = { Connection: 'Upgrade', Upgrade: 'websocket', 'Sec-WebSocket-Version': '13',
    'Sec-WebSocket-Key': 'dGhlIHNhbXBsZSBub25jZQ==', Origin: base };
  const cases = [
    ['unlisted Origin', 'POST', '/session', { Origin: 'https://evil.example' }, 403],
    ['foreign Host', 'POST', '/session', { Host: `evil.example:${port}`, Origin: base }, 421],
    ['rebinding Host', 'GET', '/demo', { Host: `attacker.test:${port}` }, 421],
    ['no token', 'GET', '/ws', upgrade, 401],
    ['wrong token', 'GET', `/ws?token=${'0'.repeat(32)}`, upgrade, 401],
  ];
  for (const [what, method, urlPath, headers, status] of cases)
    assert.equal(await raw(method, urlPath, headers), status, what);

  const before = fs.readdirSync(out).sort();
  const page = await openPage();
  const closed = await page.evaluate(async (dir) => {
    const { ws } = await (await fetch('/session', { method: 'POST' })).json();
    const s = new WebSocket(`ws://${location.host}${ws}`);
    await new Promise((r) => (s.onopen = r));
    s.send(JSON.stringify({ id: 1, op: 'set', name: 'FilePath', value: dir, pad: 'x'.repeat(2 << 20) }));
    s.send(JSON.stringify({ id: 2, op: 'call', name: 'StartScan', args: [] }));
    return new Promise((r) => (s.onclose = (e) => r(e.code)));
  }, path.join(tmp, 'oversized'));
  assert.equal(closed, 1009);
  await new Promise((r) => setTimeout(r, 3000));
  assert.equal(fs.existsSync(path.join(tmp, 'oversized')), false);
  assert.deepEqual(fs.readdirSync(out).sort(), before);
  await page.close();
});

test('a page closed mid-scan or mid-upload releases the device and the connection; the next page works', async () => {
  // An FTP peer that takes the file and never confirms it.
  let peerClosed = false;
  const held = []; // the data side, let go at the end so that node can exit
  hangingFtp = net.createServer((c) => {
    c.write('220 hanging\r\n');
    c.on('error', () => {}).on('close', () => (peerClosed = true));
    c.on('data', (d) => {
      for (const line of String(d).split('\r\n').filter(Boolean)) {
        const cmd = line.split(' ')[0].toUpperCase();
        if (cmd === 'EPSV' || cmd === 'PASV') {
          const data = net.createServer((s) => held.push(s.pause().on('error', () => {})));
          held.push(data.listen(0, '127.0.0.1', () => {
            const p = data.address().port;
            c.write(cmd === 'EPSV' ? `229 Entering (|||${p}|)\r\n` : `227 Entering (127,0,0,1,${p >> 8},${p & 255})\r\n`);
          }));
        } else c.write({ USER: '331 ok\r\n', PASS: '230 ok\r\n', PWD: '257 "/"\r\n', STOR: '150 go\r\n' }[cmd] ?? '200 ok\r\n');
      }
    });
  });
  await new Promise((r) => hangingFtp.listen(0, '127.0.0.1', r));

  let page = await openPage();
  await setProp(page, 'FilePath', out);
  page.evaluate(() => document.querySelector('scan-control').StartScan()).catch(() => {});
  await page.waitForSelector('scan-control >>> .surface.wait');
  await page.close();

  page = await openPage();
  await setProp(page, 'FilePath', out);
  await call(page, 'StartScan');
  assert.equal(await eventsOf(page, 'ScanComplete').then((e) => e.length), 1);
  const port = hangingFtp.address().port;
  page.evaluate((p) => document.querySelector('scan-control').UploadFile(`127.0.0.1:${p}`, 'u', 'p', 1), port)
    .catch(() => {});
  await until('the upload to start', () => eventsOf(page, 'progress').then((e) => e.length));
  await page.close();
  await until('the FTP connection to be released', () => peerClosed);
  for (const h of held) h.destroy?.() ?? h.close();

  page = await openPage();
  await setProp(page, 'FilePath', out);
  await call(page, 'StartScan');
  assert.equal(await call(page, 'UploadFile', `127.0.0.1:${ftpPort}`, 'u', 'p', 1, 'after.jpg'), '');
  assert.ok(fs.statSync(path.join(ftpRoot, 'after.jpg')).size > 1000);
  await page.close();
});

test('an HTTPS page of a public site connects once local network access is granted, and says why not before', async () => {
  let page = await openPage(`${publicOrigin}/`);
  const notice = await page.$eval('scan-control >>> .notice', (n) => !n.hidden && n.textContent);
  assert.match(notice || '', /permission|local network access/i);
  await page.close();

  const cdp = await browser.target().createCDPSession();
  await cdp.send('Browser.setPermission', { permission: { name: 'loopback-network' }, setting: 'granted', origin: publicOrigin });
  page = await openPage(`${publicOrigin}/`);
  assert.equal(await page.evaluate(() => document.querySelector('scan-control').get('Quality')), 60);
  assert.equal(await page.$eval('scan-control >>> .notice', (n) => n.hidden), true);
  await page.close();
});
