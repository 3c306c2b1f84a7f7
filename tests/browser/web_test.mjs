// commgr's web page in headless Chromium, with the demo's simstub, zemsim
// and commgr on loopback: what the page shows against what commgr decodes
// of the same messages, its controls against the items command, its update
// rate and delay measured, and the screenshot for the documents taken.
//   node web_test.mjs BIN_DIR SCREENSHOT.png
// Runs inside a network namespace of its own (tests/browser/run makes it):
// commgr listens on the fixed registration port.

import { spawn } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import puppeteer from "puppeteer-core";

const [bin, screenshot] = process.argv.slice(2);
const run = fs.mkdtempSync(path.join(os.tmpdir(), "zemsim-web-"));
const children = [];
let browser = null;
let failures = 0;
const pageLines = [];

function start(name, args, withInput = true) {
  const output = fs.openSync(path.join(run, `${name}.txt`), "w");
  const child = spawn(path.join(bin, name), args, { cwd: run, stdio: [withInput ? "pipe" : "ignore", output, output] });
  children.push(child);
  return child;
}
const output = (name) => fs.readFileSync(path.join(run, `${name}.txt`), "utf8");
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function eventually(what, condition, ms = 15000) {
  const until = Date.now() + ms;
  for (;;) {
    const value = await condition();
    if (value) return value;
    if (Date.now() > until) throw new Error(`no ${what} after ${ms} ms`);
    await sleep(50);
  }
}

function check(ok, what) {
  console.log(`${ok ? "ok  " : "FAIL"} ${what}`);
  if (!ok) failures += 1;
}

// The writes simstub printed after the given length of its output, without
// the heartbeat and the node's frame counter.
function writesAfter(mark) {
  return output("simstub").slice(mark).split("\n")
    .filter((line) => line.startsWith("write ") && !/^write 0x(7800|321[0-3]) /.test(line));
}

// commgr's lines for the message of that sequence number: its own line and
// the values line after it (the last such message: numbers repeat after 1000).
function commgrLines(kind, seq) {
  const lines = output("commgr").split("\n");
  for (let i = lines.length - 2; i >= 0; --i) {
    if (lines[i].startsWith(`recv ${kind} seq=${seq} `)) return [lines[i], lines[i + 1] || ""];
  }
  return null;
}
const field = (line, name) => (line.match(new RegExp(`(?:^| )${name}=(\\S+)`)) || [])[1];

async function shown(page) {
  return page.evaluate(() => {
    const read = (selector) => document.querySelector(selector)?.textContent;
    return {
      flightSeq: document.querySelector("#pfd").dataset.seq,
      ias: read("#pfd-ias"), altitude: read("#pfd-alt"), heading: read("#pfd-hdg"),
      radioSeq: document.querySelector("#radios").dataset.seq, com1: read("#com1-active"),
      airSeq: document.querySelector("#map").dataset.airSeq, airCount: read("#air-count"),
      apHeading: read("#ap-heading"),
    };
  });
}

// What the page shows, one moment at a time, against commgr's lines for the
// very messages the page took it from.
async function compareWithCommgr(page) {
  for (let sample = 0; sample < 5; ++sample) {
    const s = await shown(page);
    const [b3, values3] = await eventually(`commgr's block3 seq=${s.flightSeq}`, () => commgrLines("block3", s.flightSeq), 3000);
    const [b2] = await eventually(`commgr's block2 seq=${s.radioSeq}`, () => commgrLines("block2", s.radioSeq), 3000);
    const [air] = await eventually(`commgr's air traffic seq=${s.airSeq}`, () => commgrLines("air traffic", s.airSeq), 3000);
    const ias = Number(field(values3, "ias"));
    const heading = Number(field(values3, "heading"));
    const turn = Math.abs(((Number(s.heading) - heading + 540) % 360) - 180);
    check(Math.abs(Number(s.ias) - ias) <= 0.51, `airspeed ${s.ias} = commgr's ${ias} (block3 seq=${s.flightSeq})`);
    check(Number(s.altitude) === Number(field(values3, "altimeter_ft")),
          `altitude ${s.altitude} = commgr's ${field(values3, "altimeter_ft")}`);
    check(turn <= 0.51, `heading ${s.heading} = commgr's ${heading}`);
    check(s.com1 === field(b2, "com1"), `COM1 ${s.com1} = commgr's ${field(b2, "com1")} (block2 seq=${s.radioSeq})`);
    check(s.airCount === field(air, "aircraft"), `traffic ${s.airCount} = commgr's ${field(air, "aircraft")} (seq=${s.airSeq})`);
    await sleep(700);
  }
}

// A control on the page and the items command give simstub the same writes.
async function compareWithItems(page, commgr, selector, items, writeAt, restore) {
  let mark = output("simstub").length;
  await page.click(selector);
  const clicked = await eventually(`a write at ${writeAt} after ${selector}`, () => {
    const writes = writesAfter(mark);
    return writes.some((w) => w.startsWith(`write ${writeAt} `)) && writes;
  });
  await restore();
  await sleep(300);
  mark = output("simstub").length;
  commgr.stdin.write(`${items}\n`);
  const commanded = await eventually(`a write at ${writeAt} after ${items}`, () => {
    const writes = writesAfter(mark);
    return writes.some((w) => w.startsWith(`write ${writeAt} `)) && writes;
  });
  check(JSON.stringify(clicked) === JSON.stringify(commanded),
        `${selector} writes ${JSON.stringify(clicked)}, as "${items}" does: ${JSON.stringify(commanded)}`);
}

function percentile(sorted, p) {
  return sorted[Math.min(sorted.length - 1, Math.floor((p / 100) * sorted.length))];
}

async function main() {
  const simstub = start("simstub", ["--port", "0"]);
  const commgr = start("commgr", ["--port", "0", "--verbose", "--stats", "0", "--web", "127.0.0.1:0"]);
  const simPort = (await eventually("simstub serving", () => output("simstub").match(/serving on 127\.0\.0\.1:(\d+)/)))[1];
  const url = (await eventually("commgr's web page", () => output("commgr").match(/web page on (http:\S+)/)))[1];
  fs.writeFileSync(path.join(run, "ZemSim.cfg"), `ipaddress 127.0.0.1\nport ${simPort}\nsimserver 127.0.0.1:${simPort}\n`);
  start("zemsim", [], false);

  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    headless: true,
    userDataDir: path.join(run, "chromium"),
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync", "--disable-dev-shm-usage"],
  });
  const page = await browser.newPage();
  page.on("console", (message) => pageLines.push(`console ${message.type()}: ${message.text()}`));
  page.on("pageerror", (thrown) => pageLines.push(`error: ${thrown.message}`));
  page.on("requestfailed", (request) => pageLines.push(`request failed: ${request.url()}`));
  await page.setViewport({ width: 1400, height: 840 });
  await page.goto(url, { waitUntil: "load" });
  await eventually("the page showing blocks and traffic", () => shown(page).then((s) => s.flightSeq && s.radioSeq && Number(s.airCount) > 0));
  commgr.stdin.write("gate 0\n");  // the node has registered: the ground traffic comes too

  await compareWithCommgr(page);

  // COM1's swap; the heading bug's knob (one degree up), the bug set back
  // in between so that both start from the same heading.
  const before = await shown(page);
  await compareWithItems(page, commgr, "#com1-swap", "items i:79=1", "0x3123", async () => {
    await eventually("the swapped COM1 on the page", () => shown(page).then((s) => s.com1 !== before.com1));
    check(true, `COM1 swapped came back to the page: ${before.com1} -> ${(await shown(page)).com1}`);
  });
  const original = (await shown(page)).apHeading;
  await compareWithItems(page, commgr, '[data-knob="heading-1"]', "items i:100=1", "0x07CC", async () => {
    await eventually("the stepped heading bug on the page", () => shown(page).then((s) => s.apHeading !== original));
    check(true, `heading bug stepped came back to the page: ${original} -> ${(await shown(page)).apHeading}`);
    const degrees = parseInt(original, 10);
    const word = Math.trunc((degrees * 65536) / 360);
    simstub.stdin.write(`set 0x07CC ${(word & 0xff).toString(16)} ${(word >> 8).toString(16)}\n`);
    await eventually("the heading bug set back on the page", () => shown(page).then((s) => s.apHeading === original));
  });

  // A picture with the autopilot at work and the ground traffic in.
  commgr.stdin.write("items i:165=1 i:116=250 i:21=1 i:117=6000 i:53=1\n");
  await eventually("ground traffic on the page", () => page.evaluate(() => Number(document.querySelector("#ground-count").textContent) > 0), 20000);
  await page.evaluate(() => { window.cockpitMeasures.updates = 0; window.cockpitMeasures.firstAt = 0; window.cockpitMeasures.delays = []; });
  await sleep(12000);
  const measures = await page.evaluate(() => window.cockpitMeasures);
  const rate = measures.updates / ((measures.lastAt - measures.firstAt) / 1000);
  const delays = [...measures.delays].sort((a, b) => a - b);
  console.log(`figures: ${rate.toFixed(1)} updates/s; block 3 arrival at commgr to the frame that shows it: ` +
              `median ${percentile(delays, 50)} ms, 95th percentile ${percentile(delays, 95)} ms, ` +
              `most ${delays[delays.length - 1]} ms, over ${delays.length} blocks`);
  if (screenshot) {
    await page.screenshot({ path: screenshot });
    console.log(`screenshot: ${screenshot}`);
  }
}

let error = null;
try {
  await main();
} catch (caught) {
  error = caught;
}
if (browser) await browser.close().catch(() => {});
for (const child of children) child.kill();
await sleep(300);
if (error || failures > 0) {
  if (error) console.log(`FAIL ${error.message}`);
  console.log(`---- the page's console:\n${pageLines.join("\n")}`);
  for (const name of ["simstub", "commgr", "zemsim"]) {
    const file = path.join(run, `${name}.txt`);
    if (fs.existsSync(file)) {
      console.log(`---- ${name}, its last lines:`);
      console.log(fs.readFileSync(file, "utf8").split("\n").slice(-40).join("\n"));
    }
  }
}
fs.rmSync(run, { recursive: true, force: true });
console.log(error || failures > 0 ? "web page test: failed" : "web page test: passed");
process.exit(error || failures > 0 ? 1 : 0);
