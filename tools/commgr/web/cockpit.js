// commgr's web page: what commgr receives from the node, pushed by its
// event stream, and the cockpit's controls, each posted as the data message
// that commgr's items command sends. Every value shown came in a message;
// a control shows nothing of its own, only what comes back.

import { makePfd, showPfd, threeDigits } from "./pfd.js";
import { makeMap, showMap, addTrack } from "./map.js";
import { el } from "./svg.js";

const $ = (selector) => document.querySelector(selector);
const pfd = makePfd($("#pfd"));
const map = makeMap($("#map"));
let controls = {};
let state = null;

// What the page measures of itself, for whoever asks (the browser test):
// the states shown, and for each new Block 3 the time from its arrival at
// commgr to the frame that shows it.
const measured = { updates: 0, firstAt: 0, lastAt: 0, delays: [] };
window.cockpitMeasures = measured;

function text(selector, value) {
  const node = typeof selector === "string" ? $(selector) : selector;
  if (node.textContent !== String(value)) node.textContent = value;
}

// ---- The controls ----------------------------------------------------------

async function post(name, value, button) {
  const fsx = controls[name];
  if (fsx === undefined) return;
  button?.classList.add("pending");
  try {
    const response = await fetch("/change", {
      method: "POST",
      headers: { "Content-Type": "application/json" },
      body: JSON.stringify({ items: [{ fsx, value }] }),
    });
    const refusal = $("#refusal");
    refusal.hidden = response.ok;
    if (!response.ok) refusal.textContent = `change refused: ${(await response.text()).trim()}`;
  } finally {
    button?.classList.remove("pending");
  }
}

function button(parent, label, onClick, attributes = {}) {
  const node = document.createElement("button");
  node.textContent = label;
  for (const [name, value] of Object.entries(attributes)) node.setAttribute(name, value);
  node.addEventListener("click", () => onClick(node));
  parent.appendChild(node);
  return node;
}

function span(parent, className, content = "—") {
  const node = document.createElement("span");
  node.className = className;
  node.textContent = content;
  parent.appendChild(node);
  return node;
}

// COM and NAV: active, swap, standby, and the knobs that tune the active
// frequency (large: a megahertz, small: 50 kHz); NAV also its course.
// ADF: the active frequency and its knobs (100 kHz and 1 kHz).
function makeRadios() {
  for (const row of document.querySelectorAll(".radio")) {
    const radio = row.dataset.radio;
    span(row, "name", radio.toUpperCase());
    span(row, "active").id = `${radio}-active`;
    const knobs = document.createElement("span");
    if (radio.startsWith("adf")) {
      span(row, "dim", "");
      span(row, "dim", "kHz");
      const step = `${radio}Up`;
      const down = `${radio}Down`;
      button(knobs, "−100", (b) => post(down, 1000, b), { "data-knob": `${radio}-down-large` });
      button(knobs, "−1", (b) => post(down, 10, b), { "data-knob": `${radio}-down-small` });
      button(knobs, "+1", (b) => post(step, 10, b), { "data-knob": `${radio}-up-small` });
      button(knobs, "+100", (b) => post(step, 1000, b), { "data-knob": `${radio}-up-large` });
    } else {
      button(row, "⇄", (b) => post(`${radio}Swap`, 1, b), { id: `${radio}-swap`, title: "swap active and standby" });
      span(row, "standby").id = `${radio}-standby`;
      button(knobs, "−1", (b) => post(`${radio}LargeDown`, 1, b), { "data-knob": `${radio}-down-large` });
      button(knobs, "−.05", (b) => post(`${radio}SmallDown`, 1, b), { "data-knob": `${radio}-down-small` });
      button(knobs, "+.05", (b) => post(`${radio}SmallUp`, 1, b), { "data-knob": `${radio}-up-small` });
      button(knobs, "+1", (b) => post(`${radio}LargeUp`, 1, b), { "data-knob": `${radio}-up-large` });
    }
    knobs.className = "knobs";
    row.appendChild(knobs);
    if (radio.startsWith("nav")) {
      const course = document.createElement("div");
      course.className = "radio";
      span(course, "name", "CRS");
      span(course, "standby").id = `${radio}-course`;
      span(course, "", "");
      span(course, "", "");
      const courseKnobs = document.createElement("span");
      courseKnobs.className = "knobs";
      const name = `course${radio.slice(-1)}Step`;
      for (const [label, code] of [["−10", 4], ["−1", 3], ["+1", 1], ["+10", 2]]) {
        button(courseKnobs, label, (b) => post(name, code, b), { "data-knob": `${radio}-course-${code}` });
      }
      course.appendChild(courseKnobs);
      row.after(course);
    }
  }
}

// The bugs: heading, altitude and speed by the knob's step codes (1 small
// up, 2 large up, 3 small down, 4 large down); vertical speed set to the
// value shown plus or minus 100 ft/min.
const BUGS = {
  heading: { label: "HDG", control: "headingStep", steps: [["−10", 4], ["−1", 3], ["+1", 1], ["+10", 2]] },
  altitude: { label: "ALT", control: "altitudeStep", steps: [["−1000", 4], ["−100", 3], ["+100", 1], ["+1000", 2]] },
  speed: { label: "SPD", control: "speedStep", steps: [["−10", 4], ["−1", 3], ["+1", 1], ["+10", 2]] },
  verticalSpeed: { label: "V/S", control: "verticalSpeed", steps: [["−100", -100], ["+100", 100]] },
};

function makeAutopilot() {
  for (const row of document.querySelectorAll(".bugrow")) {
    const bug = BUGS[row.dataset.bug];
    span(row, "name", bug.label);
    span(row, "bugvalue").id = `ap-${row.dataset.bug}`;
    const knobs = document.createElement("span");
    knobs.className = "knobs";
    for (const [label, code] of bug.steps) {
      button(knobs, label, (b) => {
        if (row.dataset.bug !== "verticalSpeed") return post(bug.control, code, b);
        const shown = state?.flight?.autopilot.verticalSpeed;
        if (shown !== undefined) post(bug.control, shown + code, b);
      }, { "data-knob": `${row.dataset.bug}-${code}` });
    }
    row.appendChild(knobs);
  }
  // A mode button turns its mode off when it shows it on, else on.
  for (const mode of document.querySelectorAll("[data-mode]")) {
    mode.addEventListener("click", () => {
      const on = state?.flight?.autopilot[mode.dataset.mode];
      if (on !== undefined) post(mode.dataset.control, on ? 0 : 1, mode);
    });
  }
  for (const plain of document.querySelectorAll("button[data-control][data-value]")) {
    plain.addEventListener("click", () => post(plain.dataset.control, Number(plain.dataset.value), plain));
  }
  for (const range of document.querySelectorAll("[data-range]")) {
    range.addEventListener("click", () => {
      map.range = Number(range.dataset.range);
      for (const other of document.querySelectorAll("[data-range]")) other.classList.toggle("on", other === range);
      if (state) showMap(map, state.flight, state.air, state.ground);
    });
  }
}

// ---- Showing a state ---------------------------------------------------------

function showRadios(radios, flight) {
  if (radios) {
    $("#radios").dataset.seq = radios.seq;
    for (const radio of ["com1", "com2", "nav1", "nav2"]) {
      text(`#${radio}-active`, radios[radio]);
      text(`#${radio}-standby`, radios[`${radio}Standby`]);
    }
    text("#nav1-course", threeDigits(radios.course1));
    text("#nav2-course", threeDigits(radios.course2));
    text("#model", radios.model);
    $("#flaps-bar").style.width = `${Math.max(0, Math.min(1, radios.flaps)) * 100}%`;
    text("#flaps", `${Math.round(radios.flaps * 100)}%  ${radios.flapPosition}/${radios.flapPositions}`);
    text("#gear", radios.gear >= 0.999 ? "DOWN" : radios.gear <= 0.001 ? "UP" : "IN TRANSIT");
  }
  if (flight) {
    text("#adf1-active", flight.adf1);
    text("#adf2-active", flight.adf2);
  }
}

function showAutopilot(flight) {
  if (!flight) return;
  const ap = flight.autopilot;
  for (const mode of document.querySelectorAll("[data-mode]")) mode.classList.toggle("on", ap[mode.dataset.mode]);
  text("#ap-heading", `${threeDigits(ap.heading)}°`);
  text("#ap-altitude", `${Math.round(ap.altitude)} ft`);
  text("#ap-speed", `${ap.speed} kt`);
  text("#ap-verticalSpeed", `${ap.verticalSpeed} fpm`);
}

function n1Gauge(parent, index, n1, rpm, fuelFlow) {
  const box = document.createElement("div");
  box.className = "gauge";
  const svg = el("svg", { viewBox: "0 0 100 70" }, box);
  const arc = (fraction) => {
    const angle = Math.PI * (1 - Math.max(0, Math.min(1.1, fraction)));
    return [50 + 40 * Math.cos(angle), 55 - 40 * Math.sin(angle)];
  };
  const [ex, ey] = arc(1.1);
  el("path", { d: `M10 55 A40 40 0 1 1 ${ex.toFixed(1)} ${ey.toFixed(1)}`, fill: "none", stroke: "#3a4656", "stroke-width": 6 }, svg);
  const [x, y] = arc(n1 / 100);
  const large = n1 / 100 > 1 ? 1 : 0;
  el("path", { d: `M10 55 A40 40 0 ${large} 1 ${x.toFixed(1)} ${y.toFixed(1)}`, fill: "none", stroke: "#4cd97b", "stroke-width": 6 }, svg);
  el("text", { x: 50, y: 52, "text-anchor": "middle", fill: "#fff", "font-size": 16, "font-family": "DejaVu Sans Mono" }, svg,
     n1.toFixed(1));
  el("text", { x: 50, y: 67, "text-anchor": "middle", fill: "#7b8796", "font-size": 10 }, svg, `N1 ENG ${index + 1}`);
  const sub = document.createElement("div");
  sub.className = "sub";
  sub.textContent = `${Math.round(rpm)} rpm  ${Math.round(fuelFlow)} pph`;
  box.appendChild(sub);
  parent.appendChild(box);
}

function showEngines(engines) {
  if (!engines) return;
  const gauges = $("#engine-gauges");
  gauges.replaceChildren();
  if (engines.engines < 1 || engines.engines > 4) {
    span(gauges, "dim", `the aircraft reports ${engines.engines} engines`);
  } else {
    for (let i = 0; i < engines.engines; ++i) n1Gauge(gauges, i, engines.n1[i], engines.rpm[i], engines.fuelFlow[i]);
  }
  text("#fuel", `${Math.round(engines.fuelGallons)} gal`);
}

function showLink(link, now) {
  text("#node", link.registered ? `registered, takes messages at ${link.node}` : "not registered");
  text("#talking", link.talking ? "talking" : "silent");
  $("#talking").style.color = link.talking ? "var(--green)" : "var(--amber)";
  text("#since-last", link.sinceLastMs === null ? "none yet" : `${link.sinceLastMs} ms ago`);
  text("#gaps", link.sequenceGaps);
  const body = $("#rates tbody");
  body.replaceChildren();
  for (const m of link.messages) {
    const row = document.createElement("tr");
    for (const value of [m.name, m.perSecond.toFixed(1), m.count]) {
      const cell = document.createElement("td");
      cell.textContent = value;
      row.appendChild(cell);
    }
    body.appendChild(row);
  }
  const banner = $("#banner");
  const fresh = link.sinceLastMs !== null && link.sinceLastMs < 3000;
  banner.className = fresh ? "banner ok" : "banner";
  banner.textContent = fresh ? "live" : link.registered ? "the node is silent" : "waiting for the node";
}

function show(next) {
  const previous = state;
  state = next;
  addTrack(map, next);
  showPfd(pfd, next.flight);
  showMap(map, next.flight, next.air, next.ground);
  showRadios(next.radios, next.flight);
  showAutopilot(next.flight);
  showEngines(next.engines);
  showLink(next.link, next.now);
  if (next.flight) $("#pfd").dataset.seq = next.flight.seq;
  if (next.air) {
    $("#map").dataset.airSeq = next.air.seq;
    text("#air-count", next.air.aircraft.length);
  }
  if (next.ground) text("#ground-count", next.ground.aircraft.length);
  if (next.flight) {
    text("#pfd-position", `${next.flight.latitude.toFixed(4)} ${next.flight.longitude.toFixed(4)}`);
  }
  const shownAt = Date.now();
  measured.updates += 1;
  if (!measured.firstAt) measured.firstAt = shownAt;
  measured.lastAt = shownAt;
  if (next.flight && (!previous?.flight || previous.flight.seq !== next.flight.seq)) {
    const arrivedAt = next.flight.at;
    requestAnimationFrame(() => {
      measured.delays.push(Date.now() - arrivedAt);
      if (measured.delays.length > 10000) measured.delays.shift();
    });
  }
  const seconds = (measured.lastAt - measured.firstAt) / 1000;
  if (seconds > 0) text("#page-rate", `${(measured.updates / seconds).toFixed(1)} updates/s`);
}

// ---- The stream ----------------------------------------------------------------

function connect() {
  const events = new EventSource("/events");
  let watchdog = 0;
  const stale = () => {
    document.body.classList.add("stale");
    const banner = $("#banner");
    banner.className = "banner bad";
    banner.textContent = "commgr's stream is gone: the values shown are old";
  };
  events.onmessage = (event) => {
    clearTimeout(watchdog);
    watchdog = setTimeout(stale, 2000);
    document.body.classList.remove("stale");
    show(JSON.parse(event.data));
  };
  events.onerror = () => stale();
}

async function start() {
  makeRadios();
  makeAutopilot();
  const response = await fetch("/controls.json");
  controls = await response.json();
  connect();
}

start();
