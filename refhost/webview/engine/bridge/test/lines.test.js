'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const test = require('node:test');
const assert = require('node:assert');
const lines = require('../lines');

// The shared sample lines: [{ direction, line, fields: { name: value } }].
function samples() {
  const out = [];
  const unescape = (v) => v.replace(/\\(.)/g, (m, c) => ({ n: '\n', r: '\r', '\\': '\\' })[c]);
  for (const text of fs.readFileSync(path.join(__dirname, 'sample-lines.txt'), 'utf8').split('\n')) {
    const line = /^([<>]) (.*)$/.exec(text);
    const field = /^ {2}([a-z-]+): ?(.*)$/.exec(text);
    if (line) out.push({ direction: line[1], line: line[2], fields: {} });
    else if (field) out[out.length - 1].fields[field[1]] = unescape(field[2]);
  }
  return out;
}

test('the sample lines decode to their named fields, and the fields encode to them', () => {
  const all = samples();
  assert.ok(all.length >= 10);
  for (const sample of all) {
    const fields = lines.decodeLine(sample.line);
    const named = lines.named(sample.direction, fields);
    assert.ok(named, sample.line);
    assert.deepStrictEqual({ ...named, verb: undefined }, { ...sample.fields, verb: undefined }, sample.line);
    assert.strictEqual(lines.encodeLine(lines.compose(sample.direction, fields[0], sample.fields)),
                       sample.line + '\n');
  }
});

test('fields survive a line whatever they hold; a broken escape is kept', () => {
  const fields = ['load', '', 'a b', 'ü € 𝄞', 'x\ny\r\n', '%41', '<a href="1">&amp;</a>'];
  const line = lines.encodeLine(fields);
  assert.match(line, /^[^\n ]*( [^\n ]*)*\n$/);
  assert.deepStrictEqual(lines.decodeLine(line.slice(0, -1)), fields);
  assert.deepStrictEqual(lines.decodeLine('frame %ZZ %E2%82'), ['frame', '%ZZ', '%E2%82']);
  assert.throws(() => lines.compose('<', 'no-such-line', {}));
});

test('lines are split where they end, however they arrive, and overlong ones dropped whole', () => {
  const got = [];
  let overlong = 0;
  const splitter = new lines.LineSplitter((l) => got.push(l), () => ++overlong, 10);
  for (const piece of ['ab', 'c\nd', 'e\n', 'x'.repeat(8), 'y'.repeat(8), 'z\nok\n']) splitter.push(Buffer.from(piece));
  assert.deepStrictEqual(got, ['abc', 'de', 'ok']);
  assert.strictEqual(overlong, 1);
});

test('file URLs map to Unix paths, with a drive letter or without, never above their root', () => {
  const drives = { c: '/prefix/drive_c/', z: '/' };
  const map = (url) => lines.fileUrlToUnixPath(url, drives);
  assert.strictEqual(map('file:///C:/users/a%20b/Temp/%7B1%7D'), '/prefix/drive_c/users/a b/Temp/{1}');
  assert.strictEqual(map('file:///z:/work/x/index.html'), '/work/x/index.html');
  assert.strictEqual(map('file:///tmp/x'), '/tmp/x');
  assert.strictEqual(map('file://localhost/etc/passwd'), '/etc/passwd');
  assert.strictEqual(map('file:///C:/a/../../../etc/passwd'), '/prefix/drive_c/etc/passwd');
  assert.strictEqual(map('file:///C:/a/%2e%2e/%2e%2e/etc'), '/prefix/drive_c/etc');
  for (const url of ['file:///D:/x', 'file://server/share/x', 'http://127.0.0.1/C:/x', 'file:///a%00b', 'file:///%E2'])
    assert.strictEqual(map(url), null, url);
});

test('a page reads only below its folders and the stylesheets beside the panel, on real paths', () => {
  const top = fs.mkdtempSync(path.join(os.tmpdir(), 'halvet-reads-'));
  try {
    const page = path.join(top, 'page');
    const temp = path.join(top, 'temp');
    const secret = path.join(top, 'secret.txt');
    for (const dir of [page, temp, path.join(temp, 'deeper')]) fs.mkdirSync(dir);
    fs.writeFileSync(path.join(page, 'index.html'), '<p>');
    fs.writeFileSync(path.join(temp, '{GUID}'), 'a{}');
    fs.writeFileSync(path.join(temp, 'deeper', 'x'), 'a{}');
    fs.writeFileSync(secret, 'secret');
    fs.symlinkSync(secret, path.join(page, 'link.css'));
    fs.symlinkSync(secret, path.join(temp, 'link'));
    fs.symlinkSync(top, path.join(page, 'up'));
    const allowed = { folders: [page], sheetFolder: temp };
    assert.strictEqual(lines.mayRead(path.join(page, 'index.html'), allowed), fs.realpathSync(path.join(page, 'index.html')));
    assert.ok(lines.mayRead(path.join(page, 'missing.js'), allowed));
    assert.ok(lines.mayRead(path.join(temp, '{GUID}'), allowed));
    for (const denied of [secret, path.join(page, 'link.css'), path.join(temp, 'link'), path.join(page, 'up', 'secret.txt'),
      path.join(temp, 'deeper', 'x'), path.join(top, 'missing', 'x'), '/etc/passwd'])
      assert.strictEqual(lines.mayRead(denied, allowed), null, denied);
    assert.strictEqual(lines.mayRead(path.join(temp, '{GUID}'), { folders: [page] }), null);
    assert.ok(lines.isRegularFile(path.join(temp, '{GUID}')));
    assert.ok(!lines.isRegularFile(temp));
    // A pipe would block a copy of it for good.
    require('child_process').execFileSync('mkfifo', [path.join(temp, 'pipe')]);
    assert.ok(!lines.isRegularFile(path.join(temp, 'pipe')));
  } finally {
    fs.rmSync(top, { recursive: true, force: true });
  }
});

test('Windows paths become file URLs, each folder percent-encoded; URLs stay', () => {
  assert.strictEqual(lines.toFileUrl('C:\\a\\b c.html'), 'file:///C:/a/b%20c.html');
  // "#", "%" and "?" in a folder name are the folder's, not a fragment, an
  // escape or a query; the file reached is the one named.
  const named = 'Z:\\work\\a#1\\100%\\why?\\index.html';
  assert.strictEqual(lines.toFileUrl(named), 'file:///Z:/work/a%231/100%25/why%3F/index.html');
  assert.strictEqual(lines.fileUrlToUnixPath(lines.toFileUrl(named), { z: '/' }),
                     '/work/a#1/100%/why?/index.html');
  assert.strictEqual(lines.toFileUrl('about:blank'), 'about:blank');
  assert.strictEqual(lines.toFileUrl('file:///C:/x'), 'file:///C:/x');
});

test('the proxy target is 127.0.0.1 at exactly the given port', () => {
  assert.ok(lines.isTarget('http://127.0.0.1:8080/x.js', 8080));
  assert.ok(lines.isTarget('127.0.0.1:8080', 8080));
  assert.ok(lines.isTarget('http://127.0.0.1/x', 80));
  for (const t of ['http://127.0.0.1:8081/x.js', '127.0.0.1:443', 'accounts.example.com:8080',
    'http://127.0.0.1.example.com:8080/', 'http://example/127.0.0.1:8080/', 'http://u@127.0.0.1:8080/', ''])
    assert.ok(!lines.isTarget(t, 8080), t);
});

test('Basic credentials are read, colons in the password kept', () => {
  const header = 'Basic ' + Buffer.from('bob:p&w<1:2').toString('base64');
  assert.deepStrictEqual(lines.parseBasic(header), { user: 'bob', password: 'p&w<1:2' });
  assert.strictEqual(lines.parseBasic('Bearer x'), null);
  assert.strictEqual(lines.parseBasic(undefined), null);
});

test('every engine error name has its own number', () => {
  const { NET_ERRORS } = require('../net-errors');
  assert.ok(Object.keys(NET_ERRORS).length > 200);
  assert.strictEqual(new Set(Object.values(NET_ERRORS)).size, Object.keys(NET_ERRORS).length);
  for (const [name, code] of [['ERR_INTERNET_DISCONNECTED', -106], ['ERR_BLOCKED_BY_RESPONSE', -27],
    ['ERR_CERT_AUTHORITY_INVALID', -202], ['ERR_PROXY_CONNECTION_FAILED', -130], ['ERR_EMPTY_RESPONSE', -324],
    ['ERR_ACCESS_DENIED', -10], ['ERR_DNS_TIMED_OUT', -803]])
    assert.strictEqual(lines.netErrorCode(name), code, name);
  assert.strictEqual(lines.netErrorCode('ERR_SOMETHING_NEW'), -2);
  // A failed navigation keeps the engine's name, digits and all.
  const failure = (message) => lines.navigationFailure(new Error(message), 'file:///x');
  assert.strictEqual(failure('page.goto: net::ERR_HTTP2_PROTOCOL_ERROR at https://x/').name, 'ERR_HTTP2_PROTOCOL_ERROR');
  assert.strictEqual(failure('page.goto: net::ERR_ACCESS_DENIED at file:///etc/passwd').name, 'ERR_ACCESS_DENIED');
  assert.strictEqual(failure('page.goto: Timeout 15000ms exceeded.').name, 'ERR_TIMED_OUT');
  assert.strictEqual(failure('page.goto: Navigation to "x" is interrupted by another navigation to "y"').name, 'ERR_ABORTED');
  assert.strictEqual(lines.netErrorCode('constructor'), -2);
});
