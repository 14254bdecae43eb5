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
const { decodeLine, encodeLine } = require('../lines');

const BRIDGE = path.join(__dirname, '..', 'bridge.js');
const ENGINE = process.env.HALVET_ENGINE || '/usr/bin/chromium';

// Starts a bridge and takes its connection; lines() waits for the line a
// test wants, keeping the others.
async function startBridge() {
  const server = net.createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const child = spawn(process.execPath, [BRIDGE, '--port', String(server.address().port), '--engine', ENGINE],
                      { stdio: ['ignore', 'ignore', 'inherit'] });
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
    send: (...fields) => socket.write(encodeLine(fields.map(String))),
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
    bridge.send('open', 'v1', 200, 120);
    await bridge.line((l) => l[0] === 'opened' && l[1] === 'v1');
    bridge.send('load', 'v1', 'about:blank');  // what "LoadBlank" asks for
    assert.deepStrictEqual(await bridge.line((l) => l[0] === 'loaded' || l[0] === 'failed'),
                           ['loaded', 'v1', 'about:blank']);
    bridge.send('load', 'v1', 'file://' + path.join(__dirname, 'late.html'));
    await bridge.line((l) => l[0] === 'loaded' && l[1] === 'v1');

    bridge.send('resize', 'v1', 320, 180);
    assert.deepStrictEqual(await bridge.line((l) => l[0] === 'message' && l[2] === 'size'),
                           ['message', 'v1', 'size', '320x180']);

    bridge.send('content', 'v1', '<a>first</a>');
    assert.deepStrictEqual(await bridge.line((l) => l[0] === 'delivered'), ['delivered', 'v1']);
    assert.deepStrictEqual(await bridge.line((l) => l[0] === 'message' && l[2] === 'late'),
                           ['message', 'v1', 'late', '["<a>first</a>"]']);

    bridge.send('crash', 'v1');
    await bridge.line((l) => l[0] === 'crashed' && l[1] === 'v1');
    bridge.send('frame', 'v1');
    const frame = await bridge.line((l) => l[0] === 'frame');
    assert.strictEqual(frame.length, 4, JSON.stringify(frame));
    assert.strictEqual(frame[2], '');
    assert.match(frame[3], /\S/);
    bridge.send('content', 'v1', 'second');
    const delivered = await bridge.line((l) => l[0] === 'delivered');
    assert.strictEqual(delivered.length, 3, JSON.stringify(delivered));
    assert.match(delivered[2], /\S/);
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
