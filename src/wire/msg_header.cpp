#include "wire/msg_header.h"

#include "wire/bytes.h"

MsgHeader ReadMsgHeader(const uint8_t* message) {
  MsgHeader header;
  header.MsgClass = GetU32(message + HeaderOffset::MsgClass);
  header.MsgType = GetU32(message + HeaderOffset::MsgType);
  header.SeqNo = GetU32(message + HeaderOffset::SeqNo);
  header.Count = GetI32(message + HeaderOffset::Count);
  header.Spare = GetU32(message + HeaderOffset::Spare);
  header.HeaderSize = GetU32(message + HeaderOffset::HeaderSize);
  header.Length = GetU32(message + HeaderOffset::Length);
  header.Version = GetU32(message + HeaderOffset::Version);
  header.Source = GetI16(message + HeaderOffset::Source);
  header.Destination = GetI16(message + HeaderOffset::Destination);
  return header;
}

void WriteMsgHeader(uint8_t* message, const MsgHeader& header) {
  PutU32(message + HeaderOffset::MsgClass, header.MsgClass);
  PutU32(message + HeaderOffset::MsgType, header.MsgType);
  PutU32(message + HeaderOffset::SeqNo, header.SeqNo);
  PutI32(message + HeaderOffset::Count, header.Count);
  PutU32(message + HeaderOffset::Spare, header.Spare);
  PutU32(message + HeaderOffset::HeaderSize, header.HeaderSize);
  PutU32(message + HeaderOffset::Length, header.Length);
  PutU32(message + HeaderOffset::Version, header.Version);
  PutI16(message + HeaderOffset::Source, header.Source);
  PutI16(message + HeaderOffset::Destination, header.Destination);
}
