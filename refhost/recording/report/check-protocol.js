// Keeps docs/protocol.md honest against fresh runs of the real DLL.
// - Every XML example carries a line
//     <!-- example: <direction> <name> [to <applet>] -->
//   and must match, by its element paths, at least one message of that name
//   (and target) in the traces of the reference host's scenario runs.
// - Every message the DLL sent in those runs has a heading in the reference,
//   and every message the reference heads as sent is sent in some run (a
//   heading followed by "<!-- not in the runs: why -->" says why not).
// - The tables of values the DLL produces are checked against the runs: the
//   replies of the received messages (every message of the table accepted in
//   some run, none answered by "MethodNotFound"), the flags of the sent
//   records, the text form of handles, and the network-error states, played as
//   a state machine over each run.
//   node check-protocol.js <protocol.md> --dll <HalvetPanelUI.dll> <run folder>...
// Each run folder must hold a trace.jsonl newer than the DLL and a summary.txt
// naming HalvetPanelUI.dll: runs of a stand-in DLL and folders left by earlier
// builds are refused, and so is a call without runs.
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

function parseTrace(text) {
  return text.split('\n').filter((l) => l.trim())
    .map((l) => { try { return JSON.parse(l); } catch (e) { return null; } })
    .filter(Boolean);
}

// The runs of the given folders, or the reasons they cannot be used: a run
// must be newer than the DLL (dllTime, ms) and be a run of HalvetPanelUI.dll.
function readRuns(folders, dllTime) {
  const runs = [];
  const problems = [];
  for (const folder of folders) {
    const trace = path.join(folder, 'trace.jsonl');
    const summary = path.join(folder, 'summary.txt');
    if (!fs.existsSync(trace) || !fs.existsSync(summary)) {
      problems.push(`${folder}: no trace.jsonl and summary.txt (did the run fail?)`);
      continue;
    }
    const stale = staleness(fs.statSync(trace).mtimeMs, dllTime, fs.readFileSync(summary, 'utf8'));
    if (stale) { problems.push(`${folder}: ${stale}`); continue; }
    runs.push({ name: path.basename(folder), records: parseTrace(fs.readFileSync(trace, 'utf8')) });
  }
  return { runs, problems };
}

// Why a run may not speak for the DLL, or '' when it may.
function staleness(traceTime, dllTime, summaryText) {
  const dll = /^DLL: (.*)$/m.exec(summaryText);
  if (!dll) return 'the summary names no DLL';
  if (!/(^|[\\/])HalvetPanelUI\.dll$/i.test(dll[1].trim())) return `a run of ${dll[1].trim()}, not of HalvetPanelUI.dll`;
  if (traceTime < dllTime) return 'the run is older than the DLL (left by an earlier build)';
  return '';
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
  problems.push(...documentedButUnseen(markdown, runs), ...replyTable(markdown, runs),
    ...flagTable(markdown, runs), ...handleTexts(runs), ...stateTable(markdown, runs));
  return { problems, count: found.length };
}

// --- Tables. -------------------------------------------------------------------

// The rows (arrays of cell texts) of the first table whose header row starts
// with the given cells, or null.
function table(markdown, header) {
  const lines = markdown.split('\n');
  const cells = (line) => line.trim().replace(/^\||\|$/g, '').split('|').map((c) => c.trim());
  for (let i = 0; i + 1 < lines.length; i++) {
    if (!lines[i].trim().startsWith('|')) continue;
    const head = cells(lines[i]);
    if (!header.every((h, k) => head[k] === h)) continue;
    const rows = [];
    for (let j = i + 2; j < lines.length && lines[j].trim().startsWith('|'); j++) rows.push(cells(lines[j]));
    return rows;
  }
  return null;
}

function quoted(text) {
  return [...String(text).matchAll(/"([^"]*)"/g)].map((m) => m[1]);
}

// The records a call caused: those between it and its answer.
function spans(run) {
  const answerOf = new Map();
  for (const r of run.records)
    if ((r.kind === 'inbound-reply' || r.kind === 'callback-return' || r.kind === 'outbound-reply') && r.ref)
      answerOf.set(r.ref, r);
  return (call) => {
    const answer = answerOf.get(call.seq);
    const end = answer ? answer.seq : Infinity;
    return { answer, inside: run.records.filter((r) => r.seq > call.seq && r.seq < end) };
  };
}

// Headings of the sent messages ('### "name" (to applet)') must each be sent
// in some run, unless the next line says why not.
function documentedButUnseen(markdown, runs) {
  const problems = [];
  const lines = markdown.split('\n');
  const sent = new Set();
  for (const run of runs) for (const r of run.records) if (r.kind === 'outbound') sent.add(r.messageName);
  lines.forEach((line, i) => {
    const m = /^#{3,4} "([^"]+)" \(to [^)]+\)/.exec(line);
    if (!m || sent.has(m[1])) return;
    if (/^<!-- not in the runs: .+ -->$/.test((lines[i + 1] || '').trim())) return;
    problems.push(`"${m[1]}" is documented as sent, but no run sends it`);
  });
  return problems;
}

// The table of received messages: each is accepted in some run, and every
// reply seen is one the row names ("(owned)" for an owned copy).
function replyTable(markdown, runs) {
  const rows = table(markdown, ['message', 'data', 'reply', 'without a view']);
  if (!rows) return ['the table of received messages (message | data | reply | without a view) is missing'];
  const problems = [];
  for (const row of rows) {
    const name = quoted(row[0])[0];
    const said = row[2] + ' ' + row[3];
    const allowed = new Set(quoted(said));
    let seen = 0;
    for (const run of runs) {
      const answerOf = spans(run);
      for (const r of run.records) {
        if (r.kind === 'log' && /is not defined/.test(r.format || '') && r.text && r.text.includes(` ${name} message`))
          problems.push(`"${name}" is documented, but the DLL has no handler for it (MethodNotFound in ${run.name})`);
        if (r.kind !== 'inbound' || r.messageName !== name) continue;
        seen++;
        const { answer } = answerOf(r);
        if (!answer) continue;
        if (answer.owned ? !/owned/.test(said) : !allowed.has(answer.reply))
          problems.push(`"${name}" answered ${answer.owned ? 'an owned copy' : JSON.stringify(answer.reply)} ` +
            `in ${run.name}; the table says: ${said}`);
      }
    }
    if (!seen) problems.push(`"${name}" is documented as received, but no run sends it to the DLL`);
  }
  return problems;
}

// The flags of every record the DLL sent, against the row that covers it:
// the row naming the message, else the relay row for a relay, else the row
// of every other message.
function flagTable(markdown, runs) {
  const rows = table(markdown, ['records the DLL sends', '`flagA`', '`flagB`', '`flagC`']);
  if (!rows) return ['the table of flags (records the DLL sends | `flagA` | ...) is missing'];
  const relayRow = rows.find((r) => /^relays/.test(r[0]));
  const otherRow = rows.find((r) => /every other/.test(r[0]));
  const problems = new Set();
  for (const run of runs) {
    const events = new Set(run.records.filter((r) => r.kind === 'callback').map((r) => r.event));
    for (const r of run.records) {
      if (r.kind !== 'outbound') continue;
      const relay = r.targetAppletID === 'HalvetPanel_BL' && (events.has(r.messageName) || r.messageName === 'HEX_NETWORK_ERROR');
      const row = rows.find((x) => x !== relayRow && quoted(x[0]).includes(r.messageName)) ||
        (relay ? relayRow : otherRow);
      if (!row) { problems.add(`no row of the flag table covers "${r.messageName}"`); continue; }
      const want = row.slice(1, 4).join(' ');
      const got = [r.flagA, r.flagB, r.flagC].join(' ');
      if (want !== got) problems.add(`"${r.messageName}" went with flags ${got}; the flag table says ${want} (${row[0]})`);
    }
  }
  return [...problems];
}

// Handles and addresses the DLL writes: "0x", lower-case digits, no leading
// zeros; the reply to "CreateView" names the same window as its parentViewPtr.
function handleTexts(runs) {
  const problems = [];
  const form = /^0x[1-9a-f][0-9a-f]*$/;
  const value = (xml, name) => { const m = new RegExp(`<${name}>([^<]*)</${name}>`).exec(xml || ''); return m && m[1]; };
  for (const run of runs) {
    const answerOf = spans(run);
    for (const r of run.records) {
      if (r.kind === 'outbound' && r.messageName === 'attachParentWindow')
        for (const name of ['parentWindowPtr', 'callbackFnPtr']) {
          const v = value(r.messageData, name);
          if (!v || !form.test(v)) problems.push(`${name} "${v}" in ${run.name} is not in the documented form`);
        }
      if (r.kind === 'inbound' && r.messageName === 'CreateView') {
        const { answer } = answerOf(r);
        const asked = value(r.messageData, 'parentViewPtr');
        if (!answer || !answer.owned || !asked) continue;
        if (!form.test(answer.reply) || BigInt(answer.reply) !== BigInt(/^0x/i.test(asked) ? asked.replace(/^0X/, '0x') : asked))
          problems.push(`"CreateView" with ${asked} answered "${answer.reply}" in ${run.name}`);
      }
    }
  }
  return problems;
}

// The network-error state table, played over each run from state 0.
const NETWORK_MESSAGES = ['GetProxyCredentials', 'setProxyCredentials', 'ShowProxyDialog',
  'HEX_NETWORK_ERROR', 'HEX_NETWORK_ERROR_RETRY'];

function stateRows(markdown) {
  const rows = table(markdown, ['state', 'event', 'what the DLL does', 'next']);
  if (!rows) return null;
  return rows.map((r) => {
    const event = r[1];
    let kind;
    if (/"CEF_ERROR"/.test(event)) {
      if (/no usable/.test(event)) kind = 'proxy-unusable';
      else if (/proxy error/.test(event)) kind = 'proxy-usable';
      else if (/any other error/.test(event)) kind = 'other';
      else kind = 'any-error';
    } else if (/"proxyCredentialsUpdated"/.test(event)) kind = 'credentials';
    else if (/"ReloadHTML" without a view/.test(event)) kind = 'reload-no-view';
    else if (/"ReloadHTML"/.test(event)) kind = 'reload';
    const sends = quoted(r[2]).filter((n) => NETWORK_MESSAGES.includes(n));
    return { text: r.join(' | '), states: (r[0].match(/\d/g) || []).map(Number), kind,
      sends, relaysOwnName: /under its own name/.test(r[2]), next: r[3] === 'unchanged' ? null : Number(r[3]) };
  });
}

function stateTable(markdown, runs) {
  const rows = stateRows(markdown);
  if (!rows) return ['the network-error state table (state | event | what the DLL does | next) is missing'];
  const problems = [];
  for (const run of runs) {
    const answerOf = spans(run);
    let state = 0;
    for (const r of run.records) {
      let kinds;
      let own = '';
      const { answer, inside } = answerOf(r);
      const out = inside.filter((x) => x.kind === 'outbound');
      if (r.kind === 'callback' && /CEF_ERROR/.test(r.event) && /^\s*</.test(r.payload || '')) {
        own = r.event;
        const proxy = /ERR_AUTH_PROXY_REQUIRED|ERR_TUNNEL_CONNECTION_FAILED/.test(r.payload);
        const ask = out.find((x) => x.messageName === 'GetProxyCredentials');
        const credentials = ask && answerOf(ask).answer;
        const usable = credentials && /<proxy-user>\s*\S[^<]*<\/proxy-user>/.test(credentials.reply) &&
          /<proxy-password>\s*\S[^<]*<\/proxy-password>/.test(credentials.reply) &&
          !/<errReason>\s*ERR_AUTH_PROXY_AUTH_ERROR\s*</.test(r.payload);
        kinds = ['any-error', proxy ? (usable ? 'proxy-usable' : 'proxy-unusable') : 'other'];
      } else if (r.kind === 'inbound' && r.messageName === 'proxyCredentialsUpdated') kinds = ['credentials'];
      else if (r.kind === 'inbound' && r.messageName === 'ReloadHTML')
        kinds = [answer && !answer.owned && answer.reply === 'Failure' ? 'reload-no-view' : 'reload'];
      else continue;
      const row = rows.find((x) => x.states.includes(state) && kinds.includes(x.kind));
      const what = `${r.kind === 'callback' ? 'event' : 'message'} "${own || r.messageName}" (${run.name}, seq ${r.seq}) in state ${state}`;
      if (!row) { problems.push(`the state table has no row for ${what}`); break; }
      const want = [...row.sends, ...(row.relaysOwnName ? [own] : [])].sort().join(', ');
      const got = out.map((x) => x.messageName)
        .filter((n) => NETWORK_MESSAGES.includes(n) || (own && n === own)).sort().join(', ');
      if (want !== got) {
        problems.push(`${what} sent [${got}]; the state table says [${want}] (${row.text})`);
        break;
      }
      if (row.next !== null) state = row.next;
    }
  }
  return problems;
}

if (require.main === module) {
  const args = process.argv.slice(2);
  const doc = args.shift();
  const dllAt = args.indexOf('--dll');
  const dll = dllAt >= 0 ? args.splice(dllAt, 2)[1] : '';
  if (!doc || !dll || !args.length) {
    console.error('usage: node check-protocol.js <protocol.md> --dll <HalvetPanelUI.dll> <run folder>...');
    process.exit(2);
  }
  if (!fs.existsSync(dll)) {
    console.error(`protocol: no DLL at ${dll}`);
    process.exit(1);
  }
  const { runs, problems: unusable } = readRuns(args, fs.statSync(dll).mtimeMs);
  unusable.forEach((p) => console.error('protocol: ' + p));
  if (unusable.length) process.exit(1);
  const { problems, count } = check(fs.readFileSync(doc, 'utf8'), runs);
  problems.forEach((p) => console.error('protocol: ' + p));
  console.log(`protocol: ${count} examples and the tables checked against ${runs.length} runs, ` +
    `${problems.length} problems`);
  process.exit(problems.length ? 1 : 0);
}

module.exports = { elementPaths, check, staleness };
