'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const http = require('http');
const net = require('net');
const os = require('os');
const path = require('path');
const test = require('node:test');
const assert = require('node:assert');
const { Lanes } = require('../lanes');
const { startProxy } = require('../proxy-server');
const lines = require('../lines');

const delay = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

test('a stuck command holds up its own lane until its time limit, and no other lane', async () => {
  const lanes = new Lanes();
  const done = [];
  const stuck = lanes.run('a', 300, () => new Promise(() => {}));
  const afterStuck = lanes.run('a', 300, () => done.push('a2'));
  const other = lanes.run('b', 300, async () => { await delay(20); done.push('b1'); });
  const failing = lanes.run('b', 300, () => { throw new Error('no'); });
  assert.deepStrictEqual(await other, {});
  assert.deepStrictEqual(done, ['b1']);
  assert.strictEqual((await failing).error.message, 'no');
  assert.deepStrictEqual(await stuck, { late: true });
  await afterStuck;
  assert.deepStrictEqual(done, ['b1', 'a2']);
});

function listen(server) {
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server.address().port)));
}

// What a request through the proxy gets: the status, or the error that ended it.
function viaProxy(proxyPort, options) {
  return new Promise((resolve) => {
    const request = http.request({ host: '127.0.0.1', port: proxyPort, ...options });
    request.on('response', (response) => { response.resume(); resolve(response.statusCode); });
    request.on('connect', (response, socket) => { socket.destroy(); resolve(response.statusCode); });
    request.on('error', (e) => resolve(e.code));
    request.end();
  });
}

test('the proxy forwards only to its one server and refuses the rest unanswered', async () => {
  const served = [];
  const own = http.createServer((q, r) => { served.push('own'); r.end('x'); });
  const other = http.createServer((q, r) => { served.push('other'); r.end('x'); });
  const ownPort = await listen(own);
  const otherPort = await listen(other);
  const records = [];
  const proxy = await startProxy({ host: '127.0.0.1', target: () => ownPort, wants: () => null,
    record: (what, target) => records.push(`${what} ${target}`) });
  try {
    const port = proxy.address().port;
    assert.strictEqual(await viaProxy(port, { path: `http://127.0.0.1:${ownPort}/a.js` }), 200);
    assert.strictEqual(await viaProxy(port, { path: `http://127.0.0.1:${otherPort}/` }), 'ECONNRESET');
    assert.strictEqual(await viaProxy(port, { method: 'CONNECT', path: `127.0.0.1:${otherPort}` }), 'ECONNRESET');
    assert.strictEqual(await viaProxy(port, { path: 'http://example.com/' }), 'ECONNRESET');
    assert.deepStrictEqual(served, ['own']);
    assert.deepStrictEqual(records, [`blocked http://127.0.0.1:${otherPort}/`, `blocked 127.0.0.1:${otherPort}`,
      'blocked http://example.com/']);
  } finally {
    for (const server of [proxy, own, other]) server.close();
  }
});

test('the bridge proves the secret first, and leaves no scratch folder when the browser never starts', async () => {
  const temp = fs.mkdtempSync(path.join(os.tmpdir(), 'halvet-bridge-test-'));
  const got = [];
  const host = net.createServer((socket) => {
    const splitter = new lines.LineSplitter((l) => got.push(lines.decodeLine(l)), () => {});
    socket.on('data', (chunk) => splitter.push(chunk));
  });
  const port = await listen(host);
  try {
    const bridge = spawn(process.execPath, [path.join(__dirname, '..', 'bridge.js'), '--port', String(port),
      '--engine', path.join(temp, 'no-such-browser')], {
      env: { ...process.env, HALVET_BRIDGE_SECRET: 's3cr3t', TMPDIR: temp }, stdio: 'ignore' });
    const status = await new Promise((resolve) => bridge.on('exit', resolve));
    assert.strictEqual(status, 1);
    assert.deepStrictEqual(got[0], ['hello', 's3cr3t']);
    const error = lines.named('<', got[1]);
    assert.strictEqual(error.verb, 'error');
    assert.strictEqual(error.command, 'start');
    assert.deepStrictEqual(fs.readdirSync(temp), []);
  } finally {
    host.close();
    fs.rmSync(temp, { recursive: true, force: true });
  }
});

test('the engine ends a request the proxy refuses in a network error of its own, not in a page', async () => {
  const { chromium } = require('playwright-core');
  const other = http.createServer((q, r) => { r.statusCode = 200; r.end('served'); });
  const otherPort = await listen(other);
  const proxy = await startProxy({ host: '127.0.0.1', target: () => 1, wants: () => null, record: () => {} });
  const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox',
    `--proxy-server=http://127.0.0.1:${proxy.address().port}`, '--proxy-bypass-list=<-loopback>'] });
  try {
    const page = await browser.newPage();
    for (const url of [`http://127.0.0.1:${otherPort}/`, `https://127.0.0.1:${otherPort}/`]) {
      await assert.rejects(page.goto(url, { timeout: 10000 }), /net::ERR_EMPTY_RESPONSE/, url);
    }
    assert.strictEqual(lines.netErrorCode('ERR_EMPTY_RESPONSE'), -324);
  } finally {
    await browser.close();
    proxy.close();
    other.close();
  }
});
