// The bridge's line codec, its protocol as refhost/webview/engine/bridge/protocol.txt
// defines it, and the checks on what a page may read, kept apart from the
// engine so that they can be tested on their own.
'use strict';

const fs = require('fs');
const path = require('path');
const { NET_ERRORS } = require('./net-errors');

// The longest line either side takes (bytes, line feed excluded). A frame of
// a large page is the longest line there is, and stays well below it.
const MAX_LINE = 32 * 1024 * 1024;

// A line is fields joined by single blanks, each percent-encoded as UTF-8.
function encodeLine(fields) {
  return fields.map((f) => encodeURIComponent(f)).join(' ') + '\n';
}

function decodeLine(line) {
  return line.replace(/\r$/, '').split(' ').map((f) => {
    try {
      return decodeURIComponent(f);
    } catch (e) {
      return f;
    }
  });
}

// { '>': { verb: [field names] }, '<': { ... } } as protocol.txt defines them.
function readProtocol(file = path.join(__dirname, 'protocol.txt')) {
  const protocol = { '>': {}, '<': {} };
  for (const text of fs.readFileSync(file, 'utf8').split('\n')) {
    const match = /^([<>]) (\S+)((?: \S+)*)\s*$/.exec(text);
    if (match) protocol[match[1]][match[2]] = match[3].split(' ').filter(Boolean);
  }
  return protocol;
}

const PROTOCOL = readProtocol();

// The fields of a line of verb going in direction ('>' or '<'), each named
// field taken from values (missing ones empty).
function compose(direction, verb, values) {
  const names = PROTOCOL[direction][verb];
  if (!names) throw new Error(`no line "${direction} ${verb}"`);
  return [verb, ...names.map((name) => (values[name] === undefined ? '' : String(values[name])))];
}

// The fields of a line by name ({ verb, view, ... }); null when the
// protocol has no such line.
function named(direction, fields) {
  const names = PROTOCOL[direction][fields[0]];
  if (!names) return null;
  const out = { verb: fields[0] };
  names.forEach((name, i) => { out[name] = fields[i + 1] === undefined ? '' : fields[i + 1]; });
  return out;
}

// Collects what arrives in chunks into whole lines, keeping its scan
// position; a line longer than the limit is dropped whole (onOverlong is told).
class LineSplitter {
  constructor(onLine, onOverlong, limit = MAX_LINE) {
    this.onLine = onLine;
    this.onOverlong = onOverlong;
    this.limit = limit;
    this.parts = [];
    this.size = 0;
    this.skipping = false;
  }

  push(chunk) {
    let start = 0;
    for (let at = chunk.indexOf(10); at >= 0; at = chunk.indexOf(10, start)) {
      this.take(chunk.subarray(start, at));
      const line = Buffer.concat(this.parts).toString('latin1');
      const skipped = this.skipping;
      this.parts = [];
      this.size = 0;
      this.skipping = false;
      if (!skipped) this.onLine(line);
      start = at + 1;
    }
    this.take(chunk.subarray(start));
  }

  take(piece) {
    if (this.skipping || piece.length === 0) return;
    if (this.size + piece.length > this.limit) {
      this.skipping = true;
      this.parts = [];
      this.size = 0;
      this.onOverlong();
      return;
    }
    this.parts.push(piece);
    this.size += piece.length;
  }
}

// "C:\a\b" and "C:/a/b" become "file:///C:/a/b"; URLs stay as they are.
// Each folder and the file name are percent-encoded on their own, so that a
// "#", "%" or "?" in them stays part of the name.
function toFileUrl(name) {
  if (!/^[A-Za-z]:[\\/]/.test(name)) return name;
  const segments = name.slice(3).split(/[\\/]/).map((s) => encodeURIComponent(s));
  return 'file:///' + name.slice(0, 2) + '/' + segments.join('/');
}

// The Unix path a file URL stands for: one naming a drive letter goes
// through the host's drive table ({ c: '/prefix/drive_c', z: '/' }), one
// without is a Unix path already. ".." cannot climb out of a drive's folder
// (nor above "/"). null for any other URL, a drive the table lacks, a file
// on another machine, or a name that does not decode.
function fileUrlToUnixPath(url, drives) {
  const match = /^file:\/\/([^/?#]*)(\/[^?#]*)?/i.exec(url || '');
  if (!match || (match[1] !== '' && match[1].toLowerCase() !== 'localhost')) return null;
  let rest;
  try {
    rest = decodeURIComponent(match[2] || '/');
  } catch (e) {
    return null;
  }
  if (rest.includes('\0')) return null;
  let base = '';
  const drive = /^\/([A-Za-z]):(\/.*)?$/.exec(rest);
  if (drive) {
    const root = drives[drive[1].toLowerCase()];
    if (root === undefined) return null;
    base = root.replace(/\/+$/, '');
    rest = drive[2] || '/';
  }
  const parts = [];
  for (const part of rest.split('/')) {
    if (part === '' || part === '.') continue;
    if (part === '..') parts.pop();
    else parts.push(part);
  }
  return base + '/' + parts.join('/');
}

// The real path of a file, links resolved; null when there is none.
function realPath(unixPath) {
  try {
    return fs.realpathSync(unixPath);
  } catch (e) {
    return null;
  }
}

// Whether a file's real path lies at or below one of the folders' real paths.
function inside(real, folders) {
  return folders.some((folder) => {
    const root = realPath(folder);
    if (!root) return false;
    return real === root || real.startsWith(root.endsWith('/') ? root : root + '/');
  });
}

// What a page may read: what lies below one of the folders (its page
// folder, the bridge's own), and the files directly in sheetFolder (where the
// panel writes its stylesheets; empty for requests of other kinds). Both on
// real paths, links resolved. Returns the real path to read, or null. A file
// that does not exist in a folder it may read is let through, to fail as
// the engine fails it.
function mayRead(unixPath, { folders = [], sheetFolder = '' }) {
  if (!unixPath) return null;
  const real = realPath(unixPath);
  if (real) {
    if (inside(real, folders)) return real;
    const sheets = sheetFolder ? realPath(sheetFolder) : null;
    return sheets && path.dirname(real) === sheets ? real : null;
  }
  const parent = realPath(path.dirname(unixPath));
  if (!parent || !inside(parent, folders)) return null;
  return path.join(parent, path.basename(unixPath));
}

// Whether a path names a regular file (links followed).
function isRegularFile(unixPath) {
  try {
    return fs.statSync(unixPath).isFile();
  } catch (e) {
    return false;
  }
}

// The engine's number for one of its network error names; ERR_FAILED's for
// a name it does not have.
function netErrorCode(name) {
  return Object.prototype.hasOwnProperty.call(NET_ERRORS, name) ? NET_ERRORS[name] : NET_ERRORS.ERR_FAILED;
}

// What a navigation that failed with error e reports: the engine's own name
// for the failure ("net::ERR_..." in the message, digits included), or, when
// the engine gave none, the name of what happened: the time ran out, another
// navigation took over; ERR_FAILED only for anything else.
function navigationFailure(e, target) {
  const text = String((e && e.message) || e).split('\n')[0];
  const match = /net::(ERR_[A-Z0-9_]+)/.exec(text);
  const name = match ? match[1] : /Timeout/i.test(text) ? 'ERR_TIMED_OUT'
    : /interrupted by another navigation|frame was detached/i.test(text) ? 'ERR_ABORTED' : 'ERR_FAILED';
  return { name, reason: name, message: match ? `net::${name}` : text, url: target };
}

// { user, password } of a Basic Proxy-Authorization header, or null.
function parseBasic(header) {
  const match = /^Basic\s+(\S+)$/i.exec(header || '');
  if (!match) return null;
  const text = Buffer.from(match[1], 'base64').toString('utf8');
  const colon = text.indexOf(':');
  if (colon < 0) return null;
  return { user: text.slice(0, colon), password: text.slice(colon + 1) };
}

// Whether a proxy request ("http://host:port/..." or "host:port" of a
// tunnel) goes to exactly 127.0.0.1:port.
function isTarget(target, port) {
  const match = /^(?:([a-z]+):\/\/)?([^/:@]+)(?::(\d+))?(?:[/?#]|$)/i.exec(target || '');
  if (!match || match[2] !== '127.0.0.1') return false;
  const given = match[3] !== undefined ? Number(match[3])
    : (match[1] || '').toLowerCase() === 'http' ? 80 : (match[1] || '').toLowerCase() === 'https' ? 443 : NaN;
  return given === port;
}

module.exports = {
  MAX_LINE, PROTOCOL, LineSplitter, compose, decodeLine, encodeLine, fileUrlToUnixPath, isRegularFile,
  isTarget, mayRead, named, navigationFailure, netErrorCode, parseBasic, readProtocol, toFileUrl };
