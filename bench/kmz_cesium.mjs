// Loads a KMZ archive into CesiumJS in headless Chromium and prints what the
// web globe made of it: documents loaded, placemarks (entities with a
// position) and every failure (a request that failed or answered 4xx/5xx, a
// document the data source dropped, an error on the console or the page).
// Serves the archive, a page and CesiumJS itself on 127.0.0.1; every request
// to any other address is refused and counted as failed.
// Usage: node kmz_cesium.mjs MODULES ARCHIVE.kmz PROFILE_DIR PLACEMARKS [TIMEOUT_S]
//   MODULES: the node_modules folder holding cesium and playwright-core;
//   PLACEMARKS: how many the archive holds (the wait ends when all are in).
import { createServer } from 'node:http';
import { createReadStream, statSync } from 'node:fs';
import { join, normalize, extname } from 'node:path';
import { pathToFileURL } from 'node:url';

const [modules, archive, profile, placemarksArg, timeoutArg] = process.argv.slice(2);
if (!modules || !archive || !profile || !placemarksArg) {
  console.error('usage: node kmz_cesium.mjs MODULES ARCHIVE.kmz PROFILE_DIR PLACEMARKS [TIMEOUT_S]');
  process.exit(2);
}
const expectedPlacemarks = Number(placemarksArg);
const timeoutMs = Number(timeoutArg || 1200) * 1000;
const { chromium } = await import(pathToFileURL(join(modules, 'playwright-core/index.mjs')).href);
const cesiumDir = join(modules, 'cesium/Build/Cesium');

const page = `<!doctype html><html><head><meta charset="utf-8">
<script>window.CESIUM_BASE_URL = '/cesium/';</script>
<script src="/cesium/Cesium.js"></script>
</head><body></body></html>`;

const types = { '.js': 'text/javascript', '.css': 'text/css', '.json': 'application/json', '.wasm': 'application/wasm',
  '.png': 'image/png', '.jpg': 'image/jpeg', '.kmz': 'application/vnd.google-earth.kmz', '.xml': 'text/xml' };

// The page at /, the archive at /drive.kmz, CesiumJS under /cesium/; anything else is 404.
const server = createServer((req, res) => {
  const path = decodeURIComponent(new URL(req.url, 'http://127.0.0.1').pathname);
  let file = null;
  if (path === '/favicon.ico') {
    res.writeHead(204);
    res.end();
    return;
  }
  if (path === '/') {
    res.writeHead(200, { 'content-type': 'text/html' });
    res.end(page);
    return;
  }
  if (path === '/drive.kmz') file = archive;
  else if (path.startsWith('/cesium/')) {
    const rel = normalize(path.slice('/cesium/'.length));
    if (!rel.startsWith('..')) file = join(cesiumDir, rel);
  }
  try {
    if (file === null || !statSync(file).isFile()) throw new Error('no file');
  } catch {
    res.writeHead(404);
    res.end();
    return;
  }
  res.writeHead(200, { 'content-type': types[extname(file)] || 'application/octet-stream' });
  createReadStream(file).pipe(res);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const origin = `http://127.0.0.1:${server.address().port}`;

const failures = [];
const consoleErrors = [];
let context;
const deadline = setTimeout(() => {
  console.error(`kmz_cesium: no result within ${timeoutMs / 1000} s`);
  process.exit(3);
}, timeoutMs);

try {
  context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  // Nothing leaves 127.0.0.1.
  await context.route('**/*', (route) => {
    const url = route.request().url();
    if (url.startsWith(origin + '/') || url.startsWith('data:') || url.startsWith('blob:')) return route.continue();
    failures.push(`refused: ${url}`);
    return route.abort();
  });
  const tab = context.pages()[0] || await context.newPage();
  tab.on('requestfailed', (r) => {
    if (!failures.includes(`refused: ${r.url()}`)) failures.push(`failed: ${r.url()} (${r.failure()?.errorText})`);
  });
  tab.on('response', (r) => { if (r.status() >= 400) failures.push(`${r.status()}: ${r.url()}`); });
  tab.on('console', (m) => { if (m.type() === 'error') consoleErrors.push(m.text()); });
  tab.on('pageerror', (e) => consoleErrors.push(String(e)));
  await tab.goto(origin + '/');

  const result = await tab.evaluate(async (expected) => {
    // Every document the data source reads comes out of the archive as a data
    // URI; a KML one starts with "<?xml " ("PD94bWwg" in base64).
    let fetched = 0;
    const fetchBlob = Cesium.Resource.prototype.fetchBlob;
    Cesium.Resource.prototype.fetchBlob = function (...args) {
      if (/^data:[^,]*;base64,PD94bWwg/.test(this.url)) ++fetched;
      return fetchBlob.apply(this, args);
    };
    // No scene: a software-rendered globe would only slow the load down, and
    // the data source follows the links inside an archive as it loads
    // (regions and view refresh play no part there).
    const source = new Cesium.KmlDataSource();
    // A dropped document raises its error twice (once for the document, once for its link).
    const errors = new Set();
    source.errorEvent.addEventListener((_, error) => errors.add(error));
    let rootLoaded = true;
    try {
      await source.load('/drive.kmz');
    } catch {
      rootLoaded = false;
    }
    // The load resolves before the last linked documents are in (their
    // features are added in time slices): wait until every placemark the
    // archive holds is there, or until nothing new came for 30 s.
    let count = -1;
    for (let still = 0; still < 60; ) {
      const now = source.entities.values.length;
      if (source.entities.values.filter((e) => e.position !== undefined).length >= expected) break;
      still = now === count ? still + 1 : 0;
      count = now;
      await new Promise((r) => setTimeout(r, 500));
    }
    const dropped = [...errors].map((e) => String((e && e.message) || e));
    // Walk the entity tree from its roots: every placemark hangs below doc.kml's entities.
    const children = new Map();
    for (const e of source.entities.values) {
      const parent = e.parent ? e.parent.id : null;
      if (!children.has(parent)) children.set(parent, []);
      children.get(parent).push(e);
    }
    let placemarks = 0;
    const todo = [...(children.get(null) || [])];
    while (todo.length) {
      const e = todo.pop();
      if (e.position !== undefined) ++placemarks;
      todo.push(...(children.get(e.id) || []));
    }
    return { documents: (rootLoaded ? 1 : 0) + fetched - (dropped.length - (rootLoaded ? 0 : 1)), placemarks, dropped };
  }, expectedPlacemarks);
  for (const d of result.dropped) failures.push(`document dropped: ${d}`);
  console.log(JSON.stringify({ documents: result.documents, placemarks: result.placemarks, failures, consoleErrors }));
} catch (e) {
  console.error(`kmz_cesium: ${e.message || e}`);
  process.exitCode = 1;
} finally {
  clearTimeout(deadline);
  if (context) await context.close();
  server.close();
}
