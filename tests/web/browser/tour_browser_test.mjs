// Browser test of the web tour: the demo scene exported by quillmere-cli, tour.json checked
// against its schema, the folder served from 127.0.0.1 and opened in headless Chromium.
//
//   node tour_browser_test.mjs --cli PATH --web WEBDIR --work DIR [--screenshots DIR]
//
// Exits 0 when every check passes; prints each failure and exits 1 otherwise (77: skipped,
// when Chromium or the npm packages are missing).
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const arg = (name, fallback) => {
  const i = process.argv.indexOf(name);
  return i > 0 ? process.argv[i + 1] : fallback;
};
const cli = path.resolve(arg('--cli'));
const webDir = path.resolve(arg('--web'));
const work = path.resolve(arg('--work'));
const screenshots = arg('--screenshots') && path.resolve(arg('--screenshots'));
const chromiumPath = arg('--chromium', '/usr/bin/chromium');

const failures = [];
const check = (ok, what) => {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures.push(what);
};

const require = createRequire(path.join(webDir, 'package.json'));
let chromium, Ajv;
try {
  ({ chromium } = require('playwright-core'));
  Ajv = require('ajv');
} catch (e) {
  console.log(`skipped: the npm packages of ${webDir} are not installed (${e.message})`);
  process.exit(77);
}
if (!fs.existsSync(chromiumPath)) {
  console.log(`skipped: no browser at ${chromiumPath}`);
  process.exit(77);
}

// 1. The demo scene and its export.
fs.rmSync(work, { recursive: true, force: true });
fs.mkdirSync(work, { recursive: true });
const run = (args) => {
  const r = spawnSync(cli, args, { encoding: 'utf8' });
  if (r.status !== 0) console.log(r.stdout, r.stderr);
  return r;
};
const demoDir = path.join(work, 'demo');
check(run(['demo', demoDir]).status === 0, 'quillmere-cli demo writes the demo scene');
const tourDir = path.join(work, 'tour');
const exported = run(['export-web', path.join(demoDir, 'Demo.qmp'), '-o', tourDir, '--max-width', '2048']);
check(exported.status === 0, 'quillmere-cli export-web exports the demo scene');
const lastLine = exported.stdout.trim().split('\n').pop() || '';
check(/python3 -m http\.server/.test(lastLine), `the export's last line says how to serve it: ${lastLine}`);

// A node whose media went missing is left out and listed; the rest is exported; exit status 1.
const sculpture = path.join(demoDir, 'Media', 'Sculpture.mov');
fs.renameSync(sculpture, `${sculpture}.away`);
const partial = run(['export-web', path.join(demoDir, 'Demo.qmp'), '-o', path.join(work, 'partial')]);
fs.renameSync(`${sculpture}.away`, sculpture);
check(partial.status === 1, `missing media make the export end with status 1 (${partial.status})`);
check(/left out node 004 Sculpture\.mov: media not found/.test(partial.stderr), `the missing node is listed: ${partial.stderr.trim()}`);
const partialTour = JSON.parse(fs.readFileSync(path.join(work, 'partial', 'tour.json'), 'utf8'));
check(partialTour.nodes.length === 4 && !JSON.stringify(partialTour).includes('"node-004"'),
  'the other four nodes are exported, with no link to the missing one');

// 2. tour.json against the schema kept in the repository.
const tour = JSON.parse(fs.readFileSync(path.join(tourDir, 'tour.json'), 'utf8'));
const schema = JSON.parse(fs.readFileSync(path.join(webDir, 'tour.schema.json'), 'utf8'));
const validate = new Ajv({ allErrors: true, strict: false }).compile(schema);
check(validate(tour), `tour.json follows tour.schema.json ${JSON.stringify(validate.errors || [])}`);
const byId = new Map(tour.nodes.map((n) => [n.id, n]));
for (const n of tour.nodes) {
  for (const f of [n.image, ...(n.object ? n.object.frames : []), ...(n.movie ? [n.movie.video] : [])]) {
    if (!fs.existsSync(path.join(tourDir, f))) check(false, `${n.id}: ${f} exists`);
  }
  for (const l of n.links) if (!byId.has(l.to)) check(false, `${n.id}: link to ${l.to} leads to a node of the tour`);
}
check(tour.nodes.length === 5, `all five demo nodes exported (${tour.nodes.length})`);

// A URL hot spot on the initial panorama (the demo scene has none): added to the served
// tour.json as the exporter writes them, so that the page's markers are checked too.
const urlSpot = { hotSpotId: 250, name: 'Example', url: 'https://example.org/', pan: 150, tilt: 0, yaw: 30, pitch: 0 };
byId.get(tour.initialNode).urls.push(urlSpot);
// And a custom arrival view on the first link to another panorama, as a link with its own view
// is written (yaw = maxPan - 180 - pan).
const customLink = byId.get(tour.initialNode).links.find((l) => byId.get(l.to).kind === 'panorama');
if (customLink) {
  const p = byId.get(customLink.to).panorama;
  customLink.arrival = { pan: 120, tilt: 8, fov: 40, yaw: p.maxPan - 180 - 120, pitch: 8 };
}
check(validate(tour), 'tour.json with a URL hot spot and a custom arrival view follows the schema');
fs.writeFileSync(path.join(tourDir, 'tour.json'), JSON.stringify(tour, null, 2));

// 3. A static server on 127.0.0.1.
const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.json': 'application/json',
  '.jpg': 'image/jpeg', '.png': 'image/png', '.mp4': 'video/mp4' };
const server = http.createServer((req, res) => {
  const url = decodeURIComponent(new URL(req.url, 'http://x').pathname);
  const file = path.join(tourDir, url.endsWith('/') ? `${url}index.html` : url);
  if (!file.startsWith(tourDir) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
    res.writeHead(404);
    res.end();
    return;
  }
  res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
  fs.createReadStream(file).pipe(res);
});
await new Promise((r) => server.listen(0, '127.0.0.1', r));
const base = `http://127.0.0.1:${server.address().port}/`;

// 4. Headless Chromium.
const profile = fs.mkdtempSync(path.join(work, 'profile-'));
const browser = await chromium.launchPersistentContext(profile, {
  executablePath: chromiumPath,
  headless: true,
  viewport: { width: 1024, height: 640 },
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--use-gl=angle', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
});
const consoleErrors = [];
try {
  const page = browser.pages()[0] || (await browser.newPage());
  page.on('console', (m) => { if (m.type() === 'error') consoleErrors.push(m.text()); });
  page.on('pageerror', (e) => consoleErrors.push(String(e)));
  page.on('requestfailed', (r) => consoleErrors.push(`request failed: ${r.url()}`));
  await page.goto(base, { waitUntil: 'load' });
  await page.waitForFunction(() => window.quillmereTour, null, { timeout: 30000 });
  const first = await page.evaluate(() => window.quillmereTour.ready);
  check(first === tour.initialNode, `the initial node ${tour.initialNode} is shown (${first})`);
  await page.waitForFunction(() => window.quillmereTour.viewer.state.ready && !window.quillmereTour.viewer.loader.isVisible?.(), null, { timeout: 30000 }).catch(() => {});
  await page.waitForTimeout(1500);

  // The picture is not blank: many distinct colours in the screenshot.
  const shot = await page.screenshot();
  const colours = await page.evaluate(async (b64) => {
    const img = new Image();
    img.src = `data:image/png;base64,${b64}`;
    await img.decode();
    const c = document.createElement('canvas');
    c.width = img.width;
    c.height = img.height;
    const g = c.getContext('2d');
    g.drawImage(img, 0, 0);
    const d = g.getImageData(0, 0, c.width, c.height * 0.8).data;
    const seen = new Set();
    for (let i = 0; i < d.length; i += 4 * 7) seen.add((d[i] >> 3) * 1024 + (d[i + 1] >> 3) * 32 + (d[i + 2] >> 3));
    return seen.size;
  }, shot.toString('base64'));
  check(colours > 200, `the initial panorama is drawn (${colours} distinct colours)`);
  if (screenshots) {
    fs.mkdirSync(screenshots, { recursive: true });
    fs.writeFileSync(path.join(screenshots, 'web_tour_panorama.png'), shot);
  }

  // The URL hot spot is a marker that opens its address.
  const opened = await page.evaluate((id) => {
    const marker = window.quillmereTour.markers.getMarker(id);
    return { found: !!marker, yaw: marker ? (marker.state.position.yaw * 180) / Math.PI : null };
  }, `url-${tour.initialNode}-250`).catch((e) => ({ error: String(e) }));
  check(opened.found && Math.abs(opened.yaw - 30) < 0.5, `the URL hot spot is a marker at its yaw ${JSON.stringify(opened)}`);
  const box = await page.locator('.qm-url').first().boundingBox();
  if (box) {
    // The address is answered here: the test needs no network.
    await browser.route('https://example.org/**', (route) => route.fulfill({ contentType: 'text/html', body: '<p>example</p>' }));
    const popup = browser.waitForEvent('page', { timeout: 5000 }).catch(() => null);
    await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
    const tab = await popup;
    check(!!tab && /example\.org/.test(tab.url()), `clicking the URL marker opens its address (${tab && tab.url()})`);
    if (tab) await tab.close();
  } else {
    check(false, 'the URL marker is on screen');
  }

  // Follow a link to another panorama through the viewer's API.
  const start = byId.get(tour.initialNode);
  const link = start.links.find((l) => byId.get(l.to).kind === 'panorama');
  check(!!link, 'the initial node links to a panorama');
  const result = await page.evaluate(async ({ from, link }) => {
    const t = window.quillmereTour;
    await t.follow(t.nodes.get(from), link);
    await new Promise((r) => setTimeout(r, 300));
    const pos = t.viewer.getPosition();
    return {
      node: t.virtualTour.getCurrentNode().id,
      yaw: (pos.yaw * 180) / Math.PI,
      pitch: (pos.pitch * 180) / Math.PI,
      zoom: t.viewer.getZoomLevel(),
      expectedZoom: t.zoomOfFov(link.arrival.fov),
      centre: t.map.config.center,
      body: document.body.dataset.node,
    };
  }, { from: start.id, link });
  check(result.node === link.to, `following the link reaches ${link.to} (${result.node})`);
  const yawDiff = Math.abs((((result.yaw - link.arrival.yaw) % 360) + 540) % 360 - 180);
  check(yawDiff < 1, `arrival yaw ${result.yaw.toFixed(2)} is the link's ${link.arrival.yaw}`);
  const dest = byId.get(link.to);
  const expectedPitch = Math.max(Math.min(link.arrival.pitch, 90), -90);
  check(Math.abs(result.pitch - expectedPitch) < 1, `arrival pitch ${result.pitch.toFixed(2)} is the link's ${expectedPitch}`);
  check(Math.abs(result.zoom - result.expectedZoom) < 1, `arrival zoom ${result.zoom} is the link's (${result.expectedZoom})`);
  check(result.centre && result.centre.x === dest.position.x && result.centre.y === dest.position.y,
    `the map is centred on the current node (${JSON.stringify(result.centre)} vs ${JSON.stringify(dest.position)})`);
  await page.waitForTimeout(1200);
  if (screenshots) fs.writeFileSync(path.join(screenshots, 'web_tour_after_link.png'), await page.screenshot());

  // An object node in the tour's own viewer: dragging turns it.
  const object = tour.nodes.find((n) => n.kind === 'object');
  if (object) {
    const from = tour.nodes.find((n) => n.links.some((l) => l.to === object.id));
    await page.evaluate(async ({ from, to }) => {
      const t = window.quillmereTour;
      await t.follow(t.nodes.get(from), t.nodes.get(from).links.find((l) => l.to === to));
    }, { from: from.id, to: object.id });
    const stage = page.locator('.qm-stage.qm-object');
    await stage.waitFor({ timeout: 10000 });
    const before = await stage.getAttribute('data-column');
    const box = await stage.boundingBox();
    await page.mouse.move(box.x + box.width * 0.7, box.y + box.height / 2);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width * 0.3, box.y + box.height / 2, { steps: 8 });
    await page.mouse.up();
    const after = await stage.getAttribute('data-column');
    check(before !== after, `dragging the object turns it (column ${before} -> ${after})`);
    await page.waitForTimeout(800);
    if (screenshots) fs.writeFileSync(path.join(screenshots, 'web_tour_object.png'), await page.screenshot());
  }
  check(consoleErrors.length === 0, `no console errors ${JSON.stringify(consoleErrors)}`);
} finally {
  await browser.close();
  server.close();
}

if (failures.length) {
  console.log(`${failures.length} check(s) failed`);
  process.exit(1);
}
console.log('all checks passed');
