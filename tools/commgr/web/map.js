// The map around the aircraft, north up: a grid of its own (no tiles from
// anywhere), range rings, the aircraft's own track, and the traffic of the
// traffic messages at their positions and headings, with their idents.

import { el, clear, clip } from "./svg.js";

const SIZE = 460;
const CENTRE = SIZE / 2;
const RADIUS = 210;  // pixels of the whole range
const GROUND_IDENTS_RANGE = 10;  // NM

export function makeMap(svg) {
  el("rect", { x: 0, y: 0, width: SIZE, height: SIZE, fill: "#0b0f14" }, svg);
  const inside = el("g", { "clip-path": clip(svg, "map-clip", 0, 0, SIZE, SIZE) }, svg);
  return {
    svg,
    grid: el("g", {}, inside),
    track: el("polyline", { class: "track", points: "" }, inside),
    traffic: el("g", { id: "map-traffic" }, inside),
    own: el("g", {}, inside),
    range: 20,
    points: [],
    trackCount: 0,
  };
}

// Nautical miles east and north of the centre, for short distances.
function project(centre, latitude, longitude, range) {
  const east = (longitude - centre.longitude) * 60 * Math.cos((centre.latitude * Math.PI) / 180);
  const north = (latitude - centre.latitude) * 60;
  const scale = RADIUS / range;
  return [CENTRE + east * scale, CENTRE - north * scale];
}

function minutesText(degrees, positive, negative) {
  const sign = degrees < 0 ? negative : positive;
  const whole = Math.abs(degrees);
  let d = Math.floor(whole + 1e-9);
  let m = Math.round((whole - d) * 60);
  if (m === 60) { d += 1; m = 0; }
  return `${d}°${String(m).padStart(2, "0")}'${sign}`;
}

function drawGrid(map, centre) {
  clear(map.grid);
  const range = map.range;
  // Lines every so many minutes of arc, a few across the map.
  const minutes = range <= 5 ? 2 : range <= 10 ? 5 : range <= 20 ? 10 : range <= 40 ? 20 : 30;
  const step = minutes / 60;
  const spanLat = (range * 1.2) / 60;
  const spanLon = spanLat / Math.max(0.1, Math.cos((centre.latitude * Math.PI) / 180));
  for (let lat = Math.ceil((centre.latitude - spanLat) / step) * step; lat <= centre.latitude + spanLat; lat += step) {
    const [, y] = project(centre, lat, centre.longitude, range);
    el("line", { x1: 0, y1: y, x2: SIZE, y2: y, class: "grid" }, map.grid);
    el("text", { x: 4, y: y - 3, class: "grid-text" }, map.grid, minutesText(lat, "N", "S"));
  }
  for (let lon = Math.ceil((centre.longitude - spanLon) / step) * step; lon <= centre.longitude + spanLon; lon += step) {
    const [x] = project(centre, centre.latitude, lon, range);
    el("line", { x1: x, y1: 0, x2: x, y2: SIZE, class: "grid" }, map.grid);
    el("text", { x: x + 3, y: SIZE - 4, class: "grid-text" }, map.grid, minutesText(lon, "E", "W"));
  }
  for (const fraction of [0.5, 1]) {
    el("circle", { cx: CENTRE, cy: CENTRE, r: RADIUS * fraction, class: "ring" }, map.grid);
    el("text", { x: CENTRE + 4, y: CENTRE - RADIUS * fraction - 3, class: "ring-text" }, map.grid, `${range * fraction} NM`);
  }
  el("text", { x: SIZE - 14, y: 18, class: "grid-text", "font-size": 13 }, map.grid, "N");
}

// Airborne traffic as arrowheads, ground traffic as small squares, each
// turned to its heading, with its ident (and for airborne traffic its
// height above or below the aircraft, in hundreds of feet; for ground
// traffic from 10 NM in, else as the square's tooltip).
function drawTraffic(map, centre, air, ground, ownAltitude) {
  clear(map.traffic);
  const draw = (list, kind) => {
    for (const aircraft of list) {
      const [x, y] = project(centre, aircraft.latitude, aircraft.longitude, map.range);
      const group = el("g", { class: `traffic ${kind}`, "data-ident": aircraft.ident, "data-id": aircraft.id }, map.traffic);
      const turn = `translate(${x.toFixed(1)} ${y.toFixed(1)}) rotate(${aircraft.heading.toFixed(1)})`;
      if (kind === "air") {
        el("path", { d: "M0 -9 L6 7 L0 3 L-6 7 Z", class: "air", transform: turn }, group);
        const relative = Math.round((aircraft.altitude - ownAltitude) / 100);
        const label = `${aircraft.ident} ${relative >= 0 ? "+" : ""}${String(relative).padStart(2, "0")}`;
        el("text", { x: x + 9, y: y - 6, class: "air-text" }, group, label);
      } else {
        el("rect", { x: -3.5, y: -5, width: 7, height: 10, class: "ground", transform: turn }, group);
        // At an airport they stand close together: their idents only from near.
        if (map.range <= GROUND_IDENTS_RANGE) el("text", { x: x + 7, y: y + 12, class: "ground-text" }, group, aircraft.ident);
        else el("title", {}, group, aircraft.ident);
      }
    }
  };
  draw(ground ? ground.aircraft : [], "ground");
  draw(air ? air.aircraft : [], "air");
}

// The whole track at the first event, then each new point once.
export function addTrack(map, state) {
  if (state.wholeTrack) {
    map.points = [...state.track];
  } else if (state.trackCount > map.trackCount && state.track.length > 0) {
    map.points.push(state.track[state.track.length - 1]);
  }
  map.trackCount = state.trackCount;
  if (map.points.length > 3600) map.points.splice(0, map.points.length - 3600);
}

export function showMap(map, flight, air, ground) {
  if (!flight) return;
  const centre = { latitude: flight.latitude, longitude: flight.longitude };
  drawGrid(map, centre);
  map.track.setAttribute("points",
    map.points.map(([lat, lon]) => project(centre, lat, lon, map.range).map((v) => v.toFixed(1)).join(",")).join(" "));
  drawTraffic(map, centre, air, ground, flight.altitude);
  clear(map.own);
  el("path", { d: "M0 -12 L3 -3 L11 2 L11 4 L3 2 L2 9 L5 12 L-5 12 L-2 9 L-3 2 L-11 4 L-11 2 L-3 -3 Z", class: "own",
               transform: `translate(${CENTRE} ${CENTRE}) rotate(${flight.heading.toFixed(1)})` }, map.own);
}
