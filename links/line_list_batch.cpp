// Chaining many links at once: the result of one AddToLineList call per
// link, found through a temporary index of line ends instead of a walk of
// the whole list for every link.
//
// Why it gives the same lines: AddToLineList takes, for each of the link's
// two nodes, the first line in list order with an end at that node. Lines
// never move in the list (new lines go to its end, an absorbed line leaves
// it, the survivor keeps its place), so list order is creation order, and a
// rank counted in that order picks the same line. Attaching and joining are
// the very steps AddToLineList uses.
#include <tarnutil/tarnutil.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <limits>
#include <list>
#include <memory>
#include <new>
#include <vector>

#include "links/line_list.h"

namespace {

using Line = std::deque<ST_LINK*>;
using LineList = std::list<Line*>;
using tarnutil::detail::AttachLinkToLine;
using tarnutil::detail::MergeLines;

constexpr std::size_t noRank = std::numeric_limits<std::size_t>::max();

// A line of the list, its entry there and the keys of its end nodes as of
// the last step that changed it (only this function changes lines during a
// batch); line is null and both ends absent once it has been absorbed.
// Keeping the keys here saves reading them through the line's links.
struct LineRecord {
  Line* line;
  LineList::iterator entry;
  std::uint64_t startKey;
  std::uint64_t endKey;
  bool hasStart;
  bool hasEnd;
};

bool HasEndLinks(const Line* line) {
  return line != nullptr && !line->empty() && line->front() != nullptr && line->back() != nullptr;
}

// Both integers of the key in one word; equal words are equal nodes.
std::uint64_t NodeKey(const ST_NODE* node) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(node->key1)) << 32) |
         static_cast<std::uint64_t>(static_cast<std::uint32_t>(node->key2));
}

// The end nodes of a usable line, or nulls.
struct LineEnds {
  const ST_NODE* start = nullptr;
  const ST_NODE* end = nullptr;
};

LineEnds EndsOf(const Line* line) {
  LineEnds ends;
  if (!HasEndLinks(line)) return ends;
  ends.start = line->front()->startNode;
  ends.end = line->back()->endNode;
  return ends;
}

// Open-addressing table from node key to the ranks of lines that had an end
// there. Entries are never updated in place: one whose line has been
// deleted or no longer ends at the key is found stale when read, and turned
// into a tombstone. The table is sized once for every entry a batch can add
// (two per link and two per line already listed) at half load, so it never
// grows and no insertion can fail.
class EndIndex {
 public:
  bool Allocate(std::size_t maxEntries) {
    std::size_t capacity = 16;
    while (capacity / 2 < maxEntries) {
      if (capacity > std::numeric_limits<std::size_t>::max() / 2 / sizeof(Slot)) return false;
      capacity *= 2;
    }
    slots_.reset(new (std::nothrow) Slot[capacity]);
    if (!slots_) return false;
    for (std::size_t i = 0; i < capacity; ++i) slots_[i].rank = emptySlot;
    mask_ = capacity - 1;
    shift_ = 64;
    for (std::size_t c = capacity; c > 1; c /= 2) --shift_;
    return true;
  }

  void Insert(const ST_NODE* node, std::size_t rank) {
    if (node == nullptr) return;
    const std::uint64_t key = NodeKey(node);
    std::size_t i = Home(key);
    while (slots_[i].rank != emptySlot && slots_[i].rank != deadSlot) i = (i + 1) & mask_;
    slots_[i].key = key;
    slots_[i].rank = rank;
  }

  // Rank of the first line in list order with its start or end node at
  // node, or noRank. A null node matches nothing.
  std::size_t Find(const ST_NODE* node, const std::vector<LineRecord>& records) {
    if (node == nullptr) return noRank;
    const std::uint64_t key = NodeKey(node);
    std::size_t best = noRank;
    for (std::size_t i = Home(key); slots_[i].rank != emptySlot; i = (i + 1) & mask_) {
      Slot& slot = slots_[i];
      if (slot.rank == deadSlot || slot.key != key) continue;
      const LineRecord& r = records[slot.rank];
      if ((r.hasStart && r.startKey == key) || (r.hasEnd && r.endKey == key)) {
        best = std::min(best, slot.rank);
      } else {
        slot.rank = deadSlot;
      }
    }
    return best;
  }

 private:
  struct Slot {
    std::uint64_t key;
    std::size_t rank;
  };
  static constexpr std::size_t emptySlot = noRank;
  static constexpr std::size_t deadSlot = noRank - 1;

  // Fibonacci hashing: the top bits of the product spread grid-like keys.
  std::size_t Home(std::uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_) & mask_;
  }

  std::unique_ptr<Slot[]> slots_;
  std::size_t mask_ = 0;
  unsigned shift_ = 64;
};

// Reads the line's end keys into its record and indexes the ends that it
// did not have before.
void UpdateEnds(EndIndex& index, std::vector<LineRecord>& records, std::size_t rank) {
  LineRecord& r = records[rank];
  const LineEnds after = EndsOf(r.line);
  for (const ST_NODE* node : {after.start, after.end}) {
    if (node == nullptr) continue;
    const std::uint64_t key = NodeKey(node);
    if ((r.hasStart && r.startKey == key) || (r.hasEnd && r.endKey == key)) continue;
    index.Insert(node, rank);
  }
  r.hasStart = after.start != nullptr;
  r.hasEnd = after.end != nullptr;
  r.startKey = r.hasStart ? NodeKey(after.start) : 0;
  r.endKey = r.hasEnd ? NodeKey(after.end) : 0;
}

void AddEachInTurn(ST_LINK** links, std::size_t from, std::size_t count, LineList& lines) {
  for (std::size_t i = from; i < count; ++i) AddToLineList(links[i], lines);
}

}  // namespace

void AddLinksToLineList(ST_LINK** links, int count, std::list<std::deque<ST_LINK*>*>& lines) {
  if (links == nullptr || count < 1) return;
  const std::size_t n = static_cast<std::size_t>(count);

  // Records and index are made before any link is placed; without memory for
  // them, or for a list that holds one line twice (against the contract, but
  // AddToLineList copes), the links are added one call at a time.
  std::vector<LineRecord> records;
  EndIndex index;
  bool indexed = false;
  try {
    std::vector<const Line*> listed;
    listed.reserve(lines.size());
    for (const Line* line : lines) {
      if (line != nullptr) listed.push_back(line);
    }
    std::sort(listed.begin(), listed.end());
    const bool unique = std::adjacent_find(listed.begin(), listed.end()) == listed.end();
    if (unique && lines.size() <= (std::numeric_limits<std::size_t>::max() - n) / 4) {
      records.reserve(lines.size() + n);
      indexed = index.Allocate(2 * (lines.size() + n));
    }
  } catch (const std::bad_alloc&) {
    indexed = false;
  }
  if (!indexed) {
    AddEachInTurn(links, 0, n, lines);
    return;
  }

  for (LineList::iterator it = lines.begin(); it != lines.end(); ++it) {
    records.push_back({*it, it, 0, 0, false, false});
    UpdateEnds(index, records, records.size() - 1);
  }

  for (std::size_t i = 0; i < n; ++i) {
    ST_LINK* const link = links[i];
    if (link == nullptr) continue;
    const std::size_t a = index.Find(link->startNode, records);
    const std::size_t b = index.Find(link->endNode, records);

    if (a != noRank || b != noRank) {
      // The line at the start node takes the link and absorbs the line at
      // the end node; failing that, the line at the end node takes it.
      const std::size_t keep = a != noRank ? a : b;
      Line* const line = records[keep].line;
      AttachLinkToLine(link, line);
      if (a != noRank && b != noRank && b != a) {
        Line* const absorbed = records[b].line;
        if (MergeLines(line, absorbed)) {
          lines.erase(records[b].entry);
          records[b] = {nullptr, lines.end(), 0, 0, false, false};
          delete absorbed;
        }
      }
      UpdateEnds(index, records, keep);
      continue;
    }

    // As AddToLineList: without storage for the line the link stays the
    // caller's; the holder frees the line if the list cannot take it.
    std::unique_ptr<Line> fresh(new (std::nothrow) Line());
    if (!fresh) continue;
    fresh->push_back(link);
    lines.push_back(fresh.get());
    records.push_back({fresh.release(), std::prev(lines.end()), 0, 0, false, false});
    UpdateEnds(index, records, records.size() - 1);
  }
}
