#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <deque>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include "testing/testing.h"

namespace {

using Line = std::deque<ST_LINK*>;
using LineList = std::list<Line*>;

// One link as seen in a line: its id (appData), direction and node records.
struct LinkView {
  std::uint32_t id;
  std::int32_t direction;
  const ST_NODE* start;
  const ST_NODE* end;
  bool operator==(const LinkView& o) const {
    return id == o.id && direction == o.direction && start == o.start && end == o.end;
  }
};

// A line as a list of link views; a null entry of the list reads as "null".
struct LineView {
  bool present;
  std::vector<LinkView> links;
  bool operator==(const LineView& o) const { return present == o.present && links == o.links; }
};

std::vector<LineView> View(const LineList& lines) {
  std::vector<LineView> view;
  for (const Line* line : lines) {
    LineView v{line != nullptr, {}};
    if (line != nullptr) {
      for (const ST_LINK* link : *line) {
        v.links.push_back({link->appData, link->direction, link->startNode, link->endNode});
      }
    }
    view.push_back(v);
  }
  return view;
}

std::string Describe(const std::vector<LineView>& view, const std::vector<ST_NODE>& nodes) {
  const auto name = [&](const ST_NODE* n) -> std::string {
    if (n == nullptr) return "-";
    return std::to_string(n - nodes.data());
  };
  std::string s;
  for (const LineView& v : view) {
    s += v.present ? "[" : "null";
    if (!v.present) {
      s += "\n";
      continue;
    }
    for (const LinkView& l : v.links) {
      s += " #" + std::to_string(l.id) + "(" + name(l.start) + ">" + name(l.end) + "," +
           std::to_string(l.direction) + ")";
    }
    s += " ]\n";
  }
  return s;
}

// The same random hand-in, once as separate AddToLineList calls and once
// through AddLinksToLineList, each on its own copies of the links. Nodes
// are few, so joins, loops, duplicate links and tie-breaks all come up; every
// node key is held twice (nodes i and i + keys), so equal keys at different
// addresses must match; a few node pointers and links are null.
struct Scenario {
  std::vector<ST_NODE> nodes;
  std::vector<ST_LINK> prefix;  // handed in one by one to both lists first
  std::vector<ST_LINK> batch;   // then one by one, or as one batch
  std::vector<bool> nullLink;   // batch entries passed as null
  bool callerEntries;           // a null entry and an empty line in the list
};

Scenario MakeScenario(std::uint64_t seed) {
  tarnutil::testing::SeededRng rng(seed);
  Scenario s;
  const int keys = rng.Int(2, 9);
  for (int copy = 0; copy < 2; ++copy) {
    for (int k = 0; k < keys; ++k) s.nodes.push_back(ST_NODE{k, 7 - k});
  }
  const auto node = [&]() -> ST_NODE* {
    if (rng.Int(0, 24) == 0) return nullptr;
    return &s.nodes[static_cast<std::size_t>(rng.Int(0, 2 * keys - 1))];
  };
  const int prefix = rng.Int(0, 3) == 0 ? rng.Int(1, 12) : 0;
  const int batch = rng.Int(1, 48);
  std::uint32_t id = 0;
  for (int i = 0; i < prefix + batch; ++i) {
    ST_LINK link{id++, rng.Int(0, 1) == 0 ? 1 : -1, node(), node()};
    if (i < prefix) {
      s.prefix.push_back(link);
    } else {
      s.batch.push_back(link);
      s.nullLink.push_back(rng.Int(0, 29) == 0);
    }
  }
  s.callerEntries = rng.Int(0, 4) == 0;
  return s;
}

void Prefill(const Scenario& s, LineList& lines) {
  if (s.callerEntries) {
    lines.push_back(nullptr);
    lines.push_back(new Line());
  }
  for (const ST_LINK& link : s.prefix) AddToLineList(new ST_LINK(link), lines);
}

TEST(AddLinksToLineList, MatchesOneCallPerLinkOnRandomHandIns) {
  for (std::uint64_t seed = 1; seed <= 3000; ++seed) {
    const Scenario s = MakeScenario(seed);
    LineList oneByOne;
    LineList batched;
    Prefill(s, oneByOne);
    Prefill(s, batched);

    std::vector<ST_LINK*> handIn;
    for (std::size_t i = 0; i < s.batch.size(); ++i) {
      if (!s.nullLink[i]) AddToLineList(new ST_LINK(s.batch[i]), oneByOne);
      handIn.push_back(s.nullLink[i] ? nullptr : new ST_LINK(s.batch[i]));
    }
    AddLinksToLineList(handIn.data(), static_cast<int>(handIn.size()), batched);

    const std::vector<LineView> expected = View(oneByOne);
    const std::vector<LineView> actual = View(batched);
    if (!(actual == expected)) {
      ADD_FAILURE() << "seed " << seed << "\none by one:\n"
                    << Describe(expected, s.nodes) << "batched:\n"
                    << Describe(actual, s.nodes);
    }
    ClearLineList(&oneByOne);
    ClearLineList(&batched);
  }
}

// A street grid handed in shuffled: hundreds of open lines at once, so the
// index sees many keys, joins far apart in the list and absorbed lines whose
// stale entries must not be taken.
TEST(AddLinksToLineList, MatchesOneCallPerLinkOnShuffledGrid) {
  constexpr int side = 24;
  std::vector<ST_NODE> nodes;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) nodes.push_back(ST_NODE{x, y});
  }
  std::vector<ST_LINK> links;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x + 1 < side; ++x) {
      const std::uint32_t id = static_cast<std::uint32_t>(links.size());
      links.push_back({id, 1, &nodes[static_cast<std::size_t>(y * side + x)],
                       &nodes[static_cast<std::size_t>(y * side + x + 1)]});
      links.push_back({id + 1, -1, &nodes[static_cast<std::size_t>(x * side + y)],
                       &nodes[static_cast<std::size_t>((x + 1) * side + y)]});
    }
  }
  tarnutil::testing::SeededRng rng(4242);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
    for (std::size_t i = links.size(); i > 1; --i) {
      std::swap(links[i - 1],
                links[static_cast<std::size_t>(rng.Int(0, static_cast<std::int32_t>(i - 1)))]);
    }
    for (ST_LINK& l : links) {
      if (rng.Int(0, 2) == 0) std::swap(l.startNode, l.endNode);
    }
    LineList oneByOne;
    LineList batched;
    std::vector<ST_LINK*> handIn;
    for (const ST_LINK& l : links) {
      AddToLineList(new ST_LINK(l), oneByOne);
      handIn.push_back(new ST_LINK(l));
    }
    AddLinksToLineList(handIn.data(), static_cast<int>(handIn.size()), batched);
    EXPECT_GT(oneByOne.size(), 1u);
    EXPECT_TRUE(View(batched) == View(oneByOne));
    ClearLineList(&oneByOne);
    ClearLineList(&batched);
  }
}

TEST(AddLinksToLineList, NothingToAddLeavesTheListAlone) {
  ST_NODE p{1, 1};
  ST_NODE q{2, 2};
  ST_LINK* nulls[3] = {nullptr, nullptr, nullptr};
  struct EmptyCase {
    const char* name;
    ST_LINK** links;
    int count;
  };
  const EmptyCase cases[] = {
      {"null array", nullptr, 3},
      {"count 0", nulls, 0},
      {"negative count", nulls, -1},
      {"only null links", nulls, 3},
  };
  for (const EmptyCase& c : cases) {
    SCOPED_TRACE(c.name);
    LineList lines;
    AddToLineList(new ST_LINK{9, 1, &p, &q}, lines);
    const std::vector<LineView> before = View(lines);
    AddLinksToLineList(c.links, c.count, lines);
    EXPECT_TRUE(View(lines) == before);
    ClearLineList(&lines);
  }
}

TEST(AddLinksToLineList, ChainsReversesAndClosesFromAnEmptyList) {
  ST_NODE p{1, 1};
  ST_NODE q{2, 2};
  ST_NODE r{3, 3};
  ST_NODE r2{3, 3};
  // p->q starts the line; r->q meets its end and is reversed onto the back;
  // r2->p (r's key at another address) meets both ends and closes the line
  // at the front, unchanged.
  ST_LINK* links[] = {new ST_LINK{0, 1, &p, &q}, new ST_LINK{1, 1, &r, &q},
                      new ST_LINK{2, 1, &r2, &p}};
  LineList lines;
  AddLinksToLineList(links, 3, lines);
  const std::vector<LineView> expected = {
      {true, {{2, 1, &r2, &p}, {0, 1, &p, &q}, {1, -1, &q, &r}}}};
  EXPECT_TRUE(View(lines) == expected);
  ClearLineList(&lines);
}

}  // namespace
