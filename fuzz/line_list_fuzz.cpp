// Link sequences through AddToLineList (one by one) or AddLinksToLineList
// (in batches), then ClearLineList, which must delete every link exactly
// once: this program's operator delete (the tests' counting one) counts the
// deletions of the links it handed over.
#include <tarnutil/tarnutil.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "testing/counting_allocator.h"

namespace {

constexpr std::size_t maxLinks = 96;
// Few distinct keys so that links meet and lines join.
constexpr std::uint8_t keyCount = 12;

ST_LINK* handedOver[maxLinks];
std::size_t handedCount = 0;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnutil::fuzz::FuzzInput in(data, size);
  // Nodes outlive the links; the list never deletes them.
  ST_NODE nodes[keyCount * keyCount];
  for (std::uint8_t i = 0; i < keyCount * keyCount; ++i) {
    nodes[i].key1 = i / keyCount;
    nodes[i].key2 = i % keyCount;
  }
  handedCount = 0;
  std::list<std::deque<ST_LINK*>*> lines;
  ST_LINK* batch[maxLinks];
  int batchCount = 0;
  std::size_t expected = 0;  // links the lines must hold
  while (!in.Empty() && handedCount < maxLinks && batchCount < static_cast<int>(maxLinks)) {
    const std::uint8_t op = in.U8();
    if ((op & 0xC0) == 0xC0) {
      // Flush the batch, with a count that may be short, zero or negative.
      const int shown = (op & 1) != 0 ? batchCount : batchCount - static_cast<int>(op >> 1 & 3);
      AddLinksToLineList(batchCount > 0 ? batch : nullptr, shown, lines);
      // Links the count left out were never handed over.
      for (int i = shown < 0 ? 0 : shown; i < batchCount; ++i) {
        if (batch[i] != nullptr) {
          handedOver[batch[i]->appData] = nullptr;
          --expected;
          delete batch[i];
        }
      }
      batchCount = 0;
      continue;
    }
    if ((op & 0x0F) == 0x0F) {
      if ((op & 0x30) != 0) {
        AddToLineList(nullptr, lines);
      } else {
        batch[batchCount++] = nullptr;
      }
      continue;
    }
    // Any start and end node, the same node included, either direction.
    ST_NODE* start = &nodes[in.U8() % (keyCount * keyCount)];
    ST_NODE* end = (op & 0x10) != 0 ? start : &nodes[in.U8() % (keyCount * keyCount)];
    ST_LINK* link = new ST_LINK{static_cast<std::uint32_t>(handedCount),
                                static_cast<std::int32_t>(op & 3), start, end};
    handedOver[handedCount] = link;
    ++handedCount;
    ++expected;
    if ((op & 0x80) != 0) {
      batch[batchCount++] = link;
    } else {
      AddToLineList(link, lines);
    }
  }
  if (batchCount > 0) AddLinksToLineList(batch, batchCount, lines);

  // Every link handed over sits in exactly one place in the lines.
  std::size_t held = 0;
  for (const std::deque<ST_LINK*>* line : lines) {
    TARNUTIL_FUZZ_CHECK(line != nullptr && !line->empty());
    for (const ST_LINK* link : *line) {
      TARNUTIL_FUZZ_CHECK(link != nullptr);
      TARNUTIL_FUZZ_CHECK(link->appData < handedCount && handedOver[link->appData] == link);
      ++held;
    }
  }
  TARNUTIL_FUZZ_CHECK(held == expected);

  namespace heap = tarnutil::testing::counting_heap;
  std::vector<const void*> watched;
  for (std::size_t i = 0; i < handedCount; ++i) {
    if (handedOver[i] != nullptr) watched.push_back(handedOver[i]);
  }
  std::sort(watched.begin(), watched.end());
  std::vector<int> deletions(watched.size(), 0);
  heap::freeCounts = &deletions;
  heap::freeOrder = nullptr;
  heap::watched = &watched;
  ClearLineList(&lines);
  heap::watched = nullptr;
  TARNUTIL_FUZZ_CHECK(lines.empty());
  for (const int count : deletions) TARNUTIL_FUZZ_CHECK(count == 1);
  ClearLineList(nullptr);
  handedCount = 0;
  return 0;
}
