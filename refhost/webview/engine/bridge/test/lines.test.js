'use strict';
const test = require('node:test');
const assert = require('node:assert');
const lines = require('../lines');

test('fields survive a line whatever they hold', () => {
  const fields = ['load', '', 'a b', 'ü € 𝄞', 'x\ny\r\n', '%41', '<a href="1">&amp;</a>'];
  const line = lines.encodeLine(fields);
  assert.match(line, /^[^\n ]*( [^\n ]*)*\n$/);
  assert.deepStrictEqual(lines.decodeLine(line.slice(0, -1)), fields);
});

test('a broken escape is kept as it stands', () => {
  assert.deepStrictEqual(lines.decodeLine('frame %ZZ %E2%82'), ['frame', '%ZZ', '%E2%82']);
});

test('drive letters map through the drive table, and nothing else does', () => {
  const drives = { c: '/prefix/drive_c/', z: '/' };
  assert.strictEqual(lines.fileUrlToUnixPath('file:///C:/users/a%20b/Temp/%7B1%7D', drives),
                     '/prefix/drive_c/users/a b/Temp/{1}');
  assert.strictEqual(lines.fileUrlToUnixPath('file:///z:/work/x/index.html', drives), '/work/x/index.html');
  assert.strictEqual(lines.fileUrlToUnixPath('file:///D:/x', drives), null);
  assert.strictEqual(lines.fileUrlToUnixPath('file:///tmp/x', drives), null);
  assert.strictEqual(lines.fileUrlToUnixPath('http://127.0.0.1/C:/x', drives), null);
});

test('".." cannot climb out of a drive folder', () => {
  const drives = { c: '/prefix/drive_c' };
  assert.strictEqual(lines.fileUrlToUnixPath('file:///C:/a/../../../etc/passwd', drives),
                     '/prefix/drive_c/etc/passwd');
  assert.strictEqual(lines.fileUrlToUnixPath('file:///C:/a/%2e%2e/%2e%2e/etc', drives),
                     '/prefix/drive_c/etc');
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

test('the proxy reaches 127.0.0.1 only', () => {
  assert.ok(lines.isLoopbackTarget('http://127.0.0.1:8080/x.js'));
  assert.ok(lines.isLoopbackTarget('127.0.0.1:443'));
  for (const t of ['accounts.example.com:443', 'http://127.0.0.1.example.com/', 'http://example/127.0.0.1:1/', ''])
    assert.ok(!lines.isLoopbackTarget(t), t);
});

test('Basic credentials are read, colons in the password kept', () => {
  const header = 'Basic ' + Buffer.from('bob:p&w<1:2').toString('base64');
  assert.deepStrictEqual(lines.parseBasic(header), { user: 'bob', password: 'p&w<1:2' });
  assert.strictEqual(lines.parseBasic('Bearer x'), null);
  assert.strictEqual(lines.parseBasic(undefined), null);
});

test('engine error names have their numbers', () => {
  assert.strictEqual(lines.netErrorCode('ERR_INTERNET_DISCONNECTED'), -106);
  assert.strictEqual(lines.netErrorCode('ERR_SOMETHING_NEW'), -2);
});
