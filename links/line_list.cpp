#include "links/line_list.h"

#include <list>
#include <memory>
#include <new>
#include <utility>

#include "util/exact.h"

namespace {

using Line = std::deque<ST_LINK*>;

// A usable line has a front and a back link to read its end nodes from.
bool HasEndLinks(const Line* line) {
  return line != nullptr && !line->empty() && line->front() != nullptr && line->back() != nullptr;
}

}  // namespace

namespace tarnutil {
namespace detail {

bool SameNode(const ST_NODE* a, const ST_NODE* b) {
  return a != nullptr && b != nullptr && a->key1 == b->key1 && a->key2 == b->key2;
}

void ReverseLink(ST_LINK* link) {
  if (link == nullptr) return;
  // Wraps, so the most negative direction negates to itself instead of
  // overflowing.
  link->direction = NegWrap32(link->direction);
  std::swap(link->startNode, link->endNode);
}

// Every push comes before the reversal it goes with: a push that throws then
// leaves the link exactly as it was handed in.
void AttachLinkToLine(ST_LINK* link, Line* line) {
  if (link == nullptr || !HasEndLinks(line)) return;
  const ST_NODE* const lineStart = line->front()->startNode;
  const ST_NODE* const lineEnd = line->back()->endNode;

  if (SameNode(lineStart, link->startNode)) {
    line->push_front(link);
    ReverseLink(link);
  } else if (SameNode(lineStart, link->endNode)) {
    line->push_front(link);
  } else if (SameNode(lineEnd, link->startNode)) {
    line->push_back(link);
  } else if (SameNode(lineEnd, link->endNode)) {
    line->push_back(link);
    ReverseLink(link);
  }
}

// Each link is pushed into target before it leaves source, so a push that
// throws leaves it, unreversed, in source: no link is lost or held twice.
bool MergeLines(Line* target, Line* source) {
  if (target == source || !HasEndLinks(target) || !HasEndLinks(source)) return false;
  const ST_NODE* const targetStart = target->front()->startNode;
  const ST_NODE* const targetEnd = target->back()->endNode;
  const ST_NODE* const sourceStart = source->front()->startNode;
  const ST_NODE* const sourceEnd = source->back()->endNode;
  if (targetStart == nullptr || targetEnd == nullptr || sourceStart == nullptr ||
      sourceEnd == nullptr) {
    return false;
  }

  if (SameNode(targetEnd, sourceStart)) {
    while (!source->empty()) {
      target->push_back(source->front());
      source->pop_front();
    }
  } else if (SameNode(targetEnd, sourceEnd)) {
    while (!source->empty()) {
      ST_LINK* const link = source->back();
      target->push_back(link);
      ReverseLink(link);
      source->pop_back();
    }
  } else if (SameNode(targetStart, sourceEnd)) {
    while (!source->empty()) {
      target->push_front(source->back());
      source->pop_back();
    }
  } else if (SameNode(targetStart, sourceStart)) {
    while (!source->empty()) {
      ST_LINK* const link = source->front();
      target->push_front(link);
      ReverseLink(link);
      source->pop_front();
    }
  } else {
    return false;
  }
  return true;
}

}  // namespace detail
}  // namespace tarnutil

using tarnutil::detail::AttachLinkToLine;
using tarnutil::detail::MergeLines;
using tarnutil::detail::SameNode;

void AddToLineList(ST_LINK* link, std::list<Line*>& lines) {
  if (link == nullptr) return;
  const ST_NODE* const start = link->startNode;
  const ST_NODE* const end = link->endNode;

  // startLine: first line with an end at the link's start node; endLine:
  // first with an end at its end node. Front before back within a line.
  Line* startLine = nullptr;
  Line* endLine = nullptr;
  for (Line* line : lines) {
    if (!HasEndLinks(line)) continue;
    const ST_NODE* const lineStart = line->front()->startNode;
    const ST_NODE* const lineEnd = line->back()->endNode;
    if (startLine == nullptr && SameNode(lineStart, start)) startLine = line;
    if (endLine == nullptr && SameNode(lineStart, end)) endLine = line;
    if (startLine == nullptr && SameNode(lineEnd, start)) startLine = line;
    if (endLine == nullptr && SameNode(lineEnd, end)) endLine = line;
    if (startLine != nullptr && endLine != nullptr) break;
  }

  if (startLine != nullptr) {
    AttachLinkToLine(link, startLine);
    // A line that gave up no links keeps its place: deleting it would orphan
    // them.
    if (endLine != nullptr && endLine != startLine && MergeLines(startLine, endLine)) {
      lines.remove(endLine);
      delete endLine;
    }
    return;
  }
  if (endLine != nullptr) {
    AttachLinkToLine(link, endLine);
    return;
  }

  // Without storage for the line the call changes nothing and the link stays
  // the caller's; the holder also frees the line if the list cannot take it.
  std::unique_ptr<Line> fresh(new (std::nothrow) Line());
  if (!fresh) return;
  fresh->push_back(link);
  lines.push_back(fresh.get());
  fresh.release();
}

void ClearLineList(std::list<Line*>* lines) {
  if (lines == nullptr) return;
  // Last line first; within a line, front to back.
  while (!lines->empty()) {
    Line* const line = lines->back();
    if (line != nullptr) {
      for (ST_LINK* const link : *line) {
        if (link != nullptr) delete link;
      }
      delete line;
    }
    lines->pop_back();
  }
}
