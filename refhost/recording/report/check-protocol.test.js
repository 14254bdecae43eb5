// The reference's drift check, on made-up runs: it must pass a faithful
// reference and name each kind of drift.
'use strict';
const assert = require('assert');
const { elementPaths, check } = require('./check-protocol.js');

const run = {
  name: 'run',
  records: [
    { seq: 1, kind: 'outbound', targetType: 'Applet', targetAppletID: 'HEX_UIX', messageName: 'processURL',
      messageData: '<xmlData>\r\n\t<guid>{G}</guid>\r\n\t<url>C:\\p</url>\r\n</xmlData>' },
    { seq: 2, kind: 'outbound-reply', ref: 1, reply: 'Success' },
    { seq: 3, kind: 'callback', event: 'pageReady', payload: '<?xml version="1.0"?><ready v="2"><items/></ready>' },
    { seq: 4, kind: 'outbound', targetType: 'Applet', targetAppletID: 'HalvetPanel_BL', messageName: 'pageReady',
      messageData: '<HTMLMessage><ready v="2"><items/></ready></HTMLMessage>' },
  ],
};

function doc(example, heading = '### "processURL"') {
  return `${heading}\n\n${example}\n`;
}
const good = '<!-- example: outbound processURL to HEX_UIX -->\n```xml\n<xmlData>\n  <guid>{X}</guid>\n  <url>x</url>\n</xmlData>\n```';

// Paths in first-seen order; declarations, comments and attributes do not count.
assert.deepStrictEqual(elementPaths('<?xml version="1.0"?><!-- c --><a x="<b>"><b/><c><b/></c><b/></a>'),
  ['/a', '/a/b', '/a/c', '/a/c/b']);
assert.strictEqual(elementPaths('<a><b></a></b>'), null);

// A faithful example, and a page message whose relay has no heading of its own.
assert.deepStrictEqual(check(doc(good), [run]).problems, []);

// Each kind of drift is named.
const cases = [
  [good.replace('<url>x</url>', '<path>x</path>'), /the example has .*\/xmlData\/path/],
  [good.replace('<guid>{X}</guid>\n  <url>x</url>', '<url>x</url>\n  <guid>{X}</guid>'), /the runs have \/xmlData \/xmlData\/guid \/xmlData\/url/],
  [good.replace('to HEX_UIX', 'to Q7Container_BL'), /no run has such a message/],
  [good.replace('processURL to', 'processUrl to'), /no run has such a message/],
  [good.replace('<!-- example: outbound processURL to HEX_UIX -->\n', ''), /without an "<!-- example/],
  [good.replace('</xmlData>', '</xml>'), /do not nest/],
];
for (const [example, expected] of cases) {
  const { problems } = check(doc(example), [run]);
  assert.strictEqual(problems.length, 1, `${example}\n${problems.join('\n')}`);
  assert.match(problems[0], expected);
}
const unheaded = check(doc(good, '### the page'), [run]).problems;
assert.deepStrictEqual(unheaded, ['the DLL sends "processURL", which has no heading in the reference']);
console.log('check-protocol: every kind of drift is caught');
