-- ZemSim: a Wireshark dissector for the home-cockpit network's messages.
--
-- Drop the built zemsim.lua (build/linux/wireshark/zemsim.lua, or the one
-- in the package) into Wireshark's personal Lua plugins folder (Help >
-- About Wireshark > Folders) and restart Wireshark. It dissects UDP ports
-- 9019 (registrations), 9102 (remote data) and the node's own port (a
-- preference, 9030 by default), and any other UDP datagram that carries a
-- well-formed header of protocol version 30116 (ComMgr's data port).
--
-- Every message is a 36-byte little-endian header and a payload. The tables
-- below the marker come from the node's own source when it is built: the
-- width of each variable index, the block layouts, the record layouts.

--@TABLES@

-- Each message's type by its name: T.MSG_BLOCK_1 and so on.
for _, t in pairs(T.types) do T[t.name] = t.type end

local zemsim = Proto("zemsim", "ZemSim cockpit network")

local class_names = { [T.data_class] = "Data", [T.network_class] = "Network" }
local HEADER, BLOCK_DATA = T.header_size, T.block_data
-- The node takes datagrams of up to 499 bytes; longer ones make it restart.
local NODE_DATAGRAM_LIMIT = 500

local pf = {
  class = ProtoField.uint32("zemsim.class", "Class", base.DEC, class_names),
  type = ProtoField.uint32("zemsim.type", "Type", base.DEC),
  name = ProtoField.string("zemsim.name", "Message"),
  seq = ProtoField.uint32("zemsim.seq", "Sequence number", base.DEC),
  count = ProtoField.int32("zemsim.count", "Count", base.DEC),
  spare = ProtoField.uint32("zemsim.spare", "Spare", base.DEC),
  header_size = ProtoField.uint32("zemsim.header_size", "Header size", base.DEC),
  length = ProtoField.uint32("zemsim.length", "Length", base.DEC),
  version = ProtoField.uint32("zemsim.version", "Version", base.DEC),
  source = ProtoField.int16("zemsim.source", "Source", base.DEC, T.stations),
  destination = ProtoField.int16("zemsim.destination", "Destination", base.DEC, T.stations),
  reserved = ProtoField.bytes("zemsim.reserved", "Reserved"),
  text = ProtoField.string("zemsim.text", "Text"),
  address = ProtoField.string("zemsim.address", "Address"),
  port = ProtoField.uint32("zemsim.port", "Port", base.DEC),
  reg_one = ProtoField.uint32("zemsim.registration.one", "First number", base.DEC),
  reg_two = ProtoField.uint32("zemsim.registration.two", "Second number", base.DEC),
  level = ProtoField.uint16("zemsim.level", "Level", base.DEC),
  item = ProtoField.bytes("zemsim.item", "Item"),
  item_index = ProtoField.uint32("zemsim.item.index", "Index", base.DEC),
  item_int = ProtoField.int32("zemsim.item.int", "Integer value", base.DEC),
  item_double = ProtoField.double("zemsim.item.double", "Double value"),
  field_int = ProtoField.uint32("zemsim.field.int", "Integer field", base.DEC),
  field_double = ProtoField.double("zemsim.field.double", "Double field"),
  field_int64 = ProtoField.int64("zemsim.field.int64", "64-bit integer field", base.DEC),
  field_bytes = ProtoField.bytes("zemsim.field.bytes", "Field bytes"),
  field_offset = ProtoField.uint16("zemsim.field.offset", "Simulator offset", base.HEX),
  field_width = ProtoField.uint8("zemsim.field.width", "Width", base.DEC),
  computed = ProtoField.double("zemsim.computed", "Computed double"),
  aircraft = ProtoField.bytes("zemsim.aircraft", "Aircraft"),
  ac_id = ProtoField.uint32("zemsim.aircraft.id", "Id", base.DEC),
  ac_latitude = ProtoField.double("zemsim.aircraft.latitude", "Latitude"),
  ac_longitude = ProtoField.double("zemsim.aircraft.longitude", "Longitude"),
  ac_altitude = ProtoField.double("zemsim.aircraft.altitude", "Altitude"),
  ac_heading = ProtoField.double("zemsim.aircraft.heading", "Heading"),
  ac_speed = ProtoField.double("zemsim.aircraft.speed", "Ground speed"),
  ac_ident = ProtoField.string("zemsim.aircraft.ident", "Identifier"),
  payload = ProtoField.bytes("zemsim.payload", "Payload"),
}
zemsim.fields = pf

local ef = {
  short = ProtoExpert.new("zemsim.short", "Too short", expert.group.MALFORMED, expert.severity.ERROR),
  long = ProtoExpert.new("zemsim.long", "Too long", expert.group.MALFORMED, expert.severity.ERROR),
  size = ProtoExpert.new("zemsim.size", "Not the message's size", expert.group.MALFORMED, expert.severity.ERROR),
  version = ProtoExpert.new("zemsim.bad_version", "Not version 30116", expert.group.PROTOCOL, expert.severity.WARN),
  no_width = ProtoExpert.new("zemsim.no_width", "Index without a width", expert.group.MALFORMED, expert.severity.ERROR),
  past_end = ProtoExpert.new("zemsim.past_end", "Runs past the datagram", expert.group.MALFORMED, expert.severity.ERROR),
  text = ProtoExpert.new("zemsim.bad_text", "Unreadable text", expert.group.MALFORMED, expert.severity.ERROR),
  unknown = ProtoExpert.new("zemsim.unknown", "Unknown message", expert.group.UNDECODED, expert.severity.NOTE),
  lua = ProtoExpert.new("zemsim.failed", "Dissector failed", expert.group.MALFORMED, expert.severity.ERROR),
}
zemsim.experts = ef

zemsim.prefs.node_port = Pref.uint("Node port", 9030, "UDP port on which the node takes ComMgr's messages")

-- ---- Payloads -------------------------------------------------------------

-- The bytes of the range up to its first zero byte, and whether it had one.
local function zero_terminated(range)
  local raw = range:raw()
  local zero = raw:find("\0", 1, true)
  if zero then return raw:sub(1, zero - 1), true end
  return raw, false
end

-- A system-log text: zero-terminated inside the datagram.
local function add_log_text(tvb, tree, from)
  if tvb:len() <= from then
    tree:add_proto_expert_info(ef.text, "No text after the header")
    return
  end
  local text, terminated = zero_terminated(tvb(from))
  local item = tree:add(pf.text, tvb(from), text)
  if not terminated then item:add_proto_expert_info(ef.text, "The text has no terminating zero byte") end
end

-- The printable text of a range, or nil with an expert note.
local function payload_text(tvb, tree, from)
  if tvb:len() <= from then
    tree:add_proto_expert_info(ef.text, "No text after the header")
    return nil
  end
  local range = tvb(from)
  local text = range:raw()
  local item = tree:add(pf.text, range, text)
  if text:find("[^%g%s]") then item:add_proto_expert_info(ef.text, "The text holds unprintable bytes") end
  return text
end

local function dissect_address(tvb, tree)
  local text = payload_text(tvb, tree, HEADER)
  if not text then return "" end
  local address, port = text:match("^%s*(%S+)%s+([-+]?%d+)")
  if not address then
    tree:add_proto_expert_info(ef.text, "No address and port: the node drops this message")
    return ""
  end
  tree:add(pf.address, tvb(HEADER), address):set_generated()
  local n = tonumber(port)
  local item = tree:add(pf.port, tvb(HEADER), (n >= 0 and n <= 0xFFFFFFFF) and n or 0):set_generated()
  if not address:match("^%d+%.%d+%.%d+%.%d+$") or n < 1 or n > 65535 then
    item:add_proto_expert_info(ef.text, "Not a usable IPv4 address and port: the node drops this message")
  end
  return " " .. address .. " " .. port
end

local function dissect_registration(tvb, tree)
  local text = payload_text(tvb, tree, HEADER)
  if not text then return "" end
  local address, port, one, two = text:match("^(%S+) (%d+) (%d+) (%d+)\n$")
  if not address then
    tree:add_proto_expert_info(ef.text, "Not a registration text (address, port, 1, 1502 and a line feed)")
    return ""
  end
  local range = tvb(HEADER)
  tree:add(pf.address, range, address):set_generated()
  tree:add(pf.port, range, tonumber(port) % 4294967296):set_generated()
  tree:add(pf.reg_one, range, tonumber(one) % 4294967296):set_generated()
  tree:add(pf.reg_two, range, tonumber(two) % 4294967296):set_generated()
  return " " .. address .. " " .. port
end

local function dissect_items(tvb, tree, count)
  local len, at = tvb:len(), HEADER
  for i = 1, count do
    if at + 4 > len then
      tree:add_proto_expert_info(ef.past_end, string.format("Count says %d items; the datagram ends after %d", count, i - 1))
      return
    end
    local index = tvb(at, 4):le_uint()
    local width = T.index_widths[index]
    if not width then
      local item = tree:add_le(pf.item_index, tvb(at, 4))
      item:prepend_text(string.format("Item %d: ", i))
      item:add_proto_expert_info(ef.no_width,
        string.format("Index %d has no width in the node's map: the node stops reading here", index))
      return
    end
    if at + 4 + width > len then
      local item = tree:add(pf.item, tvb(at))
      item:add_proto_expert_info(ef.past_end, string.format("Item %d runs past the end of the datagram", i))
      return
    end
    local sub = tree:add(pf.item, tvb(at, 4 + width))
    sub:add_le(pf.item_index, tvb(at, 4))
    local value
    if width == 8 then
      value = tvb(at + 4, 8):le_float()
      sub:add_le(pf.item_double, tvb(at + 4, 8))
      sub:set_text(string.format("Item %d: index %d = %.17g (double)", i, index, value))
    else
      value = tvb(at + 4, 4):le_int()
      sub:add_le(pf.item_int, tvb(at + 4, 4))
      sub:set_text(string.format("Item %d: index %d = %d (integer)", i, index, value))
    end
    at = at + 4 + width
  end
  if at < len then tree:add(pf.payload, tvb(at)):set_text(string.format("%d bytes after the last item", len - at)) end
end

-- One field of a block or record, named by its simulator offset and width.
local function add_field(tree, tvb, field, base_at, eight_as_integer)
  local range = tvb(base_at + field.at, field.width)
  local item, shown
  if field.width == 8 and eight_as_integer then
    local value = range:le_int64()
    item, shown = tree:add_le(pf.field_int64, range), tostring(value)
  elseif field.width == 8 then
    item, shown = tree:add_le(pf.field_double, range), string.format("%.17g", range:le_float())
  elseif field.width == 1 or field.width == 2 or field.width == 4 then
    item, shown = tree:add_le(pf.field_int, range), tostring(range:le_uint())
  else
    item, shown = tree:add(pf.field_bytes, range), tostring(range:bytes())
  end
  item:set_text(string.format("Offset 0x%04X, %d bytes: %s", field.offset, field.width, shown))
  item:add(pf.field_offset, range, field.offset):set_generated()
  item:add(pf.field_width, range, field.width):set_generated()
end

local function dissect_block(tvb, tree, layout, computed)
  for _, field in ipairs(layout) do add_field(tree, tvb, field, 0, false) end
  for _, c in ipairs(computed or {}) do
    local range = tvb(c.at, 8)
    tree:add_le(pf.computed, range):set_text(string.format(
      "Computed double, V(0x%04X) x V(0x%04X) / 8388608: %.17g", c.value, c.scale, range:le_float()))
  end
end

local function dissect_traffic(tvb, tree)
  local t, shown, empty = T.traffic, 0, 0
  for r = 0, t.records - 1 do
    local at = BLOCK_DATA + r * t.size
    local id = tvb(at + t.id, 4):le_uint()
    if id == 0 then
      empty = empty + 1
    else
      shown = shown + 1
      local ident = zero_terminated(tvb(at + t.ident, t.ident_size))
      local sub = tree:add(pf.aircraft, tvb(at, t.size))
      sub:set_text(string.format("Aircraft id=%u ident=%s lat=%.4f lon=%.4f alt=%.0f hdg=%.1f gs=%.0f", id, ident,
        tvb(at + t.latitude, 8):le_float(), tvb(at + t.longitude, 8):le_float(), tvb(at + t.altitude, 8):le_float(),
        tvb(at + t.heading, 8):le_float(), tvb(at + t.speed, 8):le_float()))
      sub:add_le(pf.ac_id, tvb(at + t.id, 4))
      sub:add(pf.ac_ident, tvb(at + t.ident, t.ident_size), ident)
      sub:add_le(pf.ac_latitude, tvb(at + t.latitude, 8))
      sub:add_le(pf.ac_longitude, tvb(at + t.longitude, 8))
      sub:add_le(pf.ac_altitude, tvb(at + t.altitude, 8))
      sub:add_le(pf.ac_heading, tvb(at + t.heading, 8))
      sub:add_le(pf.ac_speed, tvb(at + t.speed, 8))
    end
  end
  tree:add(pf.payload, tvb(BLOCK_DATA)):set_text(string.format("%d aircraft, %d empty records", shown, empty))
  return string.format(" aircraft=%d", shown)
end

-- ---- The message ----------------------------------------------------------

local function dissect_header(tvb, tree)
  local h = tree:add(zemsim, tvb(0, HEADER), "Header")
  h:add_le(pf.class, tvb(0, 4))
  h:add_le(pf.type, tvb(4, 4))
  h:add_le(pf.seq, tvb(8, 4))
  h:add_le(pf.count, tvb(12, 4))
  h:add_le(pf.spare, tvb(16, 4))
  h:add_le(pf.header_size, tvb(20, 4))
  h:add_le(pf.length, tvb(24, 4))
  local version = h:add_le(pf.version, tvb(28, 4))
  if tvb(28, 4):le_uint() ~= T.version then
    version:add_proto_expert_info(ef.version, string.format("Version %d; the node takes only %d", tvb(28, 4):le_uint(), T.version))
  end
  h:add_le(pf.source, tvb(32, 2))
  h:add_le(pf.destination, tvb(34, 2))
end

local function station(id)
  return T.stations[id] or tostring(id)
end

local function dissect_message(tvb, pinfo, root)
  local len = tvb:len()
  if len < HEADER then
    root:add_proto_expert_info(ef.short, string.format("%d bytes: shorter than the %d-byte header", len, HEADER))
    pinfo.cols.info = string.format("Short datagram of %d bytes", len)
    return
  end
  dissect_header(tvb, root)
  if pinfo.dst_port == zemsim.prefs.node_port and len >= NODE_DATAGRAM_LIMIT then
    root:add_proto_expert_info(ef.long, string.format("%d bytes: the node restarts on 500 bytes or more", len))
  end
  local class, type = tvb(0, 4):le_uint(), tvb(4, 4):le_uint()
  local source, destination = tvb(32, 2):le_int(), tvb(34, 2):le_int()
  local known = T.types[class * 1000 + type]
  local name = known and known.name or string.format("class %d type %d", class, type)
  local from_node = class == T.network_class and type == T.MSG_KEEP_ALIVE and source == T.node
  if from_node then name = "MSG_KEEP_ALIVE (registration)" end
  root:add(pf.name, tvb(0, 8), name):set_generated()
  root:append_text(", " .. name)
  local info = string.format("%s seq=%d %s > %s", name, tvb(8, 4):le_uint(), station(source), station(destination))

  if not known then
    root:add_proto_expert_info(ef.unknown, "Neither the node nor ComMgr sends this message")
  elseif known.size ~= 0 and len ~= known.size then
    root:add_proto_expert_info(len < known.size and ef.short or ef.long,
      string.format("%d bytes; %s is %d", len, name, known.size))
  elseif class == T.network_class and type == T.MSG_ADR then
    info = info .. dissect_address(tvb, root)
  elseif from_node then
    info = info .. dissect_registration(tvb, root)
  elseif class == T.network_class and type == T.MSG_SYS_LOG then
    if len >= HEADER + 2 then
      root:add_le(pf.level, tvb(HEADER, 2))
      add_log_text(tvb, root, HEADER + 2)
    else
      root:add_proto_expert_info(ef.short, "No level after the header")
    end
  elseif class == T.data_class and type == T.MSG_SYSLOG_TEXT then
    add_log_text(tvb, root, HEADER)
  elseif class == T.data_class and type == T.MSG_FSX_IN then
    local count = tvb(12, 4):le_int()
    dissect_items(tvb, root, count)
    info = info .. string.format(" items=%d", count)
  elseif known.size ~= 0 then
    root:add(pf.reserved, tvb(HEADER, BLOCK_DATA - HEADER))
    if type == T.MSG_BLOCK_1 then
      dissect_block(tvb, root, T.block1, T.computed)
    elseif type == T.MSG_BLOCK_2 then
      dissect_block(tvb, root, T.block2)
    elseif type == T.MSG_BLOCK_3 then
      dissect_block(tvb, root, T.block3)
    elseif type == T.MSG_AIR_TRAFFIC or type == T.MSG_GND_TRAFFIC then
      info = info .. dissect_traffic(tvb, root)
    elseif type == T.MSG_REMOTE_DATA then
      for _, field in ipairs(T.remote) do add_field(root, tvb, field, HEADER, true) end
    end
  end
  pinfo.cols.info = info
end

function zemsim.dissector(tvb, pinfo, tree)
  pinfo.cols.protocol = "ZemSim"
  local root = tree:add(zemsim, tvb())
  -- Whatever a hostile datagram holds, it is marked, never a Lua error.
  local ok, failure = pcall(dissect_message, tvb, pinfo, root)
  if not ok then root:add_proto_expert_info(ef.lua, "Malformed: " .. tostring(failure)) end
  return tvb:len()
end

local function heuristic(tvb, pinfo, tree)
  if tvb:len() < HEADER or tvb(28, 4):le_uint() ~= T.version then return false end
  local class = tvb(0, 4):le_uint()
  if class ~= T.data_class and class ~= T.network_class then return false end
  zemsim.dissector(tvb, pinfo, tree)
  return true
end

local udp_port = DissectorTable.get("udp.port")
local node_port = zemsim.prefs.node_port
udp_port:add(9019, zemsim)
udp_port:add(9102, zemsim)
udp_port:add(node_port, zemsim)
zemsim:register_heuristic("udp", heuristic)

function zemsim.prefs_changed()
  if node_port ~= zemsim.prefs.node_port then
    udp_port:remove(node_port, zemsim)
    node_port = zemsim.prefs.node_port
    udp_port:add(node_port, zemsim)
  end
end
