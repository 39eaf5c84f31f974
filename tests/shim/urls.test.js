'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { loadShim, UA } = require('./harness');

test('fileURL builds file URLs: encoding, drive paths, network paths', () => {
  const { kelo } = loadShim();
  const cases = [
    ['/home/me/My Song #1?.mp3', 'file:///home/me/My%20Song%20%231%3F.mp3'],
    ['/srv/a:b/c%d.wav', 'file:///srv/a:b/c%25d.wav'],
    ['C:\\Users\\me\\a b.txt', 'file:///C:/Users/me/a%20b.txt'],
    ['d:/Music/x.flac', 'file:///d:/Music/x.flac'],
    ['\\\\server\\share\\f.wav', 'file://server/share/f.wav'],
    ['//server/share/f.wav', 'file://server/share/f.wav'],
    ['relative/dir/x.ogg', 'file:///relative/dir/x.ogg'],
    ['/back\\slash', 'file:///back%5Cslash'],
    [42, 'file:///42'],
  ];
  for (const [path, url] of cases) assert.equal(kelo.fileURL(path), url, String(path));
});

test('fileURL on macOS uses the media scheme for paths on another volume', () => {
  const at = (href) => loadShim({ userAgent: UA.mac, href }).kelo;
  const fromBoot = at('file:///Users/me/app/index.html');
  assert.equal(
    fromBoot.fileURL('/Volumes/Other/a b.wav'),
    'kelo-media://file/Volumes/Other/a%20b.wav',
  );
  assert.equal(fromBoot.fileURL('/Users/me/a b.wav'), 'file:///Users/me/a%20b.wav');
  assert.equal(fromBoot.fileURL('//server/x.wav'), 'file://server/x.wav');

  const fromOther = at('file:///Volumes/Other%20Disk/app/index.html');
  assert.equal(
    fromOther.fileURL('/Volumes/Other Disk/x.wav'),
    'file:///Volumes/Other%20Disk/x.wav',
  );
  assert.equal(fromOther.fileURL('/Volumes/Other/x.wav'), 'kelo-media://file/Volumes/Other/x.wav');
  assert.equal(fromOther.fileURL('/net/host/x'), 'kelo-media://file/net/host/x');

  // A page that is not a file, or whose path cannot be decoded, has no volume.
  const fromWeb = at('http://localhost:5173/');
  assert.equal(fromWeb.fileURL('/Users/me/a:b'), 'kelo-media://file/Users/me/a%3Ab');
  const undecodable = at('file:///Users/%E0%A4%A/index.html');
  assert.equal(undecodable.fileURL('/Users/x'), 'kelo-media://file/Users/x');
});

test('proxyURL encodes the whole target URL', () => {
  const { kelo } = loadShim();
  assert.equal(
    kelo.proxyURL('https://radio.example/a b?x=1&y=2'),
    'kelo-media://proxy/?u=https%3A%2F%2Fradio.example%2Fa%20b%3Fx%3D1%26y%3D2',
  );
});
