#!/usr/bin/env node
// The engine side of the reference host's HTML container: drives a headless
// browser for the host over one TCP connection on 127.0.0.1 with the line
// protocol of protocol.txt (refhost/README.md says what each line means).
// The host listens, this program connects back to it and proves itself with
// the secret the host put in its environment; when that connection ends,
// for whatever reason, the browser is closed and this program ends with it.
'use strict';

const fs = require('fs');
const http = require('http');
const net = require('net');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');
const { Lanes } = require('./lanes');
const { LineSplitter, compose, decodeLine, encodeLine, fileUrlToUnixPath, isRegularFile, mayRead, named,
  navigationFailure, netErrorCode, toFileUrl } = require('./lines');
const { startProxy } = require('./proxy-server');

const HOST = '127.0.0.1';
const SECRET_VARIABLE = 'HALVET_BRIDGE_SECRET';
const LOAD_TIMEOUT_MS = 15000;
const FRAME_TIMEOUT_MS = 8000;
// The time limit of every command; a load answers on its own, later.
const COMMAND_MS = Number(process.env.HALVET_BRIDGE_COMMAND_MS) || 10000;

function parseArgs(argv) {
  const options = { port: 0, engine: '/usr/bin/chromium', drives: {}, temp: '' };
  for (let i = 2; i < argv.length; ++i) {
    const value = argv[i + 1];
    if (argv[i] === '--port') options.port = Number(value);
    else if (argv[i] === '--engine') options.engine = value;
    else if (argv[i] === '--temp') options.temp = value;
    else if (argv[i] === '--drive') {
      const at = value.indexOf('=');
      options.drives[value.slice(0, at).toLowerCase()] = value.slice(at + 1);
    } else continue;
    ++i;
  }
  return options;
}

const options = parseArgs(process.argv);
// Read once and kept from the browser, which inherits the environment.
const secret = process.env[SECRET_VARIABLE] || '';
delete process.env[SECRET_VARIABLE];
let socket = null;
let browser = null;
let ending = false;
const views = new Map();
const lanes = new Lanes();
const network = { mode: 'ok', user: '', password: '' };
const offered = { user: '', password: '' };  // credentials the views answer a proxy with
const pageFolders = new Set();  // the folders of the pages loaded
let proxyServer = null;
let contentServer = null;
let scratch = null;  // our temporary folder (see makeScratch)

function send(verb, values = {}) {
  if (socket && !socket.destroyed) socket.write(encodeLine(compose('<', verb, values)));
}

function firstLine(e) {
  return String((e && e.message) || e).split('\n')[0];
}

function log(text) {
  process.stderr.write(`bridge: ${text}\n`);
}

// Ends everything this program started, once, and leaves.
async function shutdown(status) {
  if (ending) return;
  ending = true;
  const timer = setTimeout(() => process.exit(status), 5000);
  try {
    if (browser) await browser.close();
  } catch (e) {
    log(`closing the browser: ${e.message}`);
  }
  if (proxyServer) proxyServer.close();
  if (contentServer) contentServer.close();
  clearTimeout(timer);
  if (socket) socket.end();
  process.exit(status);
}

// The page's network part: one small script served on 127.0.0.1, which the
// engine fetches through the proxy.
function startContentServer() {
  contentServer = http.createServer((request, response) => {
    response.setHeader('Content-Type', 'text/javascript; charset=utf-8');
    response.setHeader('Cache-Control', 'no-store');
    response.end(`window.hexNetworkPart = ${JSON.stringify('served at ' + new Date().toISOString())};\n`);
  });
  return new Promise((resolve) => contentServer.listen(0, HOST, resolve));
}

function resourceUrl() {
  return `http://${HOST}:${contentServer.address().port}/panel-news.js`;
}

// The container's script interface in every page: post() sends a message to
// the host, content the host passes arrives as a "containercontent" event
// (and stays in received[] for a page that listens late).
function containerInterface(resource) {
  window.hexContainer = {
    networkPart: resource,
    received: [],
    post(name, payload) {
      return window.hexPost(String(name), payload === undefined ? '' : String(payload));
    },
    deliver(data) {
      this.received.push(data);
      window.dispatchEvent(new CustomEvent('containercontent', { detail: data }));
    },
  };
}

// What a page may read: its own folder, the bridge's files and folder, and
// the stylesheets the panel writes into the temporary folder.
function allowedReads(resourceType) {
  const folders = [...pageFolders, __dirname];
  if (scratch) folders.push(scratch);
  return { folders, sheetFolder: resourceType === 'Stylesheet' ? options.temp : '' };
}

// The real path a page may read for a file URL, or null.
function readable(url, resourceType) {
  return mayRead(fileUrlToUnixPath(url, options.drives), allowedReads(resourceType));
}

// A file the page links as a stylesheet is loaded as one even when its name
// has no extension to tell its type by (the panel's font stylesheet has
// none): the engine takes a file's type from the name it was asked for and
// would not apply it. Such a request is sent on to a copy named ".css" in a
// folder of ours.
function stylesheetCopy(unixPath, requestId) {
  const copy = path.join(scratch, `sheet-${requestId.replace(/[^A-Za-z0-9]/g, '_')}.css`);
  fs.copyFileSync(unixPath, copy);
  return copy;
}

function fileUrl(unixPath) {
  return 'file://' + unixPath.split('/').map(encodeURIComponent).join('/');
}

// Every request of the engine passes here. A file URL (with a drive letter
// or without) is read only where a page may read, on its real path, links
// resolved; anything else fails as the engine's "access denied".
async function onRequestPaused(view, event) {
  const id = event.requestId;
  const url = event.request.url;
  try {
    if (!/^file:/i.test(url)) {
      await view.cdp.send('Fetch.continueRequest', { requestId: id });
      return;
    }
    const real = readable(url, event.resourceType);
    if (!real) {
      send('note', { view: view.id, request: view.current, text: `refused to read ${url}` });
      await view.cdp.send('Fetch.failRequest', { requestId: id, errorReason: 'AccessDenied' });
      return;
    }
    if (event.resourceType === 'Stylesheet' && !/\.[A-Za-z0-9]+$/.test(real)) {
      // Not a regular file (a folder, a pipe): fails now rather than never.
      if (!isRegularFile(real)) {
        await view.cdp.send('Fetch.failRequest', { requestId: id, errorReason: 'FileNotFound' });
        return;
      }
      await view.cdp.send('Fetch.fulfillRequest', {
        requestId: id,
        responseCode: 302,
        responseHeaders: [{ name: 'Location', value: fileUrl(stylesheetCopy(real, id)) }],
      });
      return;
    }
    await view.cdp.send('Fetch.continueRequest', { requestId: id, url: fileUrl(real) });
  } catch (e) {
    // The page went away meanwhile, or the copy failed: the request fails.
    view.cdp.send('Fetch.failRequest', { requestId: id, errorReason: 'Failed' }).catch(() => {});
  }
}

// A proxy's challenge is answered once per request with the credentials the
// container was given; a second challenge means they were refused.
async function onAuthRequired(view, event) {
  const id = event.requestId;
  let response = { response: 'Default' };
  if (event.authChallenge.source === 'Proxy') {
    if (offered.user && !view.answered.has(id)) {
      view.answered.add(id);
      send('note', { view: view.id, request: view.current,
        text: `answers the proxy's challenge with the credentials of "${offered.user}"` });
      response = { response: 'ProvideCredentials', username: offered.user, password: offered.password };
    } else {
      const refused = view.answered.has(id);
      setFailure(view, view.current, {
        name: 'ERR_ABORTED',
        reason: refused ? 'ERR_AUTH_PROXY_AUTH_ERROR' : 'ERR_AUTH_PROXY_REQUIRED',
        message: refused
          ? 'the proxy refused the credentials offered: 407 Proxy Authentication Required (ERR_AUTH_PROXY_REQUIRED)'
          : 'the proxy wants credentials: 407 Proxy Authentication Required (ERR_AUTH_PROXY_REQUIRED)',
        url: event.request.url,
      });
      response = { response: 'CancelAuth' };
    }
  }
  try {
    await view.cdp.send('Fetch.continueWithAuth', { requestId: id, authChallengeResponse: response });
  } catch (e) {
    // The request is gone.
  }
}

// A failure of load number (the load whose page made the request); those of
// an earlier load are ignored.
function setFailure(view, number, failure) {
  if (view.loading && number === view.current && !view.failure) view.failure = failure;
}

async function makePage(view) {
  view.page = await view.context.newPage();
  await view.page.setViewportSize({ width: view.width, height: view.height });
  view.cdp = await view.context.newCDPSession(view.page);
  view.cdp.on('Fetch.requestPaused', (event) => onRequestPaused(view, event));
  view.cdp.on('Fetch.authRequired', (event) => onAuthRequired(view, event));
  await view.cdp.send('Fetch.enable', { patterns: [{ urlPattern: '*' }], handleAuthRequests: true });
  view.crashed = false;
  const requests = new WeakMap();  // request -> the number of the load it belongs to
  view.page.on('request', (request) => requests.set(request, view.current));
  view.page.on('crash', () => {
    view.crashed = true;
    send('crashed', { view: view.id, request: view.current });
  });
  view.page.on('requestfailed', (request) => {
    const text = (request.failure() || {}).errorText || '';
    // A cancelled request is reported where it is cancelled (proxy
    // challenges); others of its kind are the page's own doing.
    if (!/^net::ERR_/.test(text) || text === 'net::ERR_ABORTED') return;
    const name = text.slice(5).split(' ')[0];
    setFailure(view, requests.get(request), { name, reason: name, message: text, url: request.url() });
  });
}

// A new page for a view whose renderer crashed: one, however many commands
// ask for it meanwhile.
function renewPage(view) {
  if (!view.renewing) {
    view.renewing = (async () => {
      await view.page.close().catch(() => {});
      await makePage(view);
    })().finally(() => { view.renewing = null; });
  }
  return view.renewing;
}

async function closeView(view) {
  views.delete(view.id);
  view.closed = true;
  await view.context.close().catch(() => {});
}

async function open(id, request, width, height) {
  // A view opened again loses its old page first.
  const old = views.get(id);
  if (old) await closeView(old);
  const view = { id, width, height, loading: false, failure: null, answered: new Set(), current: '',
    held: [], crashed: false, renewing: null, closed: false };
  view.context = await browser.newContext({ viewport: { width, height } });
  await view.context.setOffline(network.mode === 'offline');
  await view.context.addInitScript(containerInterface, resourceUrl());
  await view.context.exposeBinding('hexPost', (source, name, payload) => {
    send('message', { view: id, request: view.current, name, payload });
  });
  await makePage(view);
  views.set(id, view);
  send('opened', { view: id, request });
}

async function load(view, number, url) {
  const target = toFileUrl(url);
  view.current = number;
  view.loading = true;
  view.failure = null;
  view.answered = new Set();
  const unixPath = fileUrlToUnixPath(target, options.drives);
  if (unixPath) pageFolders.add(path.dirname(unixPath));
  let failure = null;
  try {
    if (view.crashed || view.renewing) await renewPage(view);
    await view.page.goto(target, { waitUntil: 'load', timeout: LOAD_TIMEOUT_MS });
  } catch (e) {
    failure = navigationFailure(e, target);
  }
  if (number !== view.current || view.closed) return;  // a newer load took over
  view.loading = false;
  failure = view.failure || failure;
  if (failure) {
    send('failed', { view: view.id, request: number, url, code: netErrorCode(failure.name), name: failure.name,
      reason: failure.reason, message: failure.message, 'failing-url': failure.url });
  } else {
    send('loaded', { view: view.id, request: number, url: view.page.url() });
  }
  // Content that came during the load reaches the page now, after its
  // "load" event, before what comes next for the view.
  const held = view.held.splice(0);
  for (const item of held) {
    lanes.run(view.id, COMMAND_MS, () => deliver(view, item.request, item.data)).then((outcome) => {
      if (outcome.late) send('delivered', { view: view.id, request: item.request, why: 'the page did not take it in time' });
    });
  }
}

async function frame(view, request) {
  if (view.crashed) return send('frame', { view: view.id, request, why: 'the renderer is gone' });
  try {
    const png = await view.page.screenshot({ type: 'png', timeout: FRAME_TIMEOUT_MS });
    send('frame', { view: view.id, request, png: png.toString('base64') });
  } catch (e) {
    send('frame', { view: view.id, request, why: view.crashed ? 'the renderer is gone' : firstLine(e) });
  }
}

// Hands the page the content; "delivered" only once the page has it.
async function deliver(view, request, data) {
  let why = '';
  try {
    const taken = await view.page.evaluate((d) => {
      if (!window.hexContainer) return false;
      window.hexContainer.deliver(d);
      return true;
    }, data);
    if (!taken) why = 'the page has no container interface';
  } catch (e) {
    why = firstLine(e);
  }
  send('delivered', { view: view.id, request, why });
}

async function content(view, request, data) {
  if (view.loading) {
    view.held.push({ request, data });
    return;
  }
  await deliver(view, request, data);
}

async function setNetwork(request, mode, user, password) {
  network.mode = mode;
  network.user = user || '';
  network.password = password || '';
  for (const view of views.values()) await view.context.setOffline(mode === 'offline');
  send('network', { request, mode });
}

async function close(view, request) {
  await closeView(view);
  send('closed', { view: view.id, request });
}

// The commands by verb: f(line, view) with the line's fields by name; view
// for those that name one.
const commands = {
  open: (c) => open(c.view, c.request, Number(c.width), Number(c.height)),
  // Not waited for: frames, content and the rest go on while a page loads.
  load: (c, view) => {
    load(view, c.request, c.url).catch((e) =>
      send('error', { view: view.id, request: c.request, command: 'load', text: firstLine(e) }));
  },
  resize: (c, view) => {
    view.width = Number(c.width);
    view.height = Number(c.height);
    return view.page.setViewportSize({ width: view.width, height: view.height });
  },
  frame: (c, view) => frame(view, c.request),
  content: (c, view) => content(view, c.request, c.data),
  crash: (c, view) => {
    // Page.crash never answers: the renderer it would answer from is gone.
    view.cdp.send('Page.crash').catch(() => {});
  },
  close: (c, view) => close(view, c.request),
  network: (c) => setNetwork(c.request, c.mode, c.user, c.password),
  credentials: (c) => {
    offered.user = c.user || '';
    offered.password = c.password || '';
  },
  // The engine going away under the host, as a crash of it would: its main
  // process killed outright, nothing closed first.
  'kill-browser': () => {
    const pid = browserMainPid();
    if (!pid) throw new Error('no browser process to kill');
    return killNoted(pid, `kills the browser's main process ${pid} with SIGKILL`);
  },
  // This program dying under the host, as a fault of it would: no handler
  // runs, nothing is closed; the system ends the connection.
  die: () => killNoted(process.pid, `kills itself (${process.pid}) with SIGKILL`),
  quit: () => shutdown(0),
};

// The browser's main process: the child this program started (the browser's
// launcher script replaces itself with it).
function browserMainPid() {
  for (const entry of fs.readdirSync('/proc')) {
    if (!/^[0-9]+$/.test(entry)) continue;
    let stat;
    try {
      stat = fs.readFileSync(`/proc/${entry}/stat`, 'latin1');
    } catch (e) {
      continue;  // gone meanwhile
    }
    // "pid (name) state ppid ...": the name may hold blanks and brackets.
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    if (Number(fields[1]) === process.pid && /chrom/i.test(stat.slice(0, stat.lastIndexOf(')'))))
      return Number(entry);
  }
  return 0;
}

// Says what is about to be killed, and kills it once the line is out.
function killNoted(pid, text) {
  return new Promise((resolve) => {
    if (!socket || socket.destroyed) {
      process.kill(pid, 'SIGKILL');
      return resolve();
    }
    socket.write(encodeLine(compose('<', 'note', { text })), () => {
      process.kill(pid, 'SIGKILL');
      resolve();
    });
  });
}

// Commands that act on a view that must be open already.
const takesView = new Set(['load', 'resize', 'frame', 'content', 'crash', 'close']);

function dispatch(fields) {
  const c = named('>', fields);
  const fail = (text) => send('error', { view: c ? c.view : '', request: c ? c.request : '',
    command: fields[0], text });
  if (!c || !commands[fields[0]]) return fail(`unknown command "${fields[0]}"`);
  // One lane per view, one for the rest: a view's commands keep their
  // order; a stuck one holds up only its own view.
  lanes.run(c.view, COMMAND_MS, () => {
    let view;
    if (takesView.has(c.verb)) {
      view = views.get(c.view);
      if (!view) throw new Error(`no view "${c.view}"`);
    }
    return commands[c.verb](c, view);
  }).then((outcome) => {
    if (outcome.late) fail(`no answer within ${COMMAND_MS / 1000} s`);
    else if (outcome.error) fail(firstLine(outcome.error));
  });
}

// Everything this program and the browser driver put in the temporary folder
// (the browser's profile, the stylesheet copies) goes into a folder of ours,
// removed when this program ends in any way Node.js sees, even by a fault.
function makeScratch() {
  scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'halvet-bridge-'));
  process.env.TMPDIR = scratch;
  process.on('exit', removeScratch);
}

function removeScratch() {
  try {
    fs.rmSync(scratch, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
  } catch (e) {
    // A browser process still writing; the system's cleaning takes the rest.
  }
}

async function startEngine() {
  makeScratch();
  await startContentServer();
  proxyServer = await startProxy({
    host: HOST,
    target: () => contentServer.address().port,
    wants: () => (network.mode === 'proxy' ? network : null),
    record: (what, target, user) => send('proxy', { what, target, user }),
  });
  browser = await chromium.launch({
    executablePath: options.engine,
    timeout: 30000,
    // This program's own handlers end it on these, the browser first: the
    // driver's would leave without the rest of the shutdown.
    handleSIGINT: false,
    handleSIGTERM: false,
    handleSIGHUP: false,
    args: [
      '--no-sandbox',
      `--proxy-server=http://${HOST}:${proxyServer.address().port}`,
      // Loopback goes through the proxy too: the page's network part lives there.
      '--proxy-bypass-list=<-loopback>',
      '--disable-sync',
      // A renderer crashed on purpose leaves no report behind.
      '--disable-crash-reporter',
      '--disable-component-update',
      '--disable-features=OptimizationHints,MediaRouter,Translate',
    ],
  });
  browser.on('disconnected', () => {
    if (!ending) {
      send('error', { command: 'engine', text: 'the browser engine went away' });
      shutdown(1);
    }
  });
}

function main() {
  socket = net.connect({ host: HOST, port: options.port });
  socket.setNoDelay(true);
  const splitter = new LineSplitter((line) => dispatch(decodeLine(line)), () => {
    send('error', { command: 'line', text: 'a line longer than the limit was dropped' });
  });
  socket.on('data', (chunk) => splitter.push(chunk));
  socket.on('close', () => shutdown(0));
  socket.on('error', (e) => {
    log(`connection to the host: ${e.message}`);
    shutdown(1);
  });
  socket.on('connect', async () => {
    // Proof that this is the bridge the host started, before anything else.
    send('hello', { secret });
    try {
      await startEngine();
      send('ready', { version: browser.version(), 'proxy-port': proxyServer.address().port,
        'network-part': resourceUrl() });
    } catch (e) {
      send('error', { command: 'start', text: `the browser engine ${options.engine} did not start: ${firstLine(e)}` });
      shutdown(1);
    }
  });
}

for (const signal of ['SIGTERM', 'SIGINT', 'SIGHUP']) process.on(signal, () => shutdown(1));
// A connection of the proxy or the content server that the browser drops
// (when it goes away, say) must not take this program with it; anything
// else ends it, and the host hears why.
process.on('uncaughtException', (e) => {
  if (['ECONNRESET', 'EPIPE', 'ECONNABORTED', 'ETIMEDOUT'].includes(e.code)) {
    log(`a connection failed: ${e.message}`);
    return;
  }
  log(`stopped: ${e.stack || e}`);
  send('error', { command: 'bridge', text: String(e.message || e) });
  shutdown(1);
});
main();
