// Opens a run's report.html in headless Chromium and judges it against the
// trace.jsonl beside it: one solid arrow per call (envelope, export call,
// container callback), one dashed arrow per reply, every picture of the run
// loaded with what assistive technology read of the panel's windows beside
// it (and the turning spinner read as a named, busy progress bar at least
// once), no script error, no request that leaves the page. Saves a
// screenshot beside the report.
//   node check-report.js <folder with report.html and trace.jsonl> [browser]
// With --long, fills the page template with a made-up run of thousands of
// calls and checks that the page opens with one part drawn and draws another
// part when it is opened:
//   node check-report.js --long <report-template.html> <folder> [browser]
'use strict';
const fs = require('fs');
const path = require('path');
const { chromium } = require('playwright-core');

const CALLS = ['inbound', 'outbound', 'callback', 'initialize', 'finalize'];
const REPLIES = ['inbound-reply', 'outbound-reply', 'callback-return'];

function expectations(folder) {
  const records = fs.readFileSync(path.join(folder, 'trace.jsonl'), 'utf8')
    .split('\n').filter((l) => l.trim()).map((l) => JSON.parse(l));
  const seqs = new Set(records.filter((r) => CALLS.includes(r.kind)).map((r) => r.seq));
  const exports = records.filter((r) => r.kind === 'initialize' || r.kind === 'finalize').length;
  const readings = {};
  records.filter((r) => r.kind === 'picture').forEach((r) => { readings[r.seq] = 0; });
  records.filter((r) => r.kind === 'accessible').forEach((r) => { readings[r.ref] = (readings[r.ref] || 0) + 1; });
  return {
    calls: seqs.size,
    replies: records.filter((r) => REPLIES.includes(r.kind) && seqs.has(r.ref)).length + exports,
    pictures: records.filter((r) => r.kind === 'picture').length,
    readings,
    busyIndicator: records.some((r) => r.kind === 'accessible' && r.role === 48 && r.name && (r.state & 0x800)),
  };
}

async function judge(folder, browserPath) {
  const want = expectations(folder);
  const readingsOf = (seq) => want.readings[seq] || 0;
  const problems = [];
  const browser = await chromium.launch({
    executablePath: browserPath,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
  });
  try {
    const page = await browser.newPage({ viewport: { width: 1400, height: 900 } });
    page.on('pageerror', (e) => problems.push('script error: ' + e.message));
    page.on('console', (m) => { if (m.type() === 'error') problems.push('console error: ' + m.text()); });
    await page.route('**/*', (route) => {
      const url = route.request().url();
      if (url.startsWith('file:') || url.startsWith('data:')) return route.continue();
      problems.push('the page asked the network for ' + url);
      return route.abort();
    });
    const started = Date.now();
    await page.goto('file://' + path.resolve(folder, 'report.html'));
    await page.waitForSelector('body[data-drawn="yes"]', { timeout: 60000 });
    const firstDrawn = Date.now() - started;
    await page.click('#open-all');
    const count = () => page.evaluate(() => ({
      calls: document.querySelectorAll('#diagram-parts svg .messageLine0').length,
      replies: document.querySelectorAll('#diagram-parts svg .messageLine1').length,
    }));
    let got = await count();
    for (let i = 0; i < 120 && (got.calls < want.calls || got.replies < want.replies); i++) {
      await page.waitForTimeout(250);
      got = await count();
    }
    if (got.calls !== want.calls)
      problems.push(`${got.calls} solid arrows drawn, the trace has ${want.calls} calls`);
    if (got.replies !== want.replies)
      problems.push(`${got.replies} dashed arrows drawn, the trace has ${want.replies} replies`);
    const pictures = await page.evaluate(() => Array.from(document.querySelectorAll('figure.picture img'))
      .map((img) => ({ name: img.alt, ok: img.complete && img.naturalWidth > 0 })));
    if (pictures.length !== want.pictures)
      problems.push(`${pictures.length} pictures shown, the trace has ${want.pictures}`);
    pictures.filter((p) => !p.ok).forEach((p) => problems.push(`picture ${p.name} did not load`));
    // Beside each picture, one row per panel window read when it was taken.
    const tables = await page.evaluate(() => Array.from(document.querySelectorAll('figure.picture'))
      .map((fig) => ({ seq: +fig.getAttribute('data-seq'),
                       rows: fig.querySelectorAll('table.accessible tr').length })));
    tables.forEach((t) => {
      const want = readingsOf(t.seq);
      const shown = Math.max(0, t.rows - 1);  // less the heading row
      if (want === 0) problems.push(`picture #${t.seq} has no accessibility lines in the trace`);
      else if (shown !== want) problems.push(`picture #${t.seq} shows ${shown} accessibility lines, the trace has ${want}`);
    });
    if (!want.busyIndicator) problems.push('no picture found the spinner as a named, busy progress bar');
    // The data of a message is there on demand: a click on the first arrow's text.
    await page.click('#diagram-parts svg .messageText');
    const detail = await page.textContent('#detail-text');
    if (!/messageName|event|kind/.test(detail || '')) problems.push('a click on a message shows no data');
    await page.click('#detail-close');
    await page.screenshot({ path: path.join(folder, 'report-screenshot.png'), fullPage: true });
    console.log(`report: ${got.calls} calls and ${got.replies} replies drawn, ` +
      `${pictures.length} pictures loaded, ` +
      `${Object.values(want.readings).reduce((a, b) => a + b, 0)} accessibility lines beside them, ` +
      `first part drawn after ${firstDrawn} ms`);
  } finally {
    await browser.close();
  }
  return problems;
}

// What ReportWriter does, for a made-up trace: the JSON Lines as one string
// with every '<' escaped, and the pictures object.
function fillTemplate(template, lines) {
  const data = JSON.stringify(lines).replace(/</g, '\\u003c');
  return template.replace('@@TRACE_JSONL@@', () => data).replace('@@PICTURES@@', '{}');
}

function longRun(calls) {
  const lines = [];
  let seq = 0;
  const add = (r) => { r.seq = ++seq; r.t_ms = seq * 0.5; r.step = 1 + Math.floor(seq / 4); lines.push(JSON.stringify(r)); return r.seq; };
  for (let i = 0; i < calls / 2; i++) {
    const inbound = add({ kind: 'inbound', targetType: 'Applet', targetAppletID: 'HalvetPanel_UI', sourceAppletID: 'Core',
      messageName: 'ContentForHTML', messageData: `<htmlContent><n>${i}</n></htmlContent>` });
    const outbound = add({ kind: 'outbound', targetType: 'Applet', targetAppletID: 'HEX_UIX', messageName: 'processMessageForJSON',
      messageData: `<ContentForHTML><guid>{G}</guid><message><htmlContent><n>${i}</n></htmlContent></message></ContentForHTML>` });
    add({ kind: 'outbound-reply', ref: outbound, reply: 'Success', owned: true });
    add({ kind: 'inbound-reply', ref: inbound, reply: 'Success', owned: false });
    if (i % 100 === 0) add({ kind: 'bridge-exchange', from: 'page', text: 'a record kind this page does not know' });
  }
  return lines.join('\n') + '\n';
}

async function judgeLong(templatePath, folder, browserPath) {
  const calls = 4000;
  fs.mkdirSync(folder, { recursive: true });
  const trace = longRun(calls);
  fs.writeFileSync(path.join(folder, 'trace.jsonl'), trace);
  fs.writeFileSync(path.join(folder, 'report.html'), fillTemplate(fs.readFileSync(templatePath, 'utf8'), trace));
  const problems = [];
  const browser = await chromium.launch({ executablePath: browserPath, headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'] });
  try {
    const page = await browser.newPage({ viewport: { width: 1400, height: 900 } });
    page.on('pageerror', (e) => problems.push('script error: ' + e.message));
    await page.goto('file://' + path.resolve(folder, 'report.html'));
    await page.waitForSelector('body[data-drawn="yes"]', { timeout: 60000 });
    const drawn = () => page.evaluate(() => document.querySelectorAll('#diagram-parts svg .messageLine0').length);
    const parts = await page.evaluate(() => document.querySelectorAll('details.chunk').length);
    const first = await drawn();
    if (first < 1 || first > 60) problems.push(`${first} arrows drawn at opening; one part of at most 60 wanted`);
    if (parts < calls / 60) problems.push(`${parts} parts for ${calls} calls`);
    await page.evaluate(() => { const all = document.querySelectorAll('details.chunk'); all[all.length - 1].open = true; });
    let later = first;
    for (let i = 0; i < 80 && later === first; i++) { await page.waitForTimeout(250); later = await drawn(); }
    if (later <= first) problems.push('opening the last part drew nothing');
    const facts = await page.textContent('#facts');
    if (!/bridge-exchange/.test(facts)) problems.push('the unknown record kind is not counted: ' + facts);
    console.log(`report: a run of ${calls} calls opens with ${first} arrows drawn in ${parts} parts`);
  } finally {
    await browser.close();
  }
  return problems;
}

const long = process.argv[2] === '--long';
const args = process.argv.slice(long ? 3 : 2);
const folder = long ? args[1] : args[0];
const browserPath = (long ? args[2] : args[1]) || '/usr/bin/chromium';
if (!folder) {
  console.error('usage: node check-report.js [--long <template>] <run folder> [browser]');
  process.exit(2);
}
(long ? judgeLong(args[0], folder, browserPath) : judge(folder, browserPath)).then((problems) => {
  problems.forEach((p) => console.error('report: ' + p));
  process.exit(problems.length ? 1 : 0);
}, (e) => {
  console.error('report: ' + (e && e.stack || e));
  process.exit(1);
});
