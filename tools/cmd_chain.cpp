// chain: road links to continuous lines through the library's line list.
#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <list>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/commands.h"

namespace tarnutil {
namespace cli {

namespace {

const char chainHelp[] =
    "usage: tarnutil chain [FILE...]\n"
    "\n"
    "Chains road links into continuous lines. One link per line:\n"
    "  id startA startB endA endB\n"
    "with id an unsigned 32-bit integer and each node key two 32-bit integers;\n"
    "links whose keys are equal meet. After the last link, prints one chained\n"
    "line per output line, in the order the lines were started: the ids of its\n"
    "links from its start to its end, each with + when the link keeps the\n"
    "direction it was given and - when it was turned round.\n"
    "\n"
    "Blank lines and lines starting with '#' are skipped.\n"
    "Example: printf '1 0 0 0 1\\n2 0 2 0 1\\n' | tarnutil chain   prints   +1 -2\n";

// The direction the tool gives every link; the line list negates it on each
// reversal, so its sign at the end tells the orientation.
constexpr std::int32_t givenDirection = 1;

}  // namespace

int RunChain(const std::vector<std::string>& args) {
  OptionReader reader("chain", args);
  std::vector<std::string> files;
  while (reader.Next()) {
    if (reader.Is("-h", "--help")) {
      std::fputs(chainHelp, stdout);
      return exitOk;
    }
    if (reader.IsOperand()) {
      files.push_back(reader.Current());
    } else {
      return reader.Unknown();
    }
  }

  // Node records must outlive the list; a deque keeps their addresses.
  std::deque<ST_NODE> nodes;
  std::list<std::deque<ST_LINK*>*> lines;
  LineSource source("chain", files);
  std::string line;
  std::string why;
  while (source.Next(line)) {
    if (IsBlank(line) || IsComment(line)) {
      continue;
    }
    const std::vector<std::string> fields = SplitFields(line);
    if (fields.size() != 5) {
      source.Reject("expected 5 integers (id startA startB endA endB), got " +
                    std::to_string(fields.size()));
      continue;
    }
    std::uint32_t id = 0;
    std::int32_t key[4] = {0, 0, 0, 0};
    bool ok = ParseUint32(fields[0], id, why);
    for (int i = 0; ok && i < 4; ++i) {
      ok = ParseInt32(fields[static_cast<std::size_t>(i) + 1], key[i], why);
    }
    if (!ok) {
      source.Reject(why);
      continue;
    }
    nodes.push_back(ST_NODE{key[0], key[1]});
    ST_NODE* start = &nodes.back();
    nodes.push_back(ST_NODE{key[2], key[3]});
    ST_NODE* end = &nodes.back();
    // The list owns the link from here on; ClearLineList deletes it.
    AddToLineList(new ST_LINK{id, givenDirection, start, end}, lines);
  }

  for (const std::deque<ST_LINK*>* chained : lines) {
    std::string text;
    for (const ST_LINK* link : *chained) {
      if (!text.empty()) {
        text += ' ';
      }
      text += link->direction == givenDirection ? '+' : '-';
      text += std::to_string(link->appData);
    }
    Print(text + "\n");
  }
  ClearLineList(&lines);
  return source.HadErrors() ? exitBadInput : exitOk;
}

}  // namespace cli
}  // namespace tarnutil
