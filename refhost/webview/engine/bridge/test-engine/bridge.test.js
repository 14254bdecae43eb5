'use strict';
// The bridge on a real browser, driven as the host drives it: one line
// connection on 127.0.0.1. Slower than the codec's tests (each bridge starts
// a browser), so kept to what only a running bridge shows.
const test = require('node:test');
const assert = require('node:assert');
const { spawn } = require('child_process');
const fs = require('fs');
const net = require('net');
const path = require('path');
const { compose, decodeLine, encodeLine, named } = require('../lines');

const BRIDGE = path.join(__dirname, '..', 'bridge.js');
const ENGINE = process.env.HALVET_ENGINE || '/usr/bin/chromium';

// Starts a bridge and takes its connection; lines() waits for the line a
// test wants, keeping the others.
async function startBridge(env = {}) {
  const server = net.createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const child = spawn(process.execPath, [BRIDGE, '--port', String(server.address().port), '--engine', ENGINE],
                      { stdio: ['ignore', 'ignore', 'inherit'],
                        env: { ...process.env, HALVET_BRIDGE_SECRET: 'test-secret', ...env } });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  const socket = await new Promise((resolve, reject) => {
    server.once('connection', resolve);
    exited.then(() => reject(new Error('the bridge ended before it connected')));
  });
  server.close();
  const received = [];
  const waiting = [];
  let buffer = '';
  socket.on('data', (chunk) => {
    buffer += chunk.toString('latin1');
    for (let at = buffer.indexOf('\n'); at >= 0; at = buffer.indexOf('\n')) {
      received.push(decodeLine(buffer.slice(0, at)));
      buffer = buffer.slice(at + 1);
    }
    for (const w of waiting.splice(0)) w();
  });
  const bridge = {
    child,
    exited,
    // A command by verb with its fields by name.
    send: (verb, values = {}) => socket.write(encodeLine(compose('>', verb, values))),
    // The first line (taken) for which match holds, within ms.
    async line(match, ms = 15000) {
      const end = Date.now() + ms;
      for (;;) {
        const at = received.findIndex(match);
        if (at >= 0) return received.splice(at, 1)[0];
        if (Date.now() > end) throw new Error(`no such line; got ${JSON.stringify(received)}`);
        await new Promise((resolve) => {
          waiting.push(resolve);
          setTimeout(resolve, 100);
        });
      }
    },
    end: () => socket.end(),
  };
  assert.deepStrictEqual(await bridge.line(() => true, 30000), ['hello', 'test-secret']);
  await bridge.line((l) => l[0] === 'ready', 30000);
  return bridge;
}

// pid:starttime of every process below pid.
function descendants(pid) {
  const parent = new Map();
  for (const entry of fs.readdirSync('/proc')) {
    if (!/^[0-9]+$/.test(entry)) continue;
    try {
      const stat = fs.readFileSync(`/proc/${entry}/stat`, 'latin1');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      parent.set(entry, { ppid: fields[1], start: fields[19] });
    } catch (e) {
      // gone meanwhile
    }
  }
  const found = new Set([String(pid)]);
  for (let grew = true; grew;) {
    grew = false;
    for (const [p, { ppid }] of parent) {
      if (!found.has(p) && found.has(ppid)) {
        found.add(p);
        grew = true;
      }
    }
  }
  found.delete(String(pid));
  return [...found].map((p) => `${p}:${parent.get(p).start}`);
}

function stillThere(processes) {
  return processes.filter((entry) => {
    const [pid, start] = entry.split(':');
    try {
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'latin1');
      return stat.slice(stat.lastIndexOf(')') + 2).split(' ')[19] === start;
    } catch (e) {
      return false;
    }
  });
}

test('a page loads about:blank, follows its size, keeps content for a late listener, and answers with reasons when gone', async () => {
  const bridge = await startBridge();
  try {
    const v1 = { view: 'v1' };
    bridge.send('open', { ...v1, request: 1, width: 200, height: 120 });
    await bridge.line((l) => l[0] === 'opened' && l[1] === 'v1' && l[2] === '1');
    bridge.send('load', { ...v1, request: 2, url: 'about:blank' });  // what "LoadBlank" asks for
    assert.deepStrictEqual(await bridge.line((l) => l[0] === 'loaded' || l[0] === 'failed'),
                           ['loaded', 'v1', '2', 'about:blank']);
    bridge.send('load', { ...v1, request: 3, url: 'file://' + path.join(__dirname, 'late.html') });
    await bridge.line((l) => l[0] === 'loaded' && l[1] === 'v1' && l[2] === '3');

    bridge.send('resize', { ...v1, request: 4, width: 320, height: 180 });
    assert.deepStrictEqual(named('<', await bridge.line((l) => l[0] === 'message' && l[3] === 'size')),
                           { verb: 'message', view: 'v1', request: '3', name: 'size', payload: '320x180' });

    bridge.send('content', { ...v1, request: 5, data: '<a>first</a>' });
    assert.deepStrictEqual(await bridge.line((l) => l[0] === 'delivered'), ['delivered', 'v1', '5', '']);
    assert.deepStrictEqual(named('<', await bridge.line((l) => l[0] === 'message' && l[3] === 'late')).payload,
                           '["<a>first</a>"]');

    bridge.send('crash', { ...v1, request: 6 });
    await bridge.line((l) => l[0] === 'crashed' && l[1] === 'v1');
    bridge.send('frame', { ...v1, request: 7 });
    const frame = named('<', await bridge.line((l) => l[0] === 'frame'));
    assert.strictEqual(frame.request, '7');
    assert.strictEqual(frame.png, '');
    assert.match(frame.why, /\S/);
    bridge.send('content', { ...v1, request: 8, data: 'second' });
    const delivered = named('<', await bridge.line((l) => l[0] === 'delivered'));
    assert.strictEqual(delivered.request, '8');
    assert.match(delivered.why, /\S/);
  } finally {
    bridge.send('quit');
    await bridge.exited;
  }
});

test('two views at once: a page whose script never returns stalls only its own view, up to its time limit', async () => {
  const bridge = await startBridge({ HALVET_BRIDGE_COMMAND_MS: '2500' });
  const page = (name) => 'file://' + path.join(__dirname, name);
  try {
    for (const [view, request, name] of [['v1', 1, 'stuck.html'], ['v2', 2, 'late.html']]) {
      bridge.send('open', { view, request, width: 200, height: 120 });
      await bridge.line((l) => l[0] === 'opened' && l[1] === view);
      bridge.send('load', { view, request: request + 10, url: page(name) });
      await bridge.line((l) => l[0] === 'loaded' && l[1] === view);
    }
    await new Promise((resolve) => setTimeout(resolve, 500));  // v1's script is stuck by now
    const start = Date.now();
    bridge.send('content', { view: 'v1', request: 21, data: 'never taken' });
    bridge.send('frame', { view: 'v1', request: 22 });
    bridge.send('content', { view: 'v2', request: 23, data: 'taken' });
    assert.deepStrictEqual(await bridge.line((l) => l[0] === 'delivered' && l[1] === 'v2'), ['delivered', 'v2', '23', '']);
    assert.ok(Date.now() - start < 2000, `v2 waited ${Date.now() - start} ms`);
    const late = named('<', await bridge.line((l) => l[0] === 'error' && l[1] === 'v1', 10000));
    assert.deepStrictEqual([late.request, late.command], ['21', 'content']);
    assert.match(late.text, /no answer within/);
    // The view's next command runs once the stuck one is given up.
    assert.strictEqual((await bridge.line((l) => l[1] === 'v1' && l[2] === '22', 10000))[0], 'error');
  } finally {
    bridge.send('quit');
    await bridge.exited;
  }
});

test('SIGTERM, SIGINT and SIGHUP end the bridge and its browser', async () => {
  const signals = ['SIGTERM', 'SIGINT', 'SIGHUP'];
  const bridges = await Promise.all(signals.map(() => startBridge()));
  const processes = bridges.map((b) => descendants(b.child.pid));
  for (const p of processes) assert.ok(p.length >= 2, `only ${p.length} browser processes found`);
  signals.forEach((signal, i) => bridges[i].child.kill(signal));
  const ends = await Promise.all(bridges.map((b) => b.exited));
  ends.forEach((end, i) => assert.strictEqual(end.code, 1, `${signals[i]}: ${JSON.stringify(end)}`));
  for (let i = 0; i < 40 && processes.some((p) => stillThere(p).length); ++i)
    await new Promise((resolve) => setTimeout(resolve, 250));
  processes.forEach((p, i) => assert.deepStrictEqual(stillThere(p), [], signals[i]));
});
