#!/usr/bin/env node
// The engine side of the reference host's HTML container: drives a headless
// browser for the host over one TCP connection on 127.0.0.1 with the line
// protocol described in refhost/README.md. The host listens, this program
// connects back to it; when that connection ends, for whatever reason, the
// browser is closed and this program ends with it.
'use strict';

const fs = require('fs');
const http = require('http');
const net = require('net');
const os = require('os');
const path = require('path');
const { chromium } = require('playwright-core');
const { createProxy } = require('proxy');
const { decodeLine, encodeLine, fileUrlToUnixPath, isLoopbackTarget, netErrorCode, parseBasic,
  toFileUrl } = require('./lines');

const HOST = '127.0.0.1';
const LOAD_TIMEOUT_MS = 15000;
const FRAME_TIMEOUT_MS = 8000;

function parseArgs(argv) {
  const options = { port: 0, engine: '/usr/bin/chromium', drives: {} };
  for (let i = 2; i < argv.length; ++i) {
    const value = argv[i + 1];
    if (argv[i] === '--port') options.port = Number(value);
    else if (argv[i] === '--engine') options.engine = value;
    else if (argv[i] === '--drive') {
      const at = value.indexOf('=');
      options.drives[value.slice(0, at).toLowerCase()] = value.slice(at + 1);
    } else continue;
    ++i;
  }
  return options;
}

const options = parseArgs(process.argv);
let socket = null;
let browser = null;
let ending = false;
const views = new Map();
const network = { mode: 'ok', user: '', password: '' };
const offered = { user: '', password: '' };  // credentials the views answer a proxy with
let proxyServer = null;
let contentServer = null;
let scratch = null;  // our temporary folder (see makeScratch)

function send(...fields) {
  if (socket && !socket.destroyed) socket.write(encodeLine(fields.map(String)));
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

// A proxy that asks for credentials while the network mode is "proxy" and
// reports what it accepted or refused.
function startProxy() {
  proxyServer = createProxy(http.createServer());
  // Only 127.0.0.1 is ever reached through it: what the engine asks for
  // elsewhere (its own background requests) is refused before the proxy
  // handles it.
  for (const kind of ['request', 'connect']) {
    const handlers = proxyServer.listeners(kind);
    proxyServer.removeAllListeners(kind);
    proxyServer.on(kind, (request, outlet, ...rest) => {
      if (isLoopbackTarget(request.url)) {
        for (const handler of handlers) handler.call(proxyServer, request, outlet, ...rest);
      } else if (kind === 'connect') {
        outlet.end('HTTP/1.1 403 Forbidden\r\n\r\n');
      } else {
        outlet.writeHead(403);
        outlet.end();
      }
    });
  }
  proxyServer.authenticate = (request) => {
    if (network.mode !== 'proxy') return true;
    const given = parseBasic(request.headers['proxy-authorization']);
    if (!given) {
      send('proxy', 'challenge', request.url);
      return false;
    }
    const right = given.user === network.user && given.password === network.password;
    send('proxy', right ? 'accepted' : 'refused', request.url, given.user);
    return right;
  };
  return new Promise((resolve) => proxyServer.listen(0, HOST, resolve));
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

// Every request of the engine passes here: file URLs naming a drive letter
// are mapped onto the Unix folder that drive stands for.
// A file the page links as a stylesheet is loaded as one even when its name
// has no extension to tell its type by (the panel's font stylesheet has
// none): the engine takes a file's type from the name it was asked for and
// would not apply it. Such a request is sent on to a copy named ".css" in a
// folder of ours; null when the file is not such a one.
function stylesheetCopy(unixPath, requestId) {
  if (/\.[A-Za-z0-9]+$/.test(unixPath) || !fs.existsSync(unixPath)) return null;
  const copy = path.join(scratch, `sheet-${requestId.replace(/[^A-Za-z0-9]/g, '_')}.css`);
  fs.copyFileSync(unixPath, copy);
  return copy;
}

function fileUrl(unixPath) {
  return 'file://' + unixPath.split('/').map(encodeURIComponent).join('/');
}

// Every request of the engine passes here: file URLs naming a drive letter
// are mapped onto the Unix folder that drive stands for, unseen by the page.
async function onRequestPaused(view, event) {
  const mapped = fileUrlToUnixPath(event.request.url, options.drives);
  const id = event.requestId;
  try {
    const copy = mapped && event.resourceType === 'Stylesheet' ? stylesheetCopy(mapped, id) : null;
    if (copy) {
      await view.cdp.send('Fetch.fulfillRequest', {
        requestId: id,
        responseCode: 302,
        responseHeaders: [{ name: 'Location', value: fileUrl(copy) }],
      });
      return;
    }
    await view.cdp.send('Fetch.continueRequest', mapped ? { requestId: id, url: fileUrl(mapped) } : { requestId: id });
  } catch (e) {
    // The page went away meanwhile.
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
      send('note', view.id, `answers the proxy's challenge with the credentials of "${offered.user}"`);
      response = { response: 'ProvideCredentials', username: offered.user, password: offered.password };
    } else {
      const refused = view.answered.has(id);
      setFailure(view, {
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

function setFailure(view, failure) {
  if (view.loading && !view.failure) view.failure = failure;
}

async function makePage(view) {
  view.page = await view.context.newPage();
  await view.page.setViewportSize({ width: view.width, height: view.height });
  view.cdp = await view.context.newCDPSession(view.page);
  view.cdp.on('Fetch.requestPaused', (event) => onRequestPaused(view, event));
  view.cdp.on('Fetch.authRequired', (event) => onAuthRequired(view, event));
  await view.cdp.send('Fetch.enable', { patterns: [{ urlPattern: '*' }], handleAuthRequests: true });
  view.crashed = false;
  view.page.on('crash', () => {
    view.crashed = true;
    send('crashed', view.id);
  });
  view.page.on('requestfailed', (request) => {
    const text = (request.failure() || {}).errorText || '';
    // A cancelled request is reported where it is cancelled (proxy
    // challenges); others of its kind are the page's own doing.
    if (!/^net::ERR_/.test(text) || text === 'net::ERR_ABORTED') return;
    const name = text.slice(5).split(' ')[0];
    setFailure(view, { name, reason: name, message: text, url: request.url() });
  });
}

async function open(id, width, height) {
  const view = { id, width, height, loading: false, failure: null, answered: new Set(), seq: 0 };
  view.context = await browser.newContext({ viewport: { width, height } });
  await view.context.setOffline(network.mode === 'offline');
  await view.context.addInitScript(containerInterface, resourceUrl());
  await view.context.exposeBinding('hexPost', (source, name, payload) => {
    send('message', id, name, payload);
  });
  await makePage(view);
  views.set(id, view);
  send('opened', id);
}

async function load(view, url) {
  const seq = ++view.seq;
  const target = toFileUrl(url);
  view.loading = true;
  view.failure = null;
  view.answered = new Set();
  if (view.crashed) {
    await view.page.close().catch(() => {});
    await makePage(view);
  }
  let failure = null;
  try {
    await view.page.goto(target, { waitUntil: 'load', timeout: LOAD_TIMEOUT_MS });
  } catch (e) {
    const text = String(e.message).split('\n')[0];
    const match = /net::(ERR_[A-Z_]+)/.exec(text);
    const name = match ? match[1] : /Timeout/i.test(text) ? 'ERR_TIMED_OUT' : 'ERR_FAILED';
    failure = { name, reason: name, message: match ? `net::${name}` : text, url: target };
  }
  if (seq !== view.seq) return;  // a newer load took over
  view.loading = false;
  failure = view.failure || failure;
  if (failure) {
    send('failed', view.id, url, netErrorCode(failure.name), failure.name, failure.reason,
         failure.message, failure.url);
  } else {
    send('loaded', view.id, view.page.url());
  }
}

async function frame(view) {
  if (view.crashed) return send('frame', view.id, '', 'the renderer is gone');
  try {
    const png = await view.page.screenshot({ type: 'png', timeout: FRAME_TIMEOUT_MS });
    send('frame', view.id, png.toString('base64'));
  } catch (e) {
    send('frame', view.id, '', view.crashed ? 'the renderer is gone' : String(e.message).split('\n')[0]);
  }
}

async function content(view, data) {
  try {
    await view.page.evaluate((d) => window.hexContainer.deliver(d), data);
    send('delivered', view.id);
  } catch (e) {
    send('delivered', view.id, String(e.message).split('\n')[0]);
  }
}

async function setNetwork(mode, user, password) {
  network.mode = mode;
  network.user = user || '';
  network.password = password || '';
  for (const view of views.values()) await view.context.setOffline(mode === 'offline');
  send('network', mode);
}

async function close(view) {
  views.delete(view.id);
  await view.context.close().catch(() => {});
  send('closed', view.id);
}

const commands = {
  open: (id, w, h) => open(id, Number(w), Number(h)),
  // Not waited for: frames, content and the rest go on while a page loads.
  load: (view, url) => {
    load(view, url).catch((e) => send('error', 'load', String(e.message).split('\n')[0]));
  },
  resize: (view, w, h) => {
    view.width = Number(w);
    view.height = Number(h);
    return view.page.setViewportSize({ width: view.width, height: view.height });
  },
  frame: (view) => frame(view),
  content: (view, data) => content(view, data),
  crash: (view) => {
    // Page.crash never answers: the renderer it would answer from is gone.
    view.cdp.send('Page.crash').catch(() => {});
  },
  close: (view) => close(view),
  network: (mode, user, password) => setNetwork(mode, user, password),
  credentials: (user, password) => {
    offered.user = user || '';
    offered.password = password || '';
  },
  // The engine going away under the host, as a crash of it would.
  'kill-browser': () => browser.close(),
  // This program dying under the host, as a fault of it would.
  die: () => process.exit(3),
  quit: () => shutdown(0),
};

// Commands that name a view get the view itself.
const takesView = new Set(['load', 'resize', 'frame', 'content', 'crash', 'close']);

async function dispatch(fields) {
  const [verb, ...args] = fields;
  const command = commands[verb];
  if (!command) return send('error', verb, `unknown command "${verb}"`);
  if (takesView.has(verb)) {
    const view = views.get(args[0]);
    if (!view) return send('error', verb, `no view "${args[0]}"`);
    args[0] = view;
  }
  try {
    await command(...args);
  } catch (e) {
    send('error', verb, String(e.message).split('\n')[0]);
  }
}

// Everything this program and the browser driver put in the temporary folder
// (the browser's profile, the stylesheet copies) goes into a folder of ours,
// removed when this program ends in any way Node.js sees, even by a fault.
function makeScratch() {
  scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'halvet-bridge-'));
  process.env.TMPDIR = scratch;
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
  await startProxy();
  browser = await chromium.launch({
    executablePath: options.engine,
    timeout: 30000,
    args: [
      '--no-sandbox',
      '--allow-file-access-from-files',
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
  // After the browser driver's own handler, which stops the browser.
  process.on('exit', removeScratch);
  browser.on('disconnected', () => {
    if (!ending) {
      send('error', 'engine', 'the browser engine went away');
      shutdown(1);
    }
  });
}

function main() {
  socket = net.connect({ host: HOST, port: options.port });
  socket.setNoDelay(true);
  let buffer = '';
  let queue = Promise.resolve();
  socket.on('data', (chunk) => {
    buffer += chunk.toString('latin1');
    for (let at = buffer.indexOf('\n'); at >= 0; at = buffer.indexOf('\n')) {
      const line = buffer.slice(0, at);
      buffer = buffer.slice(at + 1);
      // In arrival order, each after the one before has finished.
      queue = queue.then(() => dispatch(decodeLine(line)));
    }
  });
  socket.on('close', () => shutdown(0));
  socket.on('error', (e) => {
    log(`connection to the host: ${e.message}`);
    shutdown(1);
  });
  socket.on('connect', async () => {
    try {
      await startEngine();
      send('ready', browser.version(), proxyServer.address().port, resourceUrl());
    } catch (e) {
      send('error', 'start', `the browser engine ${options.engine} did not start: ${String(e.message).split('\n')[0]}`);
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
  send('error', 'bridge', String(e.message || e));
  shutdown(1);
});
main();
