// The primary flight display: attitude, airspeed and altitude tapes,
// vertical speed and heading, with the autopilot's bugs, drawn from the
// values of Block 3 as they came.

import { el, clear, clip, readout } from "./svg.js";

const ATT = { x: 100, y: 44, w: 220, h: 240, perDegree: 6 };
ATT.cx = ATT.x + ATT.w / 2;
ATT.cy = ATT.y + ATT.h / 2;
const SPEED = { x: 18, w: 70, perUnit: 3, step: 10, label: 20 };
const ALT = { x: 332, w: 70, perUnit: 0.24, step: 100, label: 500 };
const VS = { x: 406, w: 30, range: 2000, half: 110 };
const HDG = { x: 100, y: 312, w: 220, h: 40, perDegree: 4 };

export function makePfd(svg) {
  const parts = {};

  // Mode annunciations along the top.
  const modes = [["AP", "master"], ["FD", "flightDirector"], ["HDG", "headingHold"], ["NAV", "navHold"],
                 ["ALT", "altitudeHold"], ["SPD", "speedHold"], ["A/THR", "autothrottle"]];
  parts.modes = modes.map(([label, key], i) => [key, el("text", { x: 104 + i * 46, y: 24, class: "mode" }, svg, label)]);

  // Attitude: sky and ground move behind a fixed aircraft symbol.
  const attitudeClip = clip(svg, "att-clip", ATT.x, ATT.y, ATT.w, ATT.h);
  const attitude = el("g", { "clip-path": attitudeClip }, svg);
  parts.horizon = el("g", {}, attitude);
  el("rect", { x: ATT.cx - 600, y: ATT.cy - 1200, width: 1200, height: 1200, fill: "#2f6fb5" }, parts.horizon);
  el("rect", { x: ATT.cx - 600, y: ATT.cy, width: 1200, height: 1200, fill: "#7a4a24" }, parts.horizon);
  el("line", { x1: ATT.cx - 600, y1: ATT.cy, x2: ATT.cx + 600, y2: ATT.cy, stroke: "#ffffff", "stroke-width": 1.5 }, parts.horizon);
  for (let degrees = -30; degrees <= 30; degrees += 2.5) {
    if (degrees === 0) continue;
    const y = ATT.cy - degrees * ATT.perDegree;
    const half = degrees % 10 === 0 ? 34 : degrees % 5 === 0 ? 20 : 9;
    el("line", { x1: ATT.cx - half, y1: y, x2: ATT.cx + half, y2: y, class: "ladder" }, parts.horizon);
    if (degrees % 10 === 0) {
      el("text", { x: ATT.cx - half - 18, y: y + 4, class: "ladder-text" }, parts.horizon, Math.abs(degrees));
      el("text", { x: ATT.cx + half + 4, y: y + 4, class: "ladder-text" }, parts.horizon, Math.abs(degrees));
    }
  }
  // The bank scale, fixed, and its pointer turning with the horizon.
  const bankScale = el("g", {}, attitude);
  for (const degrees of [-60, -45, -30, -20, -10, 0, 10, 20, 30, 45, 60]) {
    const long = degrees % 30 === 0;
    el("line", { x1: ATT.cx, y1: ATT.y + 8, x2: ATT.cx, y2: ATT.y + (long ? 20 : 15), class: "tick",
                 transform: `rotate(${degrees} ${ATT.cx} ${ATT.cy})` }, bankScale);
  }
  parts.bankPointer = el("path", { d: `M${ATT.cx} ${ATT.y + 21} l-6 10 h12 z`, fill: "#ffd54f" }, attitude);
  // The aircraft.
  el("path", { d: `M${ATT.cx - 60} ${ATT.cy} h40 l10 10 l10 -10 h40`, fill: "none", stroke: "#ffd54f", "stroke-width": 4 }, svg);
  el("rect", { x: ATT.cx - 3, y: ATT.cy - 3, width: 6, height: 6, fill: "#ffd54f" }, svg);
  el("rect", { x: ATT.x, y: ATT.y, width: ATT.w, height: ATT.h, fill: "none", stroke: "#3a4656" }, svg);

  parts.speed = tape(svg, "speed-clip", SPEED);
  parts.altitude = tape(svg, "alt-clip", ALT);
  parts.ias = readout(svg, SPEED.x, ATT.cy - 15, SPEED.w, 30, "pfd-ias");
  parts.alt = readout(svg, ALT.x - 4, ATT.cy - 15, ALT.w + 4, 30, "pfd-alt");
  parts.speedBug = el("text", { x: SPEED.x + 4, y: 40, class: "bugtext", id: "pfd-speed-bug" }, svg, "—");
  parts.altitudeBug = el("text", { x: ALT.x + 2, y: 40, class: "bugtext", id: "pfd-altitude-bug" }, svg, "—");

  // Vertical speed: a needle from the right edge, its bug beside the scale.
  el("rect", { x: VS.x, y: ATT.cy - VS.half - 6, width: VS.w, height: 2 * VS.half + 12, class: "tape" }, svg);
  for (const fpm of [-2000, -1000, -500, 0, 500, 1000, 2000]) {
    const y = ATT.cy - (fpm / VS.range) * VS.half;
    el("line", { x1: VS.x, y1: y, x2: VS.x + (fpm % 1000 === 0 ? 9 : 5), y2: y, class: "tick" }, svg);
    if (fpm !== 0 && fpm % 1000 === 0) el("text", { x: VS.x + 11, y: y + 4, "font-size": 10 }, svg, Math.abs(fpm) / 1000);
  }
  parts.vsBug = el("path", { d: "M0 0 l-7 -5 v10 z", class: "bug", visibility: "hidden" }, svg);
  parts.vsNeedle = el("line", { x1: VS.x + VS.w + 30, y1: ATT.cy, x2: VS.x + 2, y2: ATT.cy, stroke: "#ffffff", "stroke-width": 2,
                                visibility: "hidden" }, svg);
  parts.vs = el("text", { x: VS.x + VS.w / 2, y: ATT.cy + VS.half + 26, "text-anchor": "middle", id: "pfd-vs" }, svg, "—");

  // Heading: a tape under the attitude with the bug, and the readout above it.
  const headingClip = clip(svg, "hdg-clip", HDG.x, HDG.y, HDG.w, HDG.h);
  el("rect", { x: HDG.x, y: HDG.y, width: HDG.w, height: HDG.h, class: "tape" }, svg);
  parts.heading = el("g", { "clip-path": headingClip }, svg);
  parts.hdg = readout(svg, ATT.cx - 30, HDG.y - 26, 60, 26, "pfd-hdg");
  parts.headingBug = el("text", { x: HDG.x, y: HDG.y + HDG.h + 20, class: "bugtext", id: "pfd-heading-bug" }, svg, "—");
  el("text", { x: HDG.x + HDG.w, y: HDG.y + HDG.h + 20, "text-anchor": "end", class: "dim", id: "pfd-position", fill: "#7b8796" },
     svg, "");
  return parts;
}

function tape(svg, id, scale) {
  const clipPath = clip(svg, id, scale.x, ATT.y, scale.w, ATT.h);
  el("rect", { x: scale.x, y: ATT.y, width: scale.w, height: ATT.h, class: "tape" }, svg);
  return el("g", { "clip-path": clipPath }, svg);
}

// The ticks and labels of a tape around `value`, with the bug at `bug`.
function drawTape(group, scale, value, bug, leftTicks) {
  clear(group);
  const span = ATT.h / 2 / scale.perUnit;
  const first = Math.ceil((value - span) / scale.step) * scale.step;
  for (let mark = first; mark <= value + span; mark += scale.step) {
    if (mark < 0 && scale === SPEED) continue;
    const y = ATT.cy - (mark - value) * scale.perUnit;
    const x = leftTicks ? scale.x : scale.x + scale.w;
    const labelled = mark % scale.label === 0;
    el("line", { x1: x, y1: y, x2: leftTicks ? x + (labelled ? 12 : 7) : x - (labelled ? 12 : 7), y2: y, class: "tick" }, group);
    if (labelled) {
      el("text", { x: leftTicks ? x + 15 : x - 15, y: y + 4, "text-anchor": leftTicks ? "start" : "end" }, group, mark);
    }
  }
  if (bug !== null) {
    const y = Math.max(ATT.y + 4, Math.min(ATT.y + ATT.h - 4, ATT.cy - (bug - value) * scale.perUnit));
    const x = leftTicks ? scale.x : scale.x + scale.w;
    el("path", { d: leftTicks ? `M${x} ${y} l8 -7 v14 z` : `M${x} ${y} l-8 -7 v14 z`, class: "bug" }, group);
  }
}

function drawHeading(group, heading, bug) {
  clear(group);
  const span = HDG.w / 2 / HDG.perDegree;
  for (let mark = Math.ceil((heading - span) / 5) * 5; mark <= heading + span; mark += 5) {
    const x = ATT.cx + (mark - heading) * HDG.perDegree;
    const labelled = mark % 10 === 0;
    el("line", { x1: x, y1: HDG.y, x2: x, y2: HDG.y + (labelled ? 12 : 7), class: "tick" }, group);
    if (labelled) {
      const shown = ((mark % 360) + 360) % 360;
      el("text", { x, y: HDG.y + 27, "text-anchor": "middle", "font-size": 11 }, group,
         String(shown / 10).padStart(2, "0"));
    }
  }
  let offset = ((bug - heading + 540) % 360) - 180;
  offset = Math.max(-span, Math.min(span, offset));
  const x = ATT.cx + offset * HDG.perDegree;
  el("path", { d: `M${x - 8} ${HDG.y} h16 v6 l-5 0 l-3 4 l-3 -4 h-5 z`, class: "bug" }, group);
}

export function threeDigits(degrees) {
  return String(((Math.round(degrees) % 360) + 360) % 360).padStart(3, "0");
}

// Block 3's values as they came (null before the first one).
export function showPfd(parts, flight) {
  if (!flight) return;
  const ap = flight.autopilot;
  for (const [key, text] of parts.modes) text.setAttribute("class", ap[key] ? "mode on" : "mode");
  parts.horizon.setAttribute("transform",
    `rotate(${-flight.bank} ${ATT.cx} ${ATT.cy}) translate(0 ${flight.pitch * ATT.perDegree})`);
  parts.bankPointer.setAttribute("transform", `rotate(${-flight.bank} ${ATT.cx} ${ATT.cy})`);
  drawTape(parts.speed, SPEED, flight.airspeed, ap.speed, false);
  drawTape(parts.altitude, ALT, flight.altitude, ap.altitude, true);
  parts.ias.textContent = Math.round(flight.airspeed);
  parts.alt.textContent = Math.round(flight.altitude);
  parts.speedBug.textContent = `${ap.speed} kt`;
  parts.altitudeBug.textContent = `${Math.round(ap.altitude)}`;
  const needle = Math.max(-1.05, Math.min(1.05, flight.verticalSpeed / VS.range)) * VS.half;
  parts.vsNeedle.setAttribute("y2", ATT.cy - needle);
  parts.vsNeedle.setAttribute("visibility", "visible");
  const bug = Math.max(-1.05, Math.min(1.05, ap.verticalSpeed / VS.range)) * VS.half;
  parts.vsBug.setAttribute("transform", `translate(${VS.x + VS.w} ${ATT.cy - bug})`);
  parts.vsBug.setAttribute("visibility", "visible");
  parts.vs.textContent = Math.round(flight.verticalSpeed);
  drawHeading(parts.heading, flight.heading, ap.heading);
  parts.hdg.textContent = threeDigits(flight.heading);
  parts.headingBug.textContent = `HDG ${threeDigits(ap.heading)}`;
}
