// zemrec cut: a part of a recording as a recording of its own.

#include <algorithm>

#include "record/record_encoder.h"
#include "zemrec.h"

namespace {

// A recorded item as the node would have handed it over.
RecordEntry EntryOf(const Recording& r, const RecordedItem& item, uint32_t timeMs) {
  RecordEntry entry{EntryKind::Exchange, timeMs, {}};
  switch (item.type) {
    case RecordType::Answers:
    case RecordType::Image:
      for (size_t s = item.firstSpan; s < item.firstSpan + item.spanCount; ++s) {
        const RecordedSpan& span = r.spans[s];
        AppendExchangeRequest(entry.bytes, EXCHANGE_READ, span.offset, r.Data(span.dataAt), span.size);
      }
      break;
    case RecordType::Write:
      AppendExchangeRequest(entry.bytes, EXCHANGE_WRITE, item.offset, r.Data(item.dataAt),
                            static_cast<uint32_t>(item.dataSize));
      break;
    case RecordType::Event:
      entry.kind = EntryKind::Event;
      entry.bytes.push_back(static_cast<uint8_t>(item.event));
      AppendBytes(entry.bytes, r.Data(item.dataAt), item.dataSize);
      break;
    case RecordType::Plan:
      entry.kind = EntryKind::Plan;
      AppendPlanBody(entry.bytes, item.text, std::string(r.Data(item.dataAt), r.Data(item.dataAt) + item.dataSize));
      break;
  }
  return entry;
}

}  // namespace

std::vector<uint8_t> CutRecording(const Recording& r, uint32_t fromMs, uint32_t toMs) {
  std::vector<uint8_t> out;
  RecordEncoder encoder([&out](const std::vector<uint8_t>& chunk) {
    out.insert(out.end(), chunk.begin(), chunk.end());
    return true;
  });
  RecordingHeader header = r.header;
  header.startUtcMs += fromMs;
  encoder.Begin(header);

  // Everything before the cut is only taken in: the image shows it, and
  // the plans imported so far come again, the last of each path.
  std::vector<const RecordedItem*> plans;
  size_t i = 0;
  for (; i < r.items.size() && r.items[i].timeMs < fromMs; ++i) {
    const RecordedItem& item = r.items[i];
    if (item.type == RecordType::Image) encoder.SetState(item.state);
    if (item.type == RecordType::Plan) {
      std::erase_if(plans, [&](const RecordedItem* plan) { return plan->text == item.text; });
      plans.push_back(&item);
    }
    encoder.Prime(EntryOf(r, item, 0));
  }
  encoder.WriteImage(0);
  for (const RecordedItem* plan : plans) encoder.Add(EntryOf(r, *plan, 0));

  uint32_t last = 0;
  for (; i < r.items.size() && r.items[i].timeMs <= toMs; ++i) {
    const RecordedItem& item = r.items[i];
    if (item.type == RecordType::Event && item.event == EventCode::End) continue;
    if (item.type == RecordType::Image) encoder.SetState(item.state);
    last = item.timeMs - fromMs;
    encoder.Add(EntryOf(r, item, last));
  }
  encoder.Add({EntryKind::Event, last, {static_cast<uint8_t>(EventCode::End)}});
  encoder.Flush();
  return out;
}
