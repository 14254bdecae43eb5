// The bridge's line codec and the mapping of Windows file names, kept apart
// from the engine so that they can be tested on their own.
'use strict';

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

// "C:\a\b" and "C:/a/b" become "file:///C:/a/b"; URLs stay as they are.
// Each folder and the file name are percent-encoded on their own, so that a
// "#", "%" or "?" in them stays part of the name.
function toFileUrl(name) {
  if (!/^[A-Za-z]:[\\/]/.test(name)) return name;
  const segments = name.slice(3).split(/[\\/]/).map((s) => encodeURIComponent(s));
  return 'file:///' + name.slice(0, 2) + '/' + segments.join('/');
}

// The Unix path a file URL naming a drive letter stands for, through the
// host's drive table ({ c: '/prefix/drive_c', z: '/' }); null for any other
// URL, or a drive the table lacks. "..", which could climb out of a drive's
// folder, is resolved before the drive is looked up.
function fileUrlToUnixPath(url, drives) {
  const match = /^file:\/\/\/?([A-Za-z]):(\/[^?#]*)?/.exec(url);
  if (!match) return null;
  const root = drives[match[1].toLowerCase()];
  if (root === undefined) return null;
  let rest;
  try {
    rest = decodeURIComponent(match[2] || '/');
  } catch (e) {
    return null;
  }
  const parts = [];
  for (const part of rest.split('/')) {
    if (part === '' || part === '.') continue;
    if (part === '..') parts.pop();
    else parts.push(part);
  }
  const base = root.replace(/\/+$/, '');
  return base + '/' + parts.join('/');
}

// The engine's own numbers for the network errors it names.
const NET_ERRORS = {
  ERR_FAILED: -2, ERR_ABORTED: -3, ERR_FILE_NOT_FOUND: -6, ERR_TIMED_OUT: -7,
  ERR_ACCESS_DENIED: -10, ERR_BLOCKED_BY_CLIENT: -20, ERR_CONNECTION_CLOSED: -100,
  ERR_CONNECTION_RESET: -101, ERR_CONNECTION_REFUSED: -102, ERR_CONNECTION_ABORTED: -103,
  ERR_CONNECTION_FAILED: -104, ERR_NAME_NOT_RESOLVED: -105, ERR_INTERNET_DISCONNECTED: -106,
  ERR_ADDRESS_UNREACHABLE: -109, ERR_TUNNEL_CONNECTION_FAILED: -111,
  ERR_PROXY_AUTH_UNSUPPORTED: -115, ERR_PROXY_CONNECTION_FAILED: -130,
  ERR_PROXY_AUTH_REQUESTED: -127, ERR_INVALID_URL: -300, ERR_UNSAFE_PORT: -312,
  ERR_EMPTY_RESPONSE: -324, ERR_TOO_MANY_RETRIES: -375,
};

function netErrorCode(name) {
  return NET_ERRORS[name] !== undefined ? NET_ERRORS[name] : -2;
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
// tunnel) goes to 127.0.0.1.
function isLoopbackTarget(target) {
  const match = /^(?:[a-z]+:\/\/)?([^/:]+)(?::\d+)?(?:\/|$)/i.exec(target || '');
  return !!match && match[1] === '127.0.0.1';
}

module.exports = {
  isLoopbackTarget, encodeLine, decodeLine, toFileUrl, fileUrlToUnixPath, netErrorCode, parseBasic };
