// The Notes app's backend. The launcher of the bundle spawns it as "tjs run entry.js" with
// KELOJS_SOCKET naming the socket to connect to; it keeps the notes in
// $XDG_DATA_HOME/org.kelojs.Notes/notes.json and drives the window, its menu bar, the tray
// item, the clipboard, notifications, find in page and the export dialog over the wire.
'use strict';

const net = require('node:net');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const APP_ID = 'org.kelojs.Notes';
const dataHome = process.env.XDG_DATA_HOME || path.join(os.homedir(), '.local', 'share');
const storePath = path.join(dataHome, APP_ID, 'notes.json');

// ---- the notes -------------------------------------------------------------------------------

let notes = [];  // [{id, text, updated}], newest first
let selected = null;
let nextId = 1;

function load() {
  try {
    const saved = JSON.parse(fs.readFileSync(storePath, 'utf8'));
    notes = Array.isArray(saved.notes) ? saved.notes : [];
  } catch (e) {
    if (e.code !== 'ENOENT') console.error('notes: cannot read ' + storePath + ': ' + e.message);
    notes = [];
  }
  nextId = notes.reduce((n, note) => Math.max(n, Number(note.id) + 1), 1);
  selected = notes.length ? notes[0].id : null;
}

// Written beside and renamed into place, so a crash never leaves half a file.
function save() {
  fs.mkdirSync(path.dirname(storePath), { recursive: true });
  fs.writeFileSync(storePath + '.part', JSON.stringify({ notes }, null, 1));
  fs.renameSync(storePath + '.part', storePath);
}

const current = () => notes.find((n) => n.id === selected) || null;
const heading = (note) => (note.text.split('\n').find((l) => l.trim()) || 'Untitled').trim();

function addNote(text) {
  const note = { id: nextId++, text, updated: Date.now() };
  notes.unshift(note);
  selected = note.id;
  changed();
}

function changed() {
  save();
  showTitle();
  emit('notes', { notes, selected });
}

// The window is titled after the note in front.
function showTitle() {
  const note = current();
  send('TITLE ' + oneLine(note ? heading(note) + ' \u2014 Notes' : 'Notes'));
}

// ---- the wire --------------------------------------------------------------------------------

let conn = null;
let nextRequest = 1;
const waiting = new Map();  // request id -> function taking the answer

function send(line) {
  conn.write(line + '\n');
}

// Free text in a wire field: backslash, line feed, tab and carriage return are escaped.
function wireEscape(text) {
  return text.replace(/[\\\n\t\r]/g, (c) => ({ '\\': '\\\\', '\n': '\\n', '\t': '\\t', '\r': '\\r' })[c]);
}

// Text in a field that is not unescaped: no tabs or line breaks.
function oneLine(text) {
  return text.replace(/[\t\r\n]+/g, ' ');
}

function emit(event, data) {
  send('EVAL ' + wireEscape('window.__emit && window.__emit(' + JSON.stringify({ event, data }) + ')'));
}

// A command that answers with "GOT <id> <json>"; `prefix` is the line up to the request id.
function ask(prefix, rest, then) {
  const id = String(nextRequest++);
  waiting.set(id, then);
  send(prefix + id + rest);
}

function notify(body) {
  send(`NOTIFY notes-${Date.now()}\tNotes\t${oneLine(body)}`);
}

function sendMenus() {
  for (const line of [
    'MENUBEGIN',
    'MENU Note',
    'ITEM new\tNew Note\tcmd+n',
    'ITEM paste\tNew Note from Clipboard\tcmd+shift+v',
    'ITEM copy\tCopy Note\tcmd+shift+c',
    'SEP',
    'ITEM find\tFind\u2026\tcmd+f',
    'ITEM export\tExport\u2026\tcmd+e',
    'SEP',
    'ITEM delete\tDelete Note\tcmd+shift+d',
    'MENUEND',
    `TRAYBEGIN \t${path.join(__dirname, 'icon.png')}\t0\tNotes\t0`,
    'ITEM new\tNew Note',
    'ITEM show\tShow Notes',
    'SEP',
    'ITEM quit\tQuit Notes',
    'TRAYEND',
  ]) send(line);
}

function choose(id) {
  const note = current();
  switch (id) {
    case 'new':
      addNote('');
      send('WINOP show');
      break;
    case 'show':
      send('WINOP show');
      break;
    case 'quit':
      send('QUIT');
      break;
    case 'paste':
      ask('GET ', ' clipboard', (clip) => {
        const text = clip && typeof clip.text === 'string' ? clip.text : '';
        if (!text.trim()) {
          notify('The clipboard holds no text.');
          return;
        }
        addNote(text);
        notify('Added a note from the clipboard.');
      });
      break;
    case 'copy':
      if (note) send('CLIPWRITE ' + wireEscape(note.text));
      break;
    case 'find':
      emit('find', {});
      break;
    case 'export':
      if (!note) break;
      ask('DLG q', ` save\tmd,txt\t${oneLine(heading(note)).replace(/[/\\]/g, '-')}.md`, (file) => {
        if (typeof file !== 'string') return;  // cancelled
        fs.writeFile(file, note.text, (err) => {
          notify(err ? 'Export failed: ' + err.message : 'Exported to ' + file);
        });
      });
      break;
    case 'delete':
      if (!note) break;
      notes = notes.filter((n) => n !== note);
      selected = notes.length ? notes[0].id : null;
      changed();
      break;
  }
}

// Page calls: every main-frame call is answered exactly once.
function onCall(callId, payload) {
  let call;
  try {
    call = JSON.parse(payload);
  } catch (e) {
    send(`RET ${callId} 1 {"error":"bad payload"}`);
    return;
  }
  const p = call.params || {};
  const ok = (value) => send(`RET ${callId} 0 ${JSON.stringify(value === undefined ? {} : value)}`);
  switch (call.method) {
    case 'notes.list':
      ok({ notes, selected });
      return;
    case 'notes.select':
      if (notes.some((n) => n.id === p.id)) {
        selected = p.id;
        changed();
      }
      ok();
      return;
    case 'notes.new':
      addNote('');
      ok({ selected });
      return;
    case 'notes.save': {
      const note = notes.find((n) => n.id === p.id);
      if (note && typeof p.text === 'string' && note.text !== p.text) {
        note.text = p.text;
        note.updated = Date.now();
        save();
        if (note.id === selected) showTitle();
      }
      ok();
      return;
    }
    case 'win.find':
      // The launcher answers the page's call itself with the matches.
      send(`FIND ${callId} ${wireEscape(String(p.term || ''))}\t${p.forward === false ? 0 : 1}\t${p.matchCase ? 1 : 0}`);
      return;
    case 'win.stopFind':
      send('STOPFIND ' + callId);
      ok();
      return;
    default:
      send(`RET ${callId} 1 ${JSON.stringify({ error: 'unknown method ' + call.method })}`);
  }
}

function onLine(line) {
  let m;
  if ((m = /^(MENU|TRAY) (.*)$/.exec(line))) {
    choose(m[2]);
  } else if (line === 'TRAYCLICK') {
    choose('show');
  } else if ((m = /^GOT (\S+) (.*)$/.exec(line))) {
    const then = waiting.get(m[1]);
    waiting.delete(m[1]);
    if (then) then(JSON.parse(m[2]));
  } else if ((m = /^OPENFILES (.*)$/.exec(line))) {
    for (const file of JSON.parse(m[1])) {
      fs.readFile(file, 'utf8', (err, text) => { if (!err) addNote(text); });
    }
  } else if ((m = /^CALL (\S+) (.*)$/.exec(line))) {
    if (m[1].includes(':s')) return;  // calls of subframes get no answer
    onCall(m[1], JSON.parse(m[2])[0]);
  }
}

load();
conn = net.createConnection(process.env.KELOJS_SOCKET, () => {
  sendMenus();
  showTitle();
});
conn.setEncoding('utf8');
let buf = '';
conn.on('data', (chunk) => {
  buf += chunk;
  let nl;
  while ((nl = buf.indexOf('\n')) >= 0) {
    const line = buf.slice(0, nl);
    buf = buf.slice(nl + 1);
    try {
      onLine(line);
    } catch (e) {
      console.error('notes: ' + e.message);
    }
  }
});
// The launcher ending the wire ends the app.
conn.on('close', () => process.exit(0));
conn.on('error', (e) => {
  console.error('notes: ' + e.message);
  process.exit(1);
});
