// The web tour of a Quillmere scene: tour.json read into Photo Sphere Viewer's virtual tour,
// with URL hot spots as markers, the floor plan as the map, and small viewers of our own for
// object, still-image and movie nodes.
import { Viewer } from '@photo-sphere-viewer/core';
import { VirtualTourPlugin } from '@photo-sphere-viewer/virtual-tour-plugin';
import { MarkersPlugin } from '@photo-sphere-viewer/markers-plugin';
import { MapPlugin } from '@photo-sphere-viewer/map-plugin';

// Vertical fields of view (degrees) of zoom levels 0 and 100.
const MAX_FOV = 90;
const MIN_FOV = 10;
const rad = (d) => (d * Math.PI) / 180;
const zoomOfFov = (fov) => Math.min(100, Math.max(0, ((MAX_FOV - fov) / (MAX_FOV - MIN_FOV)) * 100));

function showError(text) {
  const box = document.getElementById('tour-error');
  box.textContent = text;
  box.hidden = false;
}

// The view to show a node in: the arrival view of the link followed, else its default view.
function viewFor(node, link) {
  const view = (link && link.arrival) || node.defaultView;
  if (node.kind !== 'panorama' || !view || view.yaw === undefined) {
    return { position: { yaw: 0, pitch: 0 }, zoom: 50 };
  }
  return { position: { yaw: rad(view.yaw), pitch: rad(view.pitch) }, zoom: zoomOfFov(view.fov) };
}

function psvNode(node) {
  const panorama = node.kind === 'panorama';
  const seen = new Set();
  const links = [];
  node.links.forEach((link, i) => {
    if (seen.has(link.to)) return; // one way to each node
    seen.add(link.to);
    links.push({
      nodeId: link.to,
      // Links of other nodes are followed from the node's own viewer; the sphere behind it
      // still wants a place for them.
      position: panorama ? { yaw: rad(link.yaw), pitch: rad(link.pitch) } : { yaw: rad(-60 + 40 * i), pitch: 0 },
      data: { hotSpotId: link.hotSpotId, arrival: link.arrival },
    });
  });
  return {
    id: node.id,
    name: node.name,
    caption: node.name,
    description: node.comment || undefined,
    panorama: panorama ? node.image : 'media/backdrop.jpg',
    panoData: panorama ? node.panorama.panoData : undefined,
    links,
    markers: panorama
      ? node.urls.map((u) => ({
          id: `url-${node.id}-${u.hotSpotId}`,
          position: { yaw: rad(u.yaw), pitch: rad(u.pitch) },
          html: '<div class="qm-url">&#x2197;</div>',
          anchor: 'center center',
          tooltip: u.name || u.url,
          data: { url: u.url },
        }))
      : [],
    map: { x: node.position.x, y: node.position.y },
    data: node,
  };
}

// The tour's viewer of object, still-image and movie nodes, over the sphere.
class NodePanel {
  constructor(container, nodes, follow) {
    this.nodes = nodes;
    this.follow = follow;
    this.root = document.createElement('div');
    this.root.className = 'qm-node';
    this.root.hidden = true;
    container.appendChild(this.root);
  }

  hide() {
    this.root.hidden = true;
    this.root.replaceChildren();
  }

  show(node) {
    this.root.replaceChildren();
    const title = document.createElement('div');
    title.className = 'qm-title';
    title.textContent = node.name;
    const stage = document.createElement('div');
    stage.className = 'qm-stage';
    this.root.append(title, stage);
    if (node.kind === 'movie') {
      const video = document.createElement('video');
      video.src = node.movie.video;
      video.poster = node.image;
      video.controls = true;
      video.playsInline = true;
      stage.appendChild(video);
    } else {
      const img = document.createElement('img');
      img.src = node.image;
      img.alt = node.name;
      img.draggable = false;
      stage.appendChild(img);
      if (node.kind === 'object') this.objectViewer(node, stage, img);
      else this.spots(node, stage, () => true);
    }
    const buttons = document.createElement('div');
    buttons.className = 'qm-links';
    const seen = new Set();
    for (const link of node.links) {
      if (seen.has(link.to)) continue;
      seen.add(link.to);
      const b = document.createElement('button');
      b.textContent = link.name || `Go to ${(this.nodes.get(link.to) || {}).name || link.to}`;
      b.addEventListener('click', () => this.follow(node, link));
      buttons.appendChild(b);
    }
    for (const u of node.urls) {
      const b = document.createElement('button');
      b.textContent = u.name || u.url;
      b.addEventListener('click', () => window.open(u.url, '_blank', 'noopener'));
      buttons.appendChild(b);
    }
    this.root.appendChild(buttons);
    this.root.hidden = false;
  }

  // Hot spots drawn over the image (in the exported image's pixels); visible(spot) filters.
  spots(node, stage, visible) {
    for (const el of stage.querySelectorAll('.qm-spot')) el.remove();
    const add = (spot, action, title) => {
      if (!spot.rect || !visible(spot)) return;
      const el = document.createElement('div');
      el.className = 'qm-spot';
      el.title = title;
      el.style.left = `${(spot.rect.left / node.width) * 100}%`;
      el.style.top = `${(spot.rect.top / node.height) * 100}%`;
      el.style.width = `${((spot.rect.right - spot.rect.left) / node.width) * 100}%`;
      el.style.height = `${((spot.rect.bottom - spot.rect.top) / node.height) * 100}%`;
      el.addEventListener('click', (e) => {
        e.stopPropagation();
        action();
      });
      stage.appendChild(el);
    };
    for (const link of node.links) add(link, () => this.follow(node, link), link.name || link.to);
    for (const u of node.urls) add(u, () => window.open(u.url, '_blank', 'noopener'), u.name || u.url);
  }

  // Drag across to turn through the columns, up and down through the rows.
  objectViewer(node, stage, img) {
    const { columns, rows, frames } = node.object;
    let column = node.object.defaultColumn;
    let row = node.object.defaultRow;
    const preload = frames.map((src) => Object.assign(new Image(), { src }));
    const hint = document.createElement('div');
    hint.className = 'qm-hint';
    hint.textContent = 'Drag to turn the object';
    stage.after(hint);
    stage.classList.add('qm-object');
    const show = () => {
      img.src = preload[row * columns + column].src;
      stage.dataset.column = column;
      stage.dataset.row = row;
      this.spots(node, stage, (s) => s.column === column && s.row === row);
    };
    let start = null;
    const stepPixels = () => Math.max(4, stage.clientWidth / Math.max(columns, 12));
    stage.addEventListener('pointerdown', (e) => {
      start = { x: e.clientX, y: e.clientY, column, row };
      stage.setPointerCapture(e.pointerId);
      stage.classList.add('qm-dragging');
    });
    stage.addEventListener('pointermove', (e) => {
      if (!start) return;
      const dc = Math.round((start.x - e.clientX) / stepPixels());
      const dr = Math.round((e.clientY - start.y) / stepPixels());
      column = (((start.column + dc) % columns) + columns) % columns;
      row = Math.min(rows - 1, Math.max(0, start.row + dr));
      show();
    });
    const end = () => {
      start = null;
      stage.classList.remove('qm-dragging');
    };
    stage.addEventListener('pointerup', end);
    stage.addEventListener('pointercancel', end);
    show();
  }
}

async function main() {
  let tour;
  try {
    const response = await fetch('tour.json');
    if (!response.ok) throw new Error(`tour.json: ${response.status}`);
    tour = await response.json();
  } catch (e) {
    showError(`The tour cannot be read (${e.message}). Serve this folder with a web server, e.g. "python3 -m http.server".`);
    return;
  }
  document.title = tour.name || 'Web tour';
  const nodes = new Map(tour.nodes.map((n) => [n.id, n]));

  const viewer = new Viewer({
    container: 'viewer',
    minFov: MIN_FOV,
    maxFov: MAX_FOV,
    defaultZoomLvl: 50,
    loadingTxt: 'Loading...',
    navbar: ['zoom', 'move', 'description', 'caption', 'fullscreen'],
    plugins: [
      MarkersPlugin,
      MapPlugin.withConfig({
        imageUrl: tour.map.image,
        size: '220px',
        defaultZoom: 100,
        shape: 'square',
        spotStyle: { size: 14, color: '#1e78e6', hoverColor: '#ffb000' },
      }),
      VirtualTourPlugin.withConfig({
        positionMode: 'manual',
        renderMode: '2d',
        nodes: tour.nodes.map(psvNode),
        startNodeId: tour.initialNode,
        preload: false,
        map: { imageUrl: tour.map.image, size: { width: tour.map.width, height: tour.map.height } },
        transitionOptions: (toNode, fromNode, fromLink) => {
          const view = viewFor(nodes.get(toNode.id), fromLink && fromLink.data);
          return {
            showLoader: true,
            effect: 'fade',
            speed: 500,
            rotation: false,
            rotateTo: view.position,
            zoomTo: view.zoom,
          };
        },
      }),
    ],
  });

  const virtualTour = viewer.getPlugin(VirtualTourPlugin);
  const markers = viewer.getPlugin(MarkersPlugin);
  const map = viewer.getPlugin(MapPlugin);

  // Follows a link of a node: the same as clicking its arrow in the sphere.
  const psvNodes = new Map();
  for (const n of tour.nodes) psvNodes.set(n.id, psvNode(n));
  const follow = (node, link) => {
    const psvLink = psvNodes.get(node.id).links.find((l) => l.nodeId === link.to) || {
      nodeId: link.to,
      position: { yaw: 0, pitch: 0 },
      data: { hotSpotId: link.hotSpotId, arrival: link.arrival },
    };
    return virtualTour.setCurrentNode(link.to, undefined, psvLink);
  };
  const panel = new NodePanel(viewer.container, nodes, follow);

  markers.addEventListener('select-marker', ({ marker }) => {
    if (marker.data && marker.data.url) window.open(marker.data.url, '_blank', 'noopener');
  });

  // A partial panorama keeps its limits: the view stays inside the band and its pan range.
  let limiting = false;
  viewer.addEventListener('position-updated', ({ position }) => {
    const current = virtualTour.getCurrentNode();
    const data = current && nodes.get(current.id);
    if (limiting || !data || data.kind !== 'panorama') return;
    const p = data.panorama;
    const deg = (r) => (r * 180) / Math.PI;
    const halfV = viewer.state.vFov / 2;
    const halfH = viewer.state.hFov / 2;
    let yaw = deg(position.yaw);
    let pitch = deg(position.pitch);
    if (yaw > 180) yaw -= 360;
    const clamp = (v, lo, hi) => (lo > hi ? (lo + hi) / 2 : Math.min(hi, Math.max(lo, v)));
    const pitch2 = clamp(pitch, p.minTilt + halfV, p.maxTilt - halfV);
    const yaw2 = p.wraps ? yaw : clamp(yaw, -180 + halfH, -180 + (p.maxPan - p.minPan) - halfH);
    if (Math.abs(pitch2 - pitch) > 0.01 || Math.abs(yaw2 - yaw) > 0.01) {
      limiting = true;
      viewer.rotate({ yaw: rad(yaw2), pitch: rad(pitch2) });
      limiting = false;
    }
  });

  let resolveReady;
  const ready = new Promise((r) => (resolveReady = r));
  virtualTour.addEventListener('node-changed', ({ node }) => {
    const data = nodes.get(node.id);
    if (data.kind === 'panorama') panel.hide();
    else panel.show(data);
    document.body.dataset.node = node.id;
    resolveReady(node.id);
  });

  // For scripts and tests: the viewer, its plugins and the tour's data.
  window.quillmereTour = { viewer, virtualTour, markers, map, tour, nodes, follow, ready, viewFor, zoomOfFov };
}

main().catch((e) => showError(`The tour cannot start: ${e.message}`));
