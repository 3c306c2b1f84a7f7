// Small helpers for drawing in SVG.

const SVG = "http://www.w3.org/2000/svg";

export function el(tag, attributes = {}, parent = null, text = null) {
  const node = document.createElementNS(SVG, tag);
  for (const [name, value] of Object.entries(attributes)) node.setAttribute(name, value);
  if (text !== null) node.textContent = text;
  if (parent) parent.appendChild(node);
  return node;
}

export function clear(node) {
  while (node.firstChild) node.removeChild(node.firstChild);
}

export function clip(svg, id, x, y, width, height) {
  const defs = svg.querySelector("defs") || el("defs", {}, svg);
  const path = el("clipPath", { id }, defs);
  el("rect", { x, y, width, height }, path);
  return `url(#${id})`;
}

// A readout box with its text element.
export function readout(parent, x, y, width, height, id, className = "readout") {
  const group = el("g", {}, parent);
  el("rect", { x, y, width, height, rx: 3, class: `${className}-box` }, group);
  return el("text", { x: x + width / 2, y: y + height / 2 + 6, "text-anchor": "middle", id, class: className }, group, "—");
}
