// Opens a run's report.html in headless Chromium and judges it against the
// trace.jsonl beside it: one solid arrow per call (envelope, export call,
// container callback), one dashed arrow per reply, every picture of the run
// loaded, no script error, no request that leaves the page. Saves a
// screenshot beside the report.
//   node check-report.js <folder with report.html and trace.jsonl> [browser]
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
  return {
    calls: seqs.size,
    replies: records.filter((r) => REPLIES.includes(r.kind) && seqs.has(r.ref)).length + exports,
    pictures: records.filter((r) => r.kind === 'picture').length,
  };
}

async function judge(folder, browserPath) {
  const want = expectations(folder);
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
    // The data of a message is there on demand: a click on the first arrow's text.
    await page.click('#diagram-parts svg .messageText');
    const detail = await page.textContent('#detail-text');
    if (!/messageName|event|kind/.test(detail || '')) problems.push('a click on a message shows no data');
    await page.click('#detail-close');
    await page.screenshot({ path: path.join(folder, 'report-screenshot.png'), fullPage: true });
    console.log(`report: ${got.calls} calls and ${got.replies} replies drawn, ` +
      `${pictures.length} pictures loaded, first part drawn after ${firstDrawn} ms`);
  } finally {
    await browser.close();
  }
  return problems;
}

const folder = process.argv[2];
const browserPath = process.argv[3] || '/usr/bin/chromium';
if (!folder) {
  console.error('usage: node check-report.js <run folder> [browser]');
  process.exit(2);
}
judge(folder, browserPath).then((problems) => {
  problems.forEach((p) => console.error('report: ' + p));
  process.exit(problems.length ? 1 : 0);
}, (e) => {
  console.error('report: ' + (e && e.stack || e));
  process.exit(1);
});
