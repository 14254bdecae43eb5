// Keeps docs/protocol.md honest: every XML example in it carries a line
//   <!-- example: <direction> <name> [to <applet>] -->
// and must match, by its element paths, at least one message of that name
// (and target) in the traces of the reference host's scenario runs. Every
// message the DLL sent in those runs must have a heading in the reference.
//   node check-protocol.js docs/protocol.md <folder of run folders>
// Directions: inbound (host -> DLL, the message data), outbound (DLL -> an
// applet or "Core"), callback (the container's event payload), reply (the
// reply to an outbound message), initialize (the initialize document).
'use strict';
const fs = require('fs');
const path = require('path');

// Element paths of an XML text ("/a", "/a/b", ...) in the order they first
// appear, or null when its tags do not nest: names, nesting and order of the
// elements, which is what an example must keep.
function elementPaths(text) {
  const body = String(text)
    .replace(/<\?[\s\S]*?\?>/g, '')
    .replace(/<!--[\s\S]*?-->/g, '')
    .replace(/<!\[CDATA\[[\s\S]*?\]\]>/g, '');
  const stack = [];
  const paths = [];
  const tag = /<(\/?)([A-Za-z_][\w.:-]*)((?:"[^"]*"|'[^']*'|[^'">])*?)(\/?)>/g;
  let m;
  while ((m = tag.exec(body))) {
    const [, closing, name, , empty] = m;
    if (closing) {
      if (stack.pop() !== name) return null;
      continue;
    }
    stack.push(name);
    const at = '/' + stack.join('/');
    if (!paths.includes(at)) paths.push(at);
    if (empty) stack.pop();
  }
  return stack.length ? null : paths;
}

function readRuns(folder) {
  const runs = [];
  for (const name of fs.readdirSync(folder)) {
    const file = path.join(folder, name, 'trace.jsonl');
    if (!fs.existsSync(file)) continue;
    const records = fs.readFileSync(file, 'utf8').split('\n').filter((l) => l.trim())
      .map((l) => { try { return JSON.parse(l); } catch (e) { return null; } })
      .filter(Boolean);
    runs.push({ name, records });
  }
  return runs;
}

// The texts a marker stands for, from every run.
function samples(runs, marker) {
  const out = [];
  for (const run of runs) {
    const bySeq = new Map(run.records.map((r) => [r.seq, r]));
    for (const r of run.records) {
      const target = r.targetType === 'Core' ? 'Core' : r.targetAppletID;
      const matchesTarget = !marker.to || marker.to === target;
      switch (marker.direction) {
        case 'inbound':
          if (r.kind === 'inbound' && r.messageName === marker.name) out.push(r.messageData);
          break;
        case 'outbound':
          if (r.kind === 'outbound' && r.messageName === marker.name && matchesTarget) out.push(r.messageData);
          break;
        case 'callback':
          if (r.kind === 'callback' && r.event === marker.name) out.push(r.payload);
          break;
        case 'reply': {
          const call = bySeq.get(r.ref);
          if ((r.kind === 'outbound-reply' || r.kind === 'inbound-reply') && call &&
              call.messageName === marker.name) out.push(r.reply);
          break;
        }
        case 'initialize':
          if (r.kind === 'initialize') out.push(r.text);
          break;
      }
    }
  }
  return out;
}

function examples(markdown) {
  const lines = markdown.split('\n');
  const found = [];
  const problems = [];
  for (let i = 0; i < lines.length; i++) {
    if (!/^```xml\s*$/.test(lines[i])) continue;
    let j = i + 1;
    while (j < lines.length && !/^```\s*$/.test(lines[j])) j++;
    const text = lines.slice(i + 1, j).join('\n');
    let k = i - 1;
    while (k >= 0 && !lines[k].trim()) k--;
    const m = k >= 0 && /^<!-- example: (inbound|outbound|callback|reply|initialize)(?: (\S+))?(?: to (\S+))? -->$/.exec(lines[k].trim());
    if (!m) problems.push(`line ${i + 1}: an XML example without an "<!-- example: ... -->" line before it`);
    else found.push({ line: i + 1, direction: m[1], name: m[2] || '', to: m[3] || '', text });
    i = j;
  }
  return { found, problems };
}

function same(a, b) {
  return a.join(' ') === b.join(' ');
}

function check(markdown, runs) {
  const { found, problems } = examples(markdown);
  for (const ex of found) {
    const what = `line ${ex.line}: ${ex.direction} ${ex.name}${ex.to ? ' to ' + ex.to : ''}`;
    const mine = elementPaths(ex.text);
    if (!mine) { problems.push(`${what}: the example's elements do not nest`); continue; }
    const seen = samples(runs, ex).map(elementPaths).filter(Boolean);
    if (!seen.length) { problems.push(`${what}: no run has such a message any more`); continue; }
    if (!seen.some((p) => same(p, mine)))
      problems.push(`${what}: the example has ${mine.join(' ')}; the runs have ` +
        [...new Set(seen.map((p) => p.join(' ')))].join(' | '));
  }
  // Every message the DLL sent has its own heading (relays of a container
  // event carry the event's name, which its heading covers).
  const headings = markdown.split('\n').filter((l) => /^#{2,4} /.test(l)).join('\n');
  const events = new Set();
  const sent = new Set();
  for (const run of runs)
    for (const r of run.records) {
      if (r.kind === 'callback') events.add(r.event);
      if (r.kind === 'outbound') sent.add(r.messageName);
    }
  for (const name of sent)
    if (!events.has(name) && !headings.includes('"' + name + '"'))
      problems.push(`the DLL sends "${name}", which has no heading in the reference`);
  return { problems, count: found.length };
}

if (require.main === module) {
  const [doc, folder] = process.argv.slice(2);
  if (!doc || !folder) {
    console.error('usage: node check-protocol.js <protocol.md> <folder of run folders>');
    process.exit(2);
  }
  const runs = readRuns(folder);
  if (!runs.length) {
    console.error(`protocol: no trace.jsonl below ${folder}`);
    process.exit(1);
  }
  const { problems, count } = check(fs.readFileSync(doc, 'utf8'), runs);
  problems.forEach((p) => console.error('protocol: ' + p));
  console.log(`protocol: ${count} examples checked against ${runs.length} runs, ${problems.length} problems`);
  process.exit(problems.length ? 1 : 0);
}

module.exports = { elementPaths, check };
