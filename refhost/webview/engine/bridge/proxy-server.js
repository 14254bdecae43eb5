// The proxy the engine goes through: it forwards only to the bridge's own
// server of the page's network part (127.0.0.1 and its port), asks for
// credentials while told to, and reports what it accepted or refused.
// Anything else it refuses by closing the connection unanswered, so that
// the engine ends the request in a network error of its own instead of
// showing a page of the proxy's.
'use strict';

const http = require('http');
const { createProxy } = require('proxy');
const { isTarget, parseBasic } = require('./lines');

// target(): the port of the one server it forwards to.
// wants(): null, or { user, password } the proxy asks for.
// record(what, target, user): what it did ("challenge", "accepted",
// "refused", "blocked").
function startProxy({ host, target, wants, record }) {
  const proxy = createProxy(http.createServer());
  for (const kind of ['request', 'connect']) {
    const handlers = proxy.listeners(kind);
    proxy.removeAllListeners(kind);
    proxy.on(kind, (request, outlet, ...rest) => {
      if (isTarget(request.url, target())) {
        for (const handler of handlers) handler.call(proxy, request, outlet, ...rest);
        return;
      }
      record('blocked', request.url, '');
      request.socket.destroy();
    });
  }
  proxy.authenticate = (request) => {
    const wanted = wants();
    if (!wanted) return true;
    const given = parseBasic(request.headers['proxy-authorization']);
    if (!given) {
      record('challenge', request.url, '');
      return false;
    }
    const right = given.user === wanted.user && given.password === wanted.password;
    record(right ? 'accepted' : 'refused', request.url, given.user);
    return right;
  };
  return new Promise((resolve) => proxy.listen(0, host, () => resolve(proxy)));
}

module.exports = { startProxy };
