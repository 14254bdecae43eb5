// The reference's drift check, on made-up runs: it must pass a faithful
// reference and name each kind of drift.
'use strict';
const assert = require('assert');
const { elementPaths, check, staleness } = require('./check-protocol.js');

const flags = (a) => ({ flagA: a, flagB: 1, flagC: 0 });
const toUIX = { kind: 'outbound', targetType: 'Applet', targetAppletID: 'HEX_UIX', ...flags(0) };
const toPBL = { kind: 'outbound', targetType: 'Applet', targetAppletID: 'HalvetPanel_BL', ...flags(1) };
const toCBL = { kind: 'outbound', targetType: 'Applet', targetAppletID: 'Q7Container_BL', ...flags(0) };
const offline = '<error><errorCode>-106</errorCode><errReason>ERR_INTERNET_DISCONNECTED</errReason></error>';
const tunnel = '<error><errorCode>-111</errorCode><errReason>ERR_TUNNEL_CONNECTION_FAILED</errReason></error>';

const run = {
  name: 'run',
  records: [
    { seq: 1, ...toUIX, messageName: 'processURL',
      messageData: '<xmlData>\r\n\t<guid>{G}</guid>\r\n\t<url>C:\\p</url>\r\n</xmlData>' },
    { seq: 2, kind: 'outbound-reply', ref: 1, reply: 'Success' },
    { seq: 3, kind: 'callback', event: 'pageReady', payload: '<?xml version="1.0"?><ready v="2"><items/></ready>' },
    { seq: 4, ...toPBL, messageName: 'pageReady', messageData: '<HTMLMessage><ready v="2"><items/></ready></HTMLMessage>' },
    { seq: 5, kind: 'callback-return', ref: 3, result: 0 },
    // A network error, then one dropped in state 2, then a reload back to 0.
    { seq: 6, kind: 'callback', event: 'CEF_ERROR', payload: offline },
    { seq: 7, ...toPBL, messageName: 'HEX_NETWORK_ERROR', messageData: `<HTMLMessage>${offline}</HTMLMessage>` },
    { seq: 8, kind: 'callback-return', ref: 6, result: 0 },
    { seq: 9, kind: 'callback', event: 'CEF_ERROR', payload: offline },
    { seq: 10, kind: 'callback-return', ref: 9, result: 0 },
    { seq: 11, kind: 'inbound', messageName: 'ReloadHTML', messageData: '' },
    { seq: 12, ...toUIX, messageName: 'changeURL', messageData: '<xmlData><guid>{G}</guid><url>C:\\p</url></xmlData>' },
    { seq: 13, kind: 'outbound-reply', ref: 12, reply: 'Success' },
    { seq: 14, kind: 'inbound-reply', ref: 11, reply: 'Success', owned: true },
    // A proxy error without credentials: the dialog, then the retry.
    { seq: 15, kind: 'callback', event: 'CEF_ERROR', payload: tunnel },
    { seq: 16, ...toCBL, messageName: 'GetProxyCredentials', messageData: '<container/>' },
    { seq: 17, kind: 'outbound-reply', ref: 16, reply: '' },
    { seq: 18, ...toCBL, messageName: 'ShowProxyDialog', messageData: '<container/>' },
    { seq: 19, kind: 'outbound-reply', ref: 18, reply: 'true' },
    { seq: 20, ...toPBL, messageName: 'CEF_ERROR', messageData: `<HTMLMessage>${tunnel}</HTMLMessage>` },
    { seq: 21, kind: 'callback-return', ref: 15, result: 0 },
    { seq: 22, kind: 'inbound', messageName: 'proxyCredentialsUpdated', messageData: '' },
    { seq: 23, ...toPBL, messageName: 'HEX_NETWORK_ERROR_RETRY', messageData: '<noxml/>' },
    { seq: 24, kind: 'inbound-reply', ref: 22, reply: 'true', owned: false },
    { seq: 25, ...toUIX, messageName: 'attachParentWindow',
      messageData: '<xmlData><guid>{G}</guid><parentWindowPtr>0x10052</parentWindowPtr><callbackFnPtr>0x2fe1fa0</callbackFnPtr></xmlData>' },
  ],
};

const rest = `
| message | data | reply | without a view |
|---|---|---|---|
| "ReloadHTML" | none | the container's reply (owned) | "Failure" |
| "proxyCredentialsUpdated" | not read | "true" | "true" |

| records the DLL sends | \`flagA\` | \`flagB\` | \`flagC\` |
|---|---|---|---|
| relays of container events to "HalvetPanel_BL", "HEX_NETWORK_ERROR" included | 1 | 1 | 0 |
| "HEX_NETWORK_ERROR_RETRY" | 1 | 1 | 0 |
| every other message | 0 | 1 | 0 |

### "attachParentWindow" (to HEX_UIX)
### "changeURL" (to HEX_UIX)
### "GetProxyCredentials" (to Q7Container_BL)
### "ShowProxyDialog" (to Q7Container_BL)
### "HEX_NETWORK_ERROR" (to HalvetPanel_BL)
### "HEX_NETWORK_ERROR_RETRY" (to HalvetPanel_BL)
### "GetAppletRelation" (to Core)
<!-- not in the runs: nothing asks -->

| state | event | what the DLL does | next |
|---|---|---|---|
| 0 | "CEF_ERROR", proxy error, usable stored credentials | "GetProxyCredentials", "setProxyCredentials", relay under its own name | 0 |
| 0 | "CEF_ERROR", proxy error, no usable credentials or reason "ERR_AUTH_PROXY_AUTH_ERROR" | "GetProxyCredentials", "ShowProxyDialog", relay under its own name | 1 |
| 0 | "CEF_ERROR", any other error | relay as "HEX_NETWORK_ERROR" | 2 |
| 1 | "CEF_ERROR" | dropped | 1 |
| 1 | "proxyCredentialsUpdated" | "HEX_NETWORK_ERROR_RETRY"; reply "true" | 0 |
| 2 | "CEF_ERROR" | dropped | 2 |
| 0 or 2 | "proxyCredentialsUpdated" | reply "true" only | unchanged |
| 0 or 2 | "ReloadHTML" with a view | the page is loaded again | 0 |
| 1 | "ReloadHTML" with a view | the page is loaded again | 1 |
| 0, 1 or 2 | "ReloadHTML" without a view | reply "Failure", nothing sent | unchanged |
`;

function doc(example, heading = '### "processURL"', tail = rest) {
  return `${heading}\n\n${example}\n${tail}`;
}
const good = '<!-- example: outbound processURL to HEX_UIX -->\n```xml\n<xmlData>\n  <guid>{X}</guid>\n  <url>x</url>\n</xmlData>\n```';

// Paths in first-seen order; declarations, comments and attributes do not count.
assert.deepStrictEqual(elementPaths('<?xml version="1.0"?><!-- c --><a x="<b>"><b/><c><b/></c><b/></a>'),
  ['/a', '/a/b', '/a/c', '/a/c/b']);
assert.strictEqual(elementPaths('<a><b></a></b>'), null);

// A faithful reference, and a page message whose relay has no heading of its own.
assert.deepStrictEqual(check(doc(good), [run]).problems, []);

// Each kind of drift is named, once.
function drifts(text, expected, runs = [run]) {
  const { problems } = check(text, runs);
  assert.strictEqual(problems.length, 1, `${expected}\n${problems.join('\n')}`);
  assert.match(problems[0], expected);
}
const cases = [
  [good.replace('<url>x</url>', '<path>x</path>'), /the example has .*\/xmlData\/path/],
  [good.replace('<guid>{X}</guid>\n  <url>x</url>', '<url>x</url>\n  <guid>{X}</guid>'), /the runs have \/xmlData \/xmlData\/guid \/xmlData\/url/],
  [good.replace('to HEX_UIX', 'to Q7Container_BL'), /no run has such a message/],
  [good.replace('processURL to', 'processUrl to'), /no run has such a message/],
  [good.replace('<!-- example: outbound processURL to HEX_UIX -->\n', ''), /without an "<!-- example/],
  [good.replace('</xmlData>', '</xml>'), /do not nest/],
];
for (const [example, expected] of cases) drifts(doc(example), expected);
const unheaded = check(doc(good, '### the page'), [run]).problems;
assert.deepStrictEqual(unheaded, ['the DLL sends "processURL", which has no heading in the reference']);

// Tables: a wrong reply value, a reply the table does not know, a message
// documented as received that no run sends, flags.
const tableCases = [
  [rest.replace('| not read | "true" | "true" |', '| not read | "false" | "false" |'), /"proxyCredentialsUpdated" answered "true" in run; the table says/],
  [rest.replace('the container\'s reply (owned)', 'the container\'s reply'), /"ReloadHTML" answered an owned copy/],
  [rest.replace('| "ReloadHTML" |', '| "LoadBlank" | none | "Success" | "Failure" |\n| "ReloadHTML" |'), /"LoadBlank" is documented as received, but no run sends it to the DLL/],
  [rest.replace('| "HEX_NETWORK_ERROR_RETRY" | 1 | 1 | 0 |', '| "HEX_NETWORK_ERROR_RETRY" | 0 | 1 | 0 |'), /"HEX_NETWORK_ERROR_RETRY" went with flags 1 1 0; the flag table says 0 1 0/],
  [rest.replace('| message | data | reply | without a view |', '| message | data | answer | without a view |'), /table of received messages .* is missing/],
  // A message documented as sent that no run sends; the marker that says why.
  [rest.replace('### "changeURL"', '### "setProxyCredentials" (to HEX_UIX)\n### "changeURL"'), /"setProxyCredentials" is documented as sent, but no run sends it/],
  [rest.replace('<!-- not in the runs: nothing asks -->', ''), /"GetAppletRelation" is documented as sent, but no run sends it/],
  // The state table: what a state does, and where it leads.
  [rest.replace('| 2 | "CEF_ERROR" | dropped | 2 |', '| 2 | "CEF_ERROR" | relay as "HEX_NETWORK_ERROR" | 2 |'), /event "CEF_ERROR" \(run, seq 9\) in state 2 sent \[\]; the state table says \[HEX_NETWORK_ERROR\]/],
  [rest.replace('| relay as "HEX_NETWORK_ERROR" | 2 |', '| relay as "HEX_NETWORK_ERROR" | 0 |'), /seq 9\) in state 0 sent \[\]; the state table says \[HEX_NETWORK_ERROR\]/],
  [rest.replace('| 0 or 2 | "ReloadHTML" with a view | the page is loaded again | 0 |', '| 0 or 2 | "ReloadHTML" with a view | the page is loaded again | unchanged |'), /seq 15\) in state 2 sent \[CEF_ERROR, GetProxyCredentials, ShowProxyDialog\]; the state table says \[\]/],
  [rest.replace('| 1 | "proxyCredentialsUpdated" |', '| 3 | "proxyCredentialsUpdated" |'), /no row for message "proxyCredentialsUpdated" \(run, seq 22\) in state 1/],
];
for (const [tail, expected] of tableCases) drifts(doc(good, undefined, tail), expected);

// Handles in another form than the documented one.
const zeros = { ...run, records: run.records.map((r) => r.seq === 25
  ? { ...r, messageData: r.messageData.replace('0x10052', '0x0010052') } : r) };
drifts(doc(good), /parentWindowPtr "0x0010052" in run is not in the documented form/, [zeros]);

// Runs that may not speak for the DLL.
assert.strictEqual(staleness(3000, 2000, 'result: passed\nDLL: Z:\\b\\bin\\HalvetPanelUI.dll\n'), '');
assert.match(staleness(1000, 2000, 'DLL: Z:\\b\\bin\\HalvetPanelUI.dll\n'), /older than the DLL/);
assert.match(staleness(3000, 2000, 'DLL: Z:\\b\\stub\\stub_panel.dll\n'), /not of HalvetPanelUI.dll/);
assert.match(staleness(3000, 2000, 'result: passed\n'), /names no DLL/);
console.log('check-protocol: every kind of drift is caught');
