// chain: road links to continuous lines through the library's line list.
#include <tarnutil/tarnutil.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <iostream>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/commands.h"
#include "tools/geo_cli.h"

namespace tarnutil {
namespace cli {

namespace {

const char chainFooter[] =
    "Chains road links into continuous lines. One link per line:\n"
    "  id x1 y1 x2 y2 [... xn yn]   (node keys: the first and last point)\n"
    "  id startNode endNode [x1 y1 ...]   with --node-ids\n"
    "with id an unsigned 32-bit integer, unique, and the rest 32-bit integers;\n"
    "links whose node keys are equal meet. After the last link, prints one\n"
    "chained line per output line, in the order the lines were started: the ids\n"
    "of its links from its start to its end, each with + when the link keeps the\n"
    "direction it was given and - when it was turned round. --geometry prints\n"
    "each line's points instead, one \"x y\" per line and a blank line between\n"
    "lines, the shared end of two links once.\n"
    "Blank lines and lines starting with '#' are skipped.\n"
    "With --format geojson|wkt: one GeoJSON document (FeatureCollection, Feature\n"
    "or geometry) or WKT text (one geometry per line) in, the result in the same\n"
    "format out; coordinates are rounded to 32-bit integers, halves away from\n"
    "zero, and counted in a warning.\n"
    "Each line string is a link whose ends, multiplied by --scale and rounded,\n"
    "are its node keys; each output feature is one chained line with the --by\n"
    "property and the links, input line strings numbered from 0: [\"+0\", \"-3\"].\n"
    "Example: printf '1 0 0 0 1\\n2 0 2 0 1\\n' | tarnutil chain   prints   +1 -2";

// The direction the tool gives every link; the line list negates it on each
// reversal, so its sign at the end tells the orientation.
constexpr std::int32_t givenDirection = 1;

struct ChainOptions {
  InputOptions input;
  bool nodeIds = false;
  bool geometry = false;
  std::string format;
  std::string by;
  double scale = 1.0;
};

struct LinkRecord {
  std::uint32_t id = 0;
  ST_NODE start{0, 0};
  ST_NODE end{0, 0};
  std::vector<tagPOINT> points;
};

// Reads one link from the fields of line; false with why.
bool ReadLink(const std::vector<std::string>& fields, const ChainOptions& options, LinkRecord& link,
              std::string& why) {
  const std::size_t keyFields = options.nodeIds ? 2 : 0;
  const std::size_t minFields = options.nodeIds ? 3 : 5;
  if (fields.size() < minFields || (fields.size() - 1 - keyFields) % 2 != 0) {
    why = options.nodeIds ? "expected id startNode endNode and x y pairs, got " +
                                std::to_string(fields.size()) + " columns"
                          : "expected id and two or more x y pairs, got " +
                                std::to_string(fields.size()) + " columns";
    return false;
  }
  if (!ParseUint32(fields[0], link.id, why)) {
    return false;
  }
  std::vector<std::int32_t> values(fields.size() - 1);
  for (std::size_t i = 1; i < fields.size(); ++i) {
    if (!ParseInt32(fields[i], values[i - 1], why)) {
      return false;
    }
  }
  for (std::size_t i = keyFields; i + 1 < values.size(); i += 2) {
    tagPOINT p;
    p.x = values[i];
    p.y = values[i + 1];
    link.points.push_back(p);
  }
  if (options.nodeIds) {
    link.start = ST_NODE{values[0], 0};
    link.end = ST_NODE{values[1], 0};
  } else {
    const tagPOINT& first = link.points.front();
    const tagPOINT& last = link.points.back();
    link.start = ST_NODE{static_cast<std::int32_t>(first.x), static_cast<std::int32_t>(first.y)};
    link.end = ST_NODE{static_cast<std::int32_t>(last.x), static_cast<std::int32_t>(last.y)};
  }
  return true;
}

bool SameKey(const ST_NODE& a, const ST_NODE& b) {
  return a.key1 == b.key1 && a.key2 == b.key2;
}

std::string PointsText(const std::vector<tagPOINT>& points) {
  std::string text;
  for (const tagPOINT& p : points) {
    text += std::to_string(static_cast<std::int32_t>(p.x)) + " " +
            std::to_string(static_cast<std::int32_t>(p.y)) + "\n";
  }
  return text;
}

}  // namespace

Command DeclareChain(CLI::App& sub) {
  auto options = std::make_shared<ChainOptions>();
  sub.footer(chainFooter);
  sub.add_flag("--node-ids", options->nodeIds,
               "links are \"id startNode endNode [x y ...]\" with explicit node keys");
  sub.add_flag("-g,--geometry", options->geometry, "print the chained lines' points");
  DeclareInput(sub, options->input, false);
  CLI::Option* formatOption = DeclareFormat(sub, options->format, {"--node-ids", "--geometry"});
  sub.add_option("--by", options->by,
                 "with --format: chain only line strings whose PROPERTY is equal")
      ->type_name("PROPERTY")
      ->needs(formatOption);
  sub.add_option("--scale", options->scale,
                 "with --format: multiply the ends by S before rounding them to node keys "
                 "(default 1)")
      ->type_name("S")
      ->check(NumberCheck())
      ->needs(formatOption);
  Command command;
  command.operands = &options->input.files;
  command.run = [options, formatOption]() -> int {
    const ChainOptions& o = *options;
    if (formatOption->count() > 0) {
      geo::ChainOptions chain;
      chain.groupBy = o.by;
      chain.scale = o.scale;
      return RunGeoCommand(
          "chain", o.format, o.input.files, o.input.output,
          [&chain](const geo::FeatureCollection& in) { return geo::RunChainOn(in, chain); });
    }
    if (!OpenOutputFor("chain", o.input)) {
      return exitBadInput;
    }
    // Node records must outlive the list; a deque keeps their addresses.
    std::deque<ST_NODE> nodes;
    std::map<std::uint32_t, std::vector<tagPOINT>> geometry;
    std::list<std::deque<ST_LINK*>*> lines;
    LineSource source("chain", o.input.files);
    std::string line;
    std::string why;
    bool oneKey = true;
    std::size_t links = 0;
    while (source.Next(line)) {
      if (source.TooLong()) {
        source.Reject("the line is longer than " + std::to_string(maxLineBytes) + " bytes");
        continue;
      }
      if (IsBlank(line) || IsComment(line)) {
        continue;
      }
      Record record;
      LinkRecord link;
      // Every column is the link's; SplitRecord only separates them.
      if (!SplitRecord(line, 1, "id", record, why)) {
        source.Reject(why);
        continue;
      }
      std::vector<std::string> fields = record.fields;
      Record rest;
      while (!record.trailing.empty() && SplitRecord(record.trailing, 1, "", rest, why)) {
        fields.push_back(rest.fields[0]);
        record.trailing = rest.trailing;
      }
      if (!ReadLink(fields, o, link, why)) {
        source.Reject(why);
        continue;
      }
      if (o.geometry && link.points.size() < 2) {
        source.Reject("--geometry needs two or more x y pairs for each link");
        continue;
      }
      if (!geometry.emplace(link.id, link.points).second) {
        source.Reject("link id " + std::to_string(link.id) + " was given before");
        continue;
      }
      if (links > 0 && (!SameKey(link.start, nodes.front()) || !SameKey(link.end, nodes.front()))) {
        oneKey = false;
      }
      if (links == 0 && !SameKey(link.start, link.end)) {
        oneKey = false;
      }
      ++links;
      nodes.push_back(link.start);
      ST_NODE* start = &nodes.back();
      nodes.push_back(link.end);
      ST_NODE* end = &nodes.back();
      // The list owns the link from here on; ClearLineList deletes it.
      AddToLineList(new ST_LINK{link.id, givenDirection, start, end}, lines);
    }
    if (links > 1 && oneKey) {
      std::cerr << "tarnutil chain: warning: every link starts and ends at the same node key, "
                   "so all of them meet; check the key columns\n";
    }
    bool firstLine = true;
    for (const std::deque<ST_LINK*>* chained : lines) {
      std::string text;
      if (o.geometry) {
        std::vector<tagPOINT> points;
        for (const ST_LINK* l : *chained) {
          std::vector<tagPOINT> part = geometry[l->appData];
          if (l->direction != givenDirection) {
            std::reverse(part.begin(), part.end());
          }
          // The shared end of two links once.
          const bool joins = !points.empty() && points.back().x == part.front().x &&
                             points.back().y == part.front().y;
          points.insert(points.end(), part.begin() + (joins ? 1 : 0), part.end());
        }
        text = (firstLine ? "" : "\n") + PointsText(points);
      } else {
        for (const ST_LINK* l : *chained) {
          if (!text.empty()) {
            text += ' ';
          }
          text += l->direction == givenDirection ? '+' : '-';
          text += std::to_string(l->appData);
        }
        text += "\n";
      }
      firstLine = false;
      Print(text);
    }
    ClearLineList(&lines);
    return FinishStatus("chain", source.HadErrors());
  };
  return command;
}

}  // namespace cli
}  // namespace tarnutil
