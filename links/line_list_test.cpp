#include "links/line_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <limits>
#include <list>
#include <new>
#include <string>
#include <vector>

// Frees of the links, live blocks and one failing allocation are counted by
// this program's own operator new and delete.
#include "testing/counting_allocator.h"
#include "testing/testing.h"
#include "util/exact.h"

namespace heap = tarnutil::testing::counting_heap;

namespace {

// Live blocks are counted from the program's start.
[[maybe_unused]] const bool liveTrackingOn = (heap::trackLive = true);

using tarnutil::detail::AttachLinkToLine;
using tarnutil::detail::MergeLines;
using tarnutil::detail::NegWrap32;
using tarnutil::detail::ReverseLink;
using tarnutil::detail::SameNode;
using Line = std::deque<ST_LINK*>;
using LineList = std::list<Line*>;

constexpr int nullNode = -1;

// Counts the frees of the given links while alive, and the order of each.
class DeleteWatch {
 public:
  explicit DeleteWatch(const std::vector<ST_LINK*>& links)
      : addresses_(links.begin(), links.end()), counts_(links.size()), order_(links.size()) {
    std::sort(addresses_.begin(), addresses_.end());
    heap::freesSeen = 0;
    heap::freeCounts = &counts_;
    heap::freeOrder = &order_;
    heap::watched = &addresses_;
  }
  ~DeleteWatch() { Stop(); }
  DeleteWatch(const DeleteWatch&) = delete;
  DeleteWatch& operator=(const DeleteWatch&) = delete;

  // Ends the watch; read the results after this, as reading may allocate.
  void Stop() { heap::watched = nullptr; }

  int Count(const ST_LINK* link) const { return counts_[Index(link)]; }
  int Order(const ST_LINK* link) const { return order_[Index(link)]; }

 private:
  std::size_t Index(const ST_LINK* link) const {
    const void* const p = link;
    return static_cast<std::size_t>(std::lower_bound(addresses_.begin(), addresses_.end(), p) -
                                    addresses_.begin());
  }
  std::vector<const void*> addresses_;
  std::vector<int> counts_;
  std::vector<int> order_;
};

// Key equality as the caller understands it, for checking results.
bool SameKey(const ST_NODE* a, const ST_NODE* b) {
  return a != nullptr && b != nullptr && a->key1 == b->key1 && a->key2 == b->key2;
}

// Links a test hands over, each with two node records of its own (so that
// only key values can make nodes match) and with what the caller set;
// appData indexes that record. Node id n has keys (n / 4, n % 4), so some
// ids differ only in key1 and others only in key2; letters are ids from 'A'.
class LinkSet {
 public:
  ST_LINK* Make(int startId, int endId, std::int32_t direction) {
    ST_LINK* const link = new ST_LINK{static_cast<std::uint32_t>(records_.size()), direction,
                                      NewNode(startId), NewNode(endId)};
    records_.push_back({link, link->startNode, link->endNode, direction});
    return link;
  }

  // "P to Q"; "_" is a null node; "nolink" is a null link pointer.
  ST_LINK* Parse(const std::string& text) {
    if (text == "nolink") return nullptr;
    const std::size_t to = text.find(" to ");
    return Make(IdOf(text.substr(0, to)), IdOf(text.substr(to + 4)), 1);
  }

  // "[P to Q, Q to R]", "[]", or "null" for a null entry; new with new.
  Line* ParseLine(const std::string& text) {
    if (text == "null") return nullptr;
    Line* const line = new Line();
    std::string body = text.substr(1, text.size() - 2);
    while (!body.empty()) {
      const std::size_t comma = body.find(", ");
      line->push_back(Parse(body.substr(0, comma)));
      body = comma == std::string::npos ? "" : body.substr(comma + 2);
    }
    return line;
  }

  LineList ParseList(const std::vector<const char*>& texts) {
    LineList lines;
    for (const char* text : texts) lines.push_back(ParseLine(text));
    return lines;
  }

  // A link as "P to Q"; "*" marks one reversed from the caller's version
  // (direction negated, nodes swapped); "?" one that is neither.
  std::string Render(const ST_LINK* link) const {
    if (link == nullptr) return "nolink";
    std::string text = NameOf(link->startNode) + " to " + NameOf(link->endNode);
    if (Reversals(link) == 1) text += "*";
    if (Reversals(link) < 0) text += "?";
    return text;
  }

  std::string Render(const Line* line) const {
    if (line == nullptr) return "null";
    std::string text = "[";
    for (const ST_LINK* link : *line) text += (text.size() > 1 ? ", " : "") + Render(link);
    return text + "]";
  }

  std::vector<std::string> Render(const LineList& lines) const {
    std::vector<std::string> texts;
    for (const Line* line : lines) texts.push_back(Render(line));
    return texts;
  }

  // 0 as the caller made it, 1 reversed, -1 in neither state (or not ours).
  int Reversals(const ST_LINK* link) const {
    if (link->appData >= records_.size() || records_[link->appData].link != link) return -1;
    const Record& r = records_[link->appData];
    if (link->direction == r.direction && link->startNode == r.start && link->endNode == r.end) {
      return 0;
    }
    if (link->direction == NegWrap32(r.direction) && link->startNode == r.end &&
        link->endNode == r.start) {
      return 1;
    }
    return -1;
  }

  std::vector<ST_LINK*> Links() const {
    std::vector<ST_LINK*> links;
    for (const Record& r : records_) links.push_back(r.link);
    return links;
  }

 private:
  struct Record {
    ST_LINK* link;
    const ST_NODE* start;
    const ST_NODE* end;
    std::int32_t direction;
  };

  static int IdOf(const std::string& name) { return name == "_" ? nullNode : name[0] - 'A'; }

  static std::string NameOf(const ST_NODE* node) {
    if (node == nullptr) return "_";
    const int id = node->key1 * 4 + node->key2;
    return id < 26 ? std::string(1, static_cast<char>('A' + id)) : "n" + std::to_string(id);
  }

  ST_NODE* NewNode(int id) {
    if (id == nullNode) return nullptr;
    nodes_.push_back(ST_NODE{id / 4, id % 4});
    return &nodes_.back();
  }

  std::deque<ST_NODE> nodes_;
  std::vector<Record> records_;
};

// Clears the list and expects every link made by the set to be freed once.
void ClearAndExpectEachLinkFreedOnce(LinkSet& set, LineList& lines) {
  const std::vector<ST_LINK*> links = set.Links();
  std::vector<int> counts;
  {
    DeleteWatch watch(links);
    ClearLineList(&lines);
    watch.Stop();
    for (const ST_LINK* link : links) counts.push_back(watch.Count(link));
  }
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(counts, std::vector<int>(links.size(), 1));
}

TEST(SameNode, ComparesBothKeysByValueAndNeverMatchesNull) {
  ST_NODE a{3, 7};
  ST_NODE aCopy{3, 7};
  ST_NODE otherKey1{4, 7};
  ST_NODE otherKey2{3, 8};
  struct Case {
    const ST_NODE* x;
    const ST_NODE* y;
    bool expected;
  };
  const Case cases[] = {
      {&a, &a, true},
      {&a, &aCopy, true},
      {&a, &otherKey1, false},
      {&a, &otherKey2, false},
      {nullptr, &a, false},
      {&a, nullptr, false},
      {nullptr, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    EXPECT_EQ(SameNode(c.x, c.y), c.expected);
    EXPECT_EQ(SameNode(c.y, c.x), c.expected);
  }
}

TEST(ReverseLink, NegatesDirectionAndSwapsNodesOnly) {
  constexpr std::int32_t minDir = std::numeric_limits<std::int32_t>::min();
  struct Case {
    std::int32_t direction, expected;
  };
  // The most negative value has no negation in 32 bits and wraps to itself.
  const Case cases[] = {{1, -1}, {-1, 1}, {0, 0}, {123456, -123456}, {minDir, minDir}};
  ST_NODE p{1, 2};
  ST_NODE q{3, 4};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.direction);
    ST_LINK link{0xDEADBEEFu, c.direction, &p, &q};
    ReverseLink(&link);
    EXPECT_EQ(link.direction, c.expected);
    EXPECT_EQ(link.startNode, &q);
    EXPECT_EQ(link.endNode, &p);
    EXPECT_EQ(link.appData, 0xDEADBEEFu);
    EXPECT_EQ(p.key1, 1);
  }
  ReverseLink(nullptr);
}

struct AttachCase {
  const char* line;
  const char* link;
  const char* expected;
};

TEST(AttachLinkToLine, FrontBeforeBackStartNodeBeforeEndNode) {
  const AttachCase cases[] = {
      {"[P to Q, Q to R]", "P to X", "[X to P*, P to Q, Q to R]"},
      {"[P to Q, Q to R]", "X to P", "[X to P, P to Q, Q to R]"},
      {"[P to Q, Q to R]", "R to X", "[P to Q, Q to R, R to X]"},
      {"[P to Q, Q to R]", "X to R", "[P to Q, Q to R, R to X*]"},
      {"[P to Q, Q to R]", "R to R", "[P to Q, Q to R, R to R]"},
      // Both nodes on line ends: closes the line at its front.
      {"[P to Q, Q to R]", "P to R", "[R to P*, P to Q, Q to R]"},
      {"[P to Q, Q to R]", "R to P", "[R to P, P to Q, Q to R]"},
      {"[P to Q]", "P to Q", "[Q to P*, P to Q]"},
      // A closed line takes the link at its front.
      {"[P to Q, Q to P]", "X to P", "[X to P, P to Q, Q to P]"},
      {"[P to Q, Q to P]", "P to X", "[X to P*, P to Q, Q to P]"},
      {"[P to Q]", "P to P", "[P to P*, P to Q]"},
      // Inner nodes and null nodes never match.
      {"[P to Q, Q to R]", "Q to X", "[P to Q, Q to R]"},
      {"[P to Q]", "_ to _", "[P to Q]"},
      {"[_ to Q]", "_ to X", "[_ to Q]"},
      {"[]", "P to Q", "[]"},
      {"[nolink, P to Q]", "Q to R", "[nolink, P to Q]"},
      {"[P to Q, nolink]", "X to P", "[P to Q, nolink]"},
  };
  for (const AttachCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.line << " + " << c.link);
    LinkSet set;
    Line* line = set.ParseLine(c.line);
    ST_LINK* link = set.Parse(c.link);
    AttachLinkToLine(link, line);
    EXPECT_EQ(set.Render(line), c.expected);
    LineList lines{line};
    if (std::find(line->begin(), line->end(), link) == line->end()) {
      EXPECT_EQ(set.Reversals(link), 0);
      lines.push_back(new Line{link});
    }
    ClearAndExpectEachLinkFreedOnce(set, lines);
  }
  LinkSet set;
  LineList lines{set.ParseLine("[P to Q]")};
  AttachLinkToLine(nullptr, lines.front());
  EXPECT_EQ(set.Render(lines.front()), "[P to Q]");
  ST_LINK* const link = set.Parse("Q to R");
  AttachLinkToLine(link, nullptr);
  EXPECT_EQ(set.Reversals(link), 0);
  lines.push_back(new Line{link});
  ClearAndExpectEachLinkFreedOnce(set, lines);
}

struct MergeCase {
  const char* target;
  const char* source;
  bool moved;
  const char* expectedTarget;
};

TEST(MergeLines, JoinsAtTargetEndBeforeTargetStart) {
  const MergeCase cases[] = {
      {"[P to Q]", "[Q to R, R to S]", true, "[P to Q, Q to R, R to S]"},
      {"[P to Q]", "[S to R, R to Q]", true, "[P to Q, Q to R*, R to S*]"},
      {"[P to Q]", "[S to R, R to P]", true, "[S to R, R to P, P to Q]"},
      {"[P to Q]", "[P to R, R to S]", true, "[S to R*, R to P*, P to Q]"},
      // Several joints: target end before target start, then source start
      // before source end.
      {"[P to Q]", "[Q to R, R to P]", true, "[P to Q, Q to R, R to P]"},
      {"[P to Q]", "[P to R, R to Q]", true, "[P to Q, Q to R*, R to P*]"},
      {"[P to Q]", "[Q to R, R to Q]", true, "[P to Q, Q to R, R to Q]"},
      {"[P to Q]", "[P to R, R to P]", true, "[P to R, R to P, P to Q]"},
      // Nothing moves without a shared end node or with one end node missing.
      {"[P to Q]", "[R to S]", false, "[P to Q]"},
      {"[P to Q]", "[R to Q, Q to P, P to S]", false, "[P to Q]"},
      {"[_ to Q]", "[Q to R]", false, "[_ to Q]"},
      {"[P to Q]", "[Q to _]", false, "[P to Q]"},
      {"[P to Q]", "[]", false, "[P to Q]"},
      {"[]", "[Q to R]", false, "[]"},
      {"[P to Q]", "[nolink, Q to R]", false, "[P to Q]"},
  };
  for (const MergeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.target << " <- " << c.source);
    LinkSet set;
    LineList lines{set.ParseLine(c.target), set.ParseLine(c.source)};
    const std::string sourceBefore = set.Render(lines.back());
    EXPECT_EQ(MergeLines(lines.front(), lines.back()), c.moved);
    EXPECT_EQ(set.Render(lines.front()), c.expectedTarget);
    EXPECT_EQ(set.Render(lines.back()), c.moved ? "[]" : sourceBefore);
    ClearAndExpectEachLinkFreedOnce(set, lines);
  }
  LinkSet set;
  LineList lines{set.ParseLine("[P to Q, Q to P]")};
  EXPECT_FALSE(MergeLines(lines.front(), lines.front()));
  EXPECT_FALSE(MergeLines(lines.front(), nullptr));
  EXPECT_FALSE(MergeLines(nullptr, lines.front()));
  EXPECT_EQ(set.Render(lines.front()), "[P to Q, Q to P]");
  ClearAndExpectEachLinkFreedOnce(set, lines);
}

// True when the lines are the old line objects in their old order, followed
// by at most one new line.
bool KeepsPlaces(const std::vector<Line*>& before, const LineList& after) {
  auto next = before.begin();
  std::size_t fresh = 0;
  for (Line* line : after) {
    if (std::find(before.begin(), before.end(), line) == before.end()) {
      ++fresh;
      continue;
    }
    const auto found = std::find(next, before.end(), line);
    if (found == before.end() || fresh > 0) return false;
    next = found + 1;
  }
  return fresh <= 1;
}

struct ChainCase {
  std::vector<const char*> before;
  const char* link;
  std::vector<const char*> after;
};

TEST(AddToLineList, ExtendsJoinsAndStartsLines) {
  const ChainCase cases[] = {
      {{}, "P to Q", {"[P to Q]"}},
      {{"[P to Q]"}, "P to R", {"[R to P*, P to Q]"}},
      {{"[P to Q]"}, "R to P", {"[R to P, P to Q]"}},
      {{"[P to Q]"}, "Q to R", {"[P to Q, Q to R]"}},
      {{"[P to Q]"}, "R to Q", {"[P to Q, Q to R*]"}},
      {{"[P to Q]", "[R to S]"}, "X to Y", {"[P to Q]", "[R to S]", "[X to Y]"}},
      // Joins: the line at the link's start node absorbs the other.
      {{"[P to Q]", "[R to S]"}, "Q to R", {"[P to Q, Q to R, R to S]"}},
      {{"[P to Q]", "[S to R]"}, "Q to R", {"[P to Q, Q to R, R to S*]"}},
      {{"[P to Q]", "[X to Y, Y to R]"}, "P to R", {"[X to Y, Y to R, R to P*, P to Q]"}},
      {{"[P to Q]", "[R to Y, Y to X]"}, "P to R", {"[X to Y*, Y to R*, R to P*, P to Q]"}},
      {{"[R to S]", "[P to Q]"}, "Q to R", {"[P to Q, Q to R, R to S]"}},
      {{"[X to Y]", "[R to S]", "[P to Q]"}, "Q to R", {"[X to Y]", "[P to Q, Q to R, R to S]"}},
      // Loops and duplicates.
      {{"[P to Q, Q to R]"}, "R to P", {"[R to P, P to Q, Q to R]"}},
      {{"[P to Q]"}, "P to Q", {"[Q to P*, P to Q]"}},
      {{"[Q to R]"}, "P to P", {"[Q to R]", "[P to P]"}},
      {{"[P to Q, Q to P]"}, "P to R", {"[R to P*, P to Q, Q to P]"}},
      {{"[X to Y]", "[P to Q, Q to P]"}, "Y to P", {"[X to Y, Y to P, P to Q, Q to P]"}},
      // Null nodes match nothing.
      {{"[P to Q]"}, "_ to _", {"[P to Q]", "[_ to _]"}},
      {{"[P to Q]"}, "_ to P", {"[_ to P, P to Q]"}},
      // The first line in list order wins, and stays first choice for the
      // link's start node even when a later line also ends there.
      {{"[Q to P]", "[P to R]"}, "P to X", {"[Q to P, P to X]", "[P to R]"}},
      {{"[Q to P]", "[P to R]"}, "X to P", {"[Q to P, P to X*]", "[P to R]"}},
      // Entries that cannot match are passed over.
      {{"null", "[]", "[P to Q]"}, "Q to R", {"null", "[]", "[P to Q, Q to R]"}},
      {{"[nolink, Q to R]", "[R to S, nolink]"},
       "R to X",
       {"[nolink, Q to R]", "[R to S, nolink]", "[R to X]"}},
      // A join that moves nothing leaves the other line in place: a missing
      // end node, and a caller-built list whose lines share no end node
      // once the link is attached.
      {{"[_ to P]", "[Q to _]"}, "P to Q", {"[_ to P, P to Q]", "[Q to _]"}},
      {{"[Q to R]", "[Q to P]"}, "P to Q", {"[Q to R]", "[P to Q, Q to P]"}},
  };
  for (const ChainCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases) << ": " << c.link);
    LinkSet set;
    LineList lines = set.ParseList(c.before);
    const std::vector<Line*> before(lines.begin(), lines.end());
    AddToLineList(set.Parse(c.link), lines);
    EXPECT_EQ(set.Render(lines), std::vector<std::string>(c.after.begin(), c.after.end()));
    EXPECT_TRUE(KeepsPlaces(before, lines));
    ClearAndExpectEachLinkFreedOnce(set, lines);
  }
}

TEST(AddToLineList, NullLinkChangesNothing) {
  LinkSet set;
  LineList lines = set.ParseList({"[P to Q]", "[R to S]"});
  const std::vector<std::string> before = set.Render(lines);
  AddToLineList(nullptr, lines);
  EXPECT_EQ(set.Render(lines), before);
  ClearAndExpectEachLinkFreedOnce(set, lines);
}

TEST(ClearLineList, DeletesLastLineFirstAndEachLineFrontToBack) {
  const std::int64_t liveBefore = heap::liveBlocks;
  {
    LinkSet set;
    LineList lines =
        set.ParseList({"[P to Q, Q to R]", "null", "[nolink, X to Y]", "[]", "[R to S]"});
    const std::vector<ST_LINK*> links = set.Links();
    std::vector<int> order;
    {
      DeleteWatch watch(links);
      ClearLineList(&lines);
      watch.Stop();
      for (const ST_LINK* link : links) order.push_back(watch.Order(link));
    }
    // Made in the order P-Q, Q-R, X-Y, R-S; freed R-S, X-Y, P-Q, Q-R.
    EXPECT_EQ(order, (std::vector<int>{3, 4, 2, 1}));
    EXPECT_TRUE(lines.empty());

    AddToLineList(set.Parse("P to Q"), lines);
    EXPECT_EQ(set.Render(lines), std::vector<std::string>{"[P to Q]"});
    ClearLineList(&lines);
    ClearLineList(&lines);
    ClearLineList(nullptr);
    EXPECT_TRUE(lines.empty());
  }
  EXPECT_EQ(heap::liveBlocks, liveBefore);
}

// Builds a line of count links from node firstId through ids 100, 101, ...
// to node lastId.
Line* Chain(LinkSet& set, int firstId, int count, int lastId) {
  constexpr int chainIds = 100;  // clear of the lettered nodes
  Line* const line = new Line();
  for (int i = 0; i < count; ++i) {
    line->push_back(
        set.Make(i == 0 ? firstId : chainIds + i - 1, i == count - 1 ? lastId : chainIds + i, 1));
  }
  return line;
}

// Every allocation an addition makes is failed in turn. A failed line
// allocation changes nothing; a container exception may leave the link the
// caller's, or leave a join half done, but every link stays in exactly one
// place, oriented consistently, and is freed exactly once.
TEST(AddToLineList, AllocationFailureLosesNoLink) {
  // A long absorbed line [K to n100, ..., n398 to L] makes each kind of join
  // allocate several blocks on the way.
  constexpr int longLine = 300;
  // quietAt: the allocation that may fail without an exception (the new
  // line's own storage), or 0.
  struct Scenario {
    const char* link;
    bool longSource;
    std::int64_t quietAt;
  };
  const Scenario scenarios[] = {
      {"X to Y", false, 1}, {"R to P", false, 0}, {"Q to R", false, 0}, {"Q to K", true, 0},
      {"Q to L", true, 0},  {"P to L", true, 0},  {"P to K", true, 0},
  };
  for (const Scenario& s : scenarios) {
    for (std::int64_t failAt = 1;; ++failAt) {
      SCOPED_TRACE(testing::Message() << s.link << ", allocation " << failAt);
      const std::int64_t liveBefore = heap::liveBlocks;
      bool threw = false;
      {
        LinkSet set;
        LineList lines = set.ParseList({"[P to Q]", "[S to T]"});
        if (s.longSource) lines.push_back(Chain(set, 'K' - 'A', longLine, 'L' - 'A'));
        const std::vector<std::string> before = set.Render(lines);
        ST_LINK* const link = set.Parse(s.link);
        heap::failed = false;
        heap::allocsSinceArm = 0;
        heap::failAt = failAt;
        try {
          AddToLineList(link, lines);
        } catch (const std::bad_alloc&) {
          threw = true;
        }
        heap::failAt = 0;

        std::vector<ST_LINK*> held;
        for (const Line* line : lines) held.insert(held.end(), line->begin(), line->end());
        const bool linkHeld = std::find(held.begin(), held.end(), link) != held.end();
        if (heap::failed && !threw) {
          EXPECT_EQ(set.Render(lines), before);
        }
        if (!heap::failed) {
          EXPECT_TRUE(linkHeld);
        }
        for (const std::string& text : set.Render(lines)) {
          EXPECT_EQ(text.find('?'), std::string::npos) << text;
        }
        for (const Line* line : lines) {
          for (std::size_t i = 1; i < line->size(); ++i) {
            EXPECT_TRUE(SameKey((*line)[i - 1]->endNode, (*line)[i]->startNode));
          }
        }
        if (!linkHeld) {
          // The caller gets the link back as it handed it in.
          EXPECT_EQ(set.Reversals(link), 0);
          lines.push_back(new Line{link});
        }
        ClearAndExpectEachLinkFreedOnce(set, lines);
      }
      EXPECT_EQ(heap::liveBlocks, liveBefore);
      if (!heap::failed) break;
      EXPECT_EQ(threw, failAt != s.quietAt);
    }
  }
}

// Random sequences over a few node keys, so that joins, loops, duplicates
// and closed lines are frequent; a quarter of them also use null nodes.
TEST(AddToLineList, RandomSequencesKeepLinesContinuousAndOwned) {
  constexpr int sequences = 3000;
  constexpr std::int32_t minDir = std::numeric_limits<std::int32_t>::min();
  tarnutil::testing::SeededRng rng(20240611u);
  for (int seq = 0; seq < sequences; ++seq) {
    SCOPED_TRACE(testing::Message() << "sequence " << seq);
    const bool withNulls = seq % 4 == 3;
    const int nodeCount = rng.Int(2, 8);
    const int linkCount = rng.Int(1, 30);
    const std::int64_t liveBefore = heap::liveBlocks;
    {
      LinkSet set;
      LineList lines;
      std::vector<ST_LINK*> handed;
      for (int step = 0; step < linkCount && !HasFailure(); ++step) {
        const int startId = withNulls && rng.Int(0, 7) == 0 ? nullNode : rng.Int(0, nodeCount - 1);
        const int endId = withNulls && rng.Int(0, 7) == 0 ? nullNode : rng.Int(0, nodeCount - 1);
        const std::int32_t dirPick = rng.Int(-3, 3);
        ST_LINK* const link = set.Make(startId, endId, dirPick == 0 ? minDir : dirPick);

        // What must happen, worked out from the lines before.
        const std::vector<Line*> before(lines.begin(), lines.end());
        std::size_t startLine = before.size();
        std::size_t endLine = before.size();
        for (std::size_t i = before.size(); i-- > 0;) {
          const ST_NODE* const ends[] = {before[i]->front()->startNode, before[i]->back()->endNode};
          for (const ST_NODE* node : ends) {
            if (SameKey(node, link->startNode)) startLine = i;
            if (SameKey(node, link->endNode)) endLine = i;
          }
        }

        AddToLineList(link, lines);
        handed.push_back(link);
        const std::vector<Line*> after(lines.begin(), lines.end());

        if (startLine == before.size() && endLine == before.size()) {
          // A new line, last in the list, holding the link as given.
          ASSERT_EQ(after.size(), before.size() + 1);
          EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
          EXPECT_EQ(*after.back(), Line{link});
          EXPECT_EQ(set.Reversals(link), 0);
        } else if (after.size() < before.size()) {
          // A join: the end node's line left, the others keep their order.
          ASSERT_NE(endLine, before.size());
          ASSERT_NE(startLine, before.size());
          std::vector<Line*> expected = before;
          expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(endLine));
          EXPECT_EQ(after, expected);
        } else {
          EXPECT_EQ(after, before);
          // Without null nodes, two distinct touched lines always join.
          if (!withNulls) {
            EXPECT_TRUE(startLine == before.size() || endLine == before.size() ||
                        startLine == endLine);
          }
        }

        std::vector<ST_LINK*> held;
        for (const Line* line : lines) {
          ASSERT_NE(line, nullptr);
          ASSERT_FALSE(line->empty());
          for (std::size_t i = 0; i < line->size(); ++i) {
            held.push_back((*line)[i]);
            EXPECT_GE(set.Reversals((*line)[i]), 0);
            if (i > 0) {
              EXPECT_TRUE(SameKey((*line)[i - 1]->endNode, (*line)[i]->startNode));
            }
          }
        }
        std::sort(held.begin(), held.end());
        std::vector<ST_LINK*> expectedHeld = handed;
        std::sort(expectedHeld.begin(), expectedHeld.end());
        EXPECT_EQ(held, expectedHeld);

        if (!withNulls) {
          for (std::size_t i = 0; i < after.size(); ++i) {
            for (std::size_t j = i + 1; j < after.size(); ++j) {
              const ST_NODE* const endsI[] = {after[i]->front()->startNode,
                                              after[i]->back()->endNode};
              const ST_NODE* const endsJ[] = {after[j]->front()->startNode,
                                              after[j]->back()->endNode};
              for (const ST_NODE* x : endsI) {
                for (const ST_NODE* y : endsJ) EXPECT_FALSE(SameKey(x, y)) << i << "," << j;
              }
            }
          }
        }
      }
      ClearAndExpectEachLinkFreedOnce(set, lines);
    }
    EXPECT_EQ(heap::liveBlocks, liveBefore);
    if (HasFailure()) break;
  }
}

}  // namespace
