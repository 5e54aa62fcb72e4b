// Road-link chaining: the steps behind AddToLineList, callable by tests.
#ifndef TARNUTIL_LINKS_LINE_LIST_H
#define TARNUTIL_LINKS_LINE_LIST_H

#include <tarnutil/tarnutil.h>

#include <deque>

namespace tarnutil {
namespace detail {

// True when both nodes exist and their keys are equal; a null node matches
// nothing, not even another null node.
bool SameNode(const ST_NODE* a, const ST_NODE* b);

// Negates direction and swaps the two nodes, in place. A null link is left
// alone.
void ReverseLink(ST_LINK* link);

// Puts the link at the front or back of the line where one of its nodes
// meets a line end, reversing it when needed; front before back, and at each
// end the link's start node before its end node. Does nothing when the link
// meets no end, or the link, the line or a line-end link is missing.
void AttachLinkToLine(ST_LINK* link, std::deque<ST_LINK*>* line);

// Moves every link of source into target at their common end node, joints at
// target's end before joints at its start, reversing links where needed.
// Returns true when the links moved (source is then empty); false, with both
// lines unchanged, when a line or one of the four end nodes is missing, the
// lines are the same, or they share no end node.
bool MergeLines(std::deque<ST_LINK*>* target, std::deque<ST_LINK*>* source);

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_LINKS_LINE_LIST_H
