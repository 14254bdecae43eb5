#!/usr/bin/env node
// A bridge without a browser for the host's own tests: it speaks the
// bridge's line protocol and plays the part HALVET_SCRIPTED_BRIDGE names,
// so that the host's side can be seen meeting what a real engine does only
// now and then (answers out of time, an engine gone mid-load, silence).
//   intruder     a connection without the secret comes first
//   stale        the first load is answered only after the second, with a failure
//   engine-gone  the engine goes away while a page loads
//   silent-load  loads are never answered
//   silent-open  pages are never opened
// Anything else answers every command at once, every load with success.
'use strict';

const net = require('net');
const path = require('path');
const { LineSplitter, compose, decodeLine, encodeLine, named } = require(path.join(__dirname, '..', '..', 'webview', 'engine', 'bridge', 'lines'));

const part = process.env.HALVET_SCRIPTED_BRIDGE || '';
const secret = process.env.HALVET_BRIDGE_SECRET || '';
const port = Number(process.argv[process.argv.indexOf('--port') + 1]);
const loads = [];
const open = new Set();  // the views with a page

function connect(onLine) {
  const socket = net.connect({ host: '127.0.0.1', port });
  const splitter = new LineSplitter((line) => onLine(named('>', decodeLine(line))), () => {});
  socket.on('data', (chunk) => splitter.push(chunk));
  socket.on('error', () => {});
  return socket;
}

function play() {
  const socket = connect(answer);
  const send = (verb, values) => socket.write(encodeLine(compose('<', verb, values)));
  socket.on('close', () => process.exit(0));
  socket.on('connect', () => {
    send('hello', { secret });
    send('ready', { version: `scripted ${part}`, 'proxy-port': '1', 'network-part': 'http://127.0.0.1:1/x.js' });
  });

  function answer(c) {
    if (!c) return;
    const about = { view: c.view, request: c.request };
    if (c.verb === 'open' && part !== 'silent-open') {
      // Like an engine's page, one per view: a second is an error of the host's.
      if (open.has(c.view)) send('error', { ...about, command: 'open', text: 'a second page for one view' });
      open.add(c.view);
      send('opened', about);
    }
    else if (c.verb === 'load') load(c, about);
    else if (c.verb === 'frame') send('frame', { ...about, why: 'a scripted bridge has no frames' });
    else if (c.verb === 'content') send('delivered', about);
    else if (c.verb === 'network') send('network', { ...about, mode: c.mode });
    else if (c.verb === 'close') {
      open.delete(c.view);
      send('closed', about);
    }
    else if (c.verb === 'quit') process.exit(0);
  }

  function load(c, about) {
    loads.push(c);
    if (part === 'silent-load') return;
    if (part === 'engine-gone') {
      send('error', { command: 'engine', text: 'the browser engine went away' });
      return;
    }
    if (part === 'stale') {
      if (loads.length === 1) return;
      const first = loads[0];
      send('failed', { view: first.view, request: first.request, url: first.url, code: -3, name: 'ERR_ABORTED',
        reason: 'ERR_ABORTED', message: 'an answer out of time', 'failing-url': first.url });
    }
    send('loaded', { ...about, url: c.url });
  }
}

if (part === 'intruder') {
  // The host must drop it and go on listening for the bridge it started.
  const intruder = connect(() => {});
  intruder.on('connect', () => intruder.write(encodeLine(compose('<', 'hello', { secret: 'guessed' }))));
  intruder.on('close', play);
} else {
  play();
}
