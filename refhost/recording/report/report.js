// The page of one run of the reference host: reads the run's JSON Lines trace
// (embedded by the host), shows the expectations, and draws the run as
// sequence diagrams, one part per stretch between two pictures. Record kinds
// this page does not know are listed with the records, never dropped.
(function () {
  'use strict';

  // Parts hold at most this many calls; above kEagerCalls in the whole run a
  // part is drawn only when it is opened, so that a long run opens at once.
  var kPartCalls = 60;
  var kEagerCalls = 300;
  var kLabelChars = 56;

  var lanes = [
    { id: 'Host', label: 'host<br/>Core', applets: ['Core'] },
    { id: 'DLL', label: 'panel DLL<br/>HalvetPanel_UI', applets: ['HalvetPanel_UI'] },
    { id: 'UIX', label: 'HTML container<br/>HEX_UIX', applets: ['HEX_UIX'] },
    { id: 'CBL', label: 'container logic<br/>Q7Container_BL', applets: ['Q7Container_BL'] },
    { id: 'PBL', label: 'panel logic<br/>HalvetPanel_BL', applets: ['HalvetPanel_BL'] }
  ];

  function readRecords() {
    var text = JSON.parse(document.getElementById('trace-data').textContent);
    var records = [], broken = 0;
    text.split('\n').forEach(function (line) {
      if (!line.trim()) return;
      try { records.push(JSON.parse(line)); } catch (e) { broken++; }
    });
    return { records: records, broken: broken };
  }

  function readPictures() {
    try { return JSON.parse(document.getElementById('picture-data').textContent); } catch (e) { return {}; }
  }

  function laneOf(applet, type) {
    if (type === 'Core') return 'Host';
    for (var i = 0; i < lanes.length; i++)
      if (lanes[i].applets.indexOf(applet) >= 0) return lanes[i].id;
    return 'Host';
  }

  // Text that the diagram language reads literally.
  function label(text) {
    text = String(text === undefined ? '' : text).replace(/[\r\n\t]+/g, ' ')
      .replace(/[;#<>{}:]/g, ' ').replace(/\s+/g, ' ').trim();
    if (text.length > kLabelChars) text = text.slice(0, kLabelChars - 1) + '\u2026';
    return text || '(empty)';
  }

  function ms(record) { return (+record.t_ms || 0).toFixed(1) + ' ms'; }

  // The calls of the run (arrows) and their replies, in trace order.
  function buildItems(records) {
    var items = [], callItems = {}, stepStart = {};
    function addCall(r, from, to, text) {
      var item = { call: true, from: from, to: to, text: text, record: r };
      callItems[r.seq] = item;
      items.push(item);
    }
    records.forEach(function (r) {
      switch (r.kind) {
        case 'step':
          stepStart[r.step] = items.length;
          items.push({ note: r.text || 'step ' + r.step + ' ' + (r.name || ''), record: r, step: r.step });
          return;
        case 'inbound':
          addCall(r, laneOf(r.sourceAppletID, r.sourceAppletID === 'Core' ? 'Core' : ''), 'DLL', r.messageName);
          return;
        case 'outbound':
          addCall(r, 'DLL', laneOf(r.targetAppletID, r.targetType), r.messageName);
          return;
        case 'callback':
          addCall(r, 'UIX', 'DLL', 'callback ' + r.event);
          return;
        case 'inbound-reply': case 'outbound-reply': case 'callback-return':
          var back = callItems[r.ref];
          if (!back) return;
          items.push({ reply: true, from: back.to, to: back.from,
                       text: r.kind === 'callback-return' ? 'returns ' + r.result : (r.reply === '' ? '(empty)' : r.reply),
                       record: r, call: false });
          return;
        case 'initialize': case 'finalize':
          // The export's record is written when it returns, after what it sent;
          // its arrow goes where its step began.
          var at = stepStart[r.step] !== undefined ? stepStart[r.step] + 1 : items.length;
          items.splice(at, 0, { call: true, from: 'Host', to: 'DLL', text: r.kind, record: r });
          Object.keys(stepStart).forEach(function (s) { if (stepStart[s] >= at && +s !== r.step) stepStart[s]++; });
          items.push({ reply: true, from: 'DLL', to: 'Host', text: 'returns ' + r.result, record: r });
          return;
        case 'picture':
          items.push({ picture: true, record: r });
          return;
      }
    });
    return items;
  }

  // Stretches between pictures, cut again where one grows past kPartCalls.
  function buildParts(items) {
    var parts = [], part = null;
    function begin() { part = { items: [], calls: 0, picture: null }; parts.push(part); }
    begin();
    items.forEach(function (item) {
      if (item.picture) { part.picture = item.record; begin(); return; }
      if (item.call && part.calls >= kPartCalls) begin();
      part.items.push(item);
      if (item.call) part.calls++;
    });
    return parts.filter(function (p) { return p.items.some(function (i) { return i.call || i.reply; }) || p.picture; });
  }

  function diagramText(part) {
    var used = {};
    part.items.forEach(function (i) { if (i.from) { used[i.from] = 1; used[i.to] = 1; } });
    var lines = ['sequenceDiagram'];
    lanes.forEach(function (l) { lines.push('  participant ' + l.id + ' as ' + l.label); });
    var clickable = [];
    part.items.forEach(function (i, at) {
      if (i.note) {
        var next = part.items[at + 1];
        if (next && (next.call || next.reply)) lines.push('  Note over Host,PBL: ' + label(i.note));
        return;
      }
      var arrow = i.call ? '->>' : '-->>';
      var text = i.call ? '[' + i.record.seq + '] ' + label(i.text) + ' \u00b7 ' + ms(i.record) : label(i.text);
      lines.push('  ' + i.from + arrow + i.to + ': ' + text);
      clickable.push(i.record);
    });
    return { text: lines.join('\n'), records: clickable };
  }

  function recordLine(r) {
    var t = ('          ' + (+r.t_ms || 0).toFixed(3)).slice(-10);
    var what = r.messageName !== undefined ? '"' + r.messageName + '" ' + (r.targetAppletID || r.targetType || '')
      : r.event !== undefined ? '"' + r.event + '"'
      : r.reply !== undefined ? 'reply to #' + r.ref + ': "' + r.reply + '"'
      : r.what !== undefined ? (r.met ? 'met ' : 'FAILED ') + r.what
      : r.kind === 'accessible' ? 'at picture #' + r.ref + ' ' + r.window + ': ' + r.roleText +
        (r.name === undefined ? '' : ' "' + r.name + '"') + ', ' + r.stateText
      : r.text !== undefined ? (r.name ? '[' + r.name + '] ' : '') + r.text
      : '';
    return '[' + t + '] #' + r.seq + ' ' + r.kind + '  ' + String(what).replace(/\s+/g, ' ');
  }

  function prettyXml(text) {
    if (typeof text !== 'string' || text.charAt(0) !== '<') return text;
    var out = [], depth = 0;
    text.replace(/>\s+</g, '><').split(/(?=<)/).forEach(function (piece) {
      if (/^<\//.test(piece)) depth = Math.max(0, depth - 1);
      var last = out.length ? out[out.length - 1] : '';
      if (/^<\//.test(piece) && /^\s*<[^\/!?][^>]*>[^<]*$/.test(last) && !/\/>$/.test(last)) {
        out[out.length - 1] = last + piece;
        return;
      }
      out.push(new Array(depth + 1).join('  ') + piece);
      if (/^<[^\/!?]/.test(piece) && !/\/>/.test(piece)) depth++;
    });
    return out.join('\n');
  }

  var replies = {};

  function detailLines(r, lines) {
    Object.keys(r).forEach(function (k) {
      var v = r[k];
      if (k === 'messageData' || k === 'payload' || k === 'reply' || (k === 'text' && /^</.test(v)))
        lines.push(k + ':\n' + prettyXml(v) + '\n');
      else lines.push(k + ': ' + (typeof v === 'string' ? v : JSON.stringify(v)));
    });
  }

  // A call shows with what answered it (the reply, the release of an owned reply).
  function showDetail(r) {
    var lines = [];
    detailLines(r, lines);
    (replies[r.seq] || []).forEach(function (answer) {
      lines.push('\n\u2500\u2500 #' + answer.seq + ' ' + answer.kind + ' \u2500\u2500');
      detailLines(answer, lines);
    });
    document.getElementById('detail-title').textContent = '#' + r.seq + ' ' + r.kind + (r.messageName ? ' ' + r.messageName : r.event ? ' ' + r.event : '');
    document.getElementById('detail-text').textContent = lines.join('\n');
    document.getElementById('detail').hidden = false;
  }

  function renderSummary(records, broken) {
    var checks = records.filter(function (r) { return r.kind === 'check'; });
    var failed = checks.filter(function (r) { return !r.met; });
    document.getElementById('checks-head').textContent = checks.length + ' expectations: ' +
      (checks.length - failed.length) + ' met, ' + failed.length + ' failed';
    document.getElementById('summary').open = failed.length > 0;
    var verdict = document.getElementById('verdict');
    verdict.textContent = failed.length ? 'FAILED' : 'passed';
    verdict.className = 'verdict ' + (failed.length ? 'failed' : 'passed');
    var list = document.getElementById('checks');
    checks.forEach(function (c) {
      var li = document.createElement('li');
      li.className = c.met ? 'met' : 'failed';
      li.textContent = (c.what || 'step ' + c.step) + (c.met || !c.why ? '' : ' \u2014 ' + c.why);
      list.appendChild(li);
    });
    if (!checks.length) list.innerHTML = '<li class="muted">no expectations in this run</li>';
    var last = records.length ? records[records.length - 1] : null;
    var kinds = {};
    records.forEach(function (r) { kinds[r.kind] = (kinds[r.kind] || 0) + 1; });
    document.getElementById('facts').textContent = records.length + ' records over ' +
      (last ? (+last.t_ms / 1000).toFixed(2) : '0') + ' s: ' + checks.length + ' expectations (' +
      (checks.length - failed.length) + ' met, ' + failed.length + ' failed); ' +
      Object.keys(kinds).map(function (k) { return kinds[k] + ' ' + k; }).join(', ') +
      (broken ? '; ' + broken + ' unreadable lines' : '');
  }

  var drawn = 0;
  function drawPart(part, holder, index) {
    if (part.drawn) return Promise.resolve();
    part.drawn = true;
    var d = diagramText(part);
    if (!d.records.length) return Promise.resolve();
    if (!window.mermaid) {
      holder.innerHTML = '<p class="error">The diagram library was not bundled into this page.</p>';
      return Promise.resolve();
    }
    return window.mermaid.render('diagram-' + index + '-' + (drawn++), d.text).then(function (result) {
      holder.innerHTML = result.svg;
      holder.querySelectorAll('.messageText').forEach(function (node, n) {
        if (d.records[n]) node.addEventListener('click', function () { showDetail(d.records[n]); });
      });
    }).catch(function (e) {
      holder.innerHTML = '<p class="error"></p>';
      holder.firstChild.textContent = 'This part could not be drawn: ' + e;
    });
  }

  function renderParts(records, pictures) {
    var parts = buildParts(buildItems(records));
    var totalCalls = parts.reduce(function (n, p) { return n + p.calls; }, 0);
    var lazy = totalCalls > kEagerCalls;
    document.getElementById('paging').textContent = parts.length + ' parts, ' + totalCalls + ' calls' +
      (lazy ? '; a part is drawn when it is opened' : '');
    var root = document.getElementById('diagram-parts');
    var pending = [];
    parts.forEach(function (part, index) {
      if (!part.items.some(function (i) { return i.call || i.reply; })) {
        if (part.picture) root.appendChild(pictureFigure(part.picture, pictures));
        return;
      }
      var box = document.createElement('details');
      box.className = 'chunk';
      box.open = !lazy || index === 0;
      var calls = part.items.filter(function (i) { return i.call; });
      var summary = document.createElement('summary');
      var first = part.items.length ? part.items[0].record : null;
      summary.textContent = 'Part ' + (index + 1) + ': ' + calls.length + ' calls' +
        (calls.length ? ' from ' + ms(calls[0].record) + ' (' + calls.slice(0, 4).map(function (c) { return c.text; }).join(', ') +
          (calls.length > 4 ? ', \u2026' : '') + ')' : '');
      box.appendChild(summary);
      var holder = document.createElement('div');
      holder.className = 'diagram';
      box.appendChild(holder);
      var recs = document.createElement('details');
      recs.innerHTML = '<summary class="muted" style="margin-left:12px">records of this part</summary>';
      var list = document.createElement('div');
      list.className = 'records';
      var lo = first ? first.seq : 0, hi = part.picture ? part.picture.seq : Infinity;
      records.forEach(function (r) {
        if (r.seq < lo || r.seq > hi) return;
        var line = document.createElement('div');
        line.textContent = recordLine(r);
        line.addEventListener('click', function () { showDetail(r); });
        list.appendChild(line);
      });
      recs.appendChild(list);
      box.appendChild(recs);
      box.addEventListener('toggle', function () { if (box.open) drawPart(part, holder, index); });
      root.appendChild(box);
      if (box.open) pending.push(drawPart(part, holder, index));
      if (part.picture) root.appendChild(pictureFigure(part.picture, pictures));
    });
    return Promise.all(pending);
  }

  function pictureFigure(record, pictures) {
    var name = String(record.text || '').replace(/(\.png).*$/, '$1');
    var fig = document.createElement('figure');
    fig.className = 'picture';
    fig.setAttribute('data-seq', record.seq);
    var cap = document.createElement('figcaption');
    cap.textContent = 'Picture #' + record.seq + ' at ' + ms(record) + ', step ' + record.step + ': ' + record.text;
    fig.appendChild(cap);
    var row = document.createElement('div');
    row.className = 'picture-row';
    if (pictures[name]) {
      var img = document.createElement('img');
      img.alt = name;
      img.src = pictures[name];
      row.appendChild(img);
    } else {
      var p = document.createElement('p');
      p.className = 'error';
      p.textContent = name + ' could not be read when this page was written';
      row.appendChild(p);
    }
    row.appendChild(accessibleTable(record));
    fig.appendChild(row);
    return fig;
  }

  // Beside a picture: what assistive technology read of each panel window
  // when it was taken.
  function accessibleTable(picture) {
    var readings = (replies[picture.seq] || []).filter(function (r) { return r.kind === 'accessible'; });
    var table = document.createElement('table');
    table.className = 'accessible';
    var caption = document.createElement('caption');
    caption.textContent = readings.length ? 'What a screen reader finds' : 'No panel window had an accessible object';
    table.appendChild(caption);
    if (!readings.length) return table;
    var head = table.insertRow();
    ['window', 'role', 'name', 'state'].forEach(function (h) {
      var th = document.createElement('th');
      th.textContent = h;
      head.appendChild(th);
    });
    readings.forEach(function (r) {
      var tr = table.insertRow();
      tr.title = '#' + r.seq;
      [r.window, r.roleText + ' (' + r.role + ')', r.name === undefined ? '(no name)' : r.name,
       r.stateText + ' (0x' + (+r.state >>> 0).toString(16) + ')'].forEach(function (text) {
        tr.insertCell().textContent = text;
      });
      tr.addEventListener('click', function () { showDetail(r); });
    });
    return table;
  }

  function start() {
    if (window.mermaid) {
      window.mermaid.initialize({
        startOnLoad: false, securityLevel: 'strict', theme: 'default',
        sequence: { mirrorActors: true, useMaxWidth: false, messageFontSize: 12, noteFontSize: 11,
                    actorFontSize: 13, messageMargin: 28, boxMargin: 6, wrap: false }
      });
    }
    var data = readRecords();
    data.records.forEach(function (r) {
      if (r.ref !== undefined) (replies[r.ref] = replies[r.ref] || []).push(r);
    });
    renderSummary(data.records, data.broken);
    document.getElementById('detail-close').addEventListener('click', function () {
      document.getElementById('detail').hidden = true;
    });
    document.getElementById('open-all').addEventListener('click', function () {
      document.querySelectorAll('details.chunk').forEach(function (d) { d.open = true; });
    });
    document.getElementById('close-all').addEventListener('click', function () {
      document.querySelectorAll('details.chunk').forEach(function (d) { d.open = false; });
    });
    renderParts(data.records, readPictures()).then(function () {
      document.body.setAttribute('data-drawn', 'yes');
    });
  }

  start();
})();
