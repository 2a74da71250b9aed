#pragma once

#include <vector>

namespace zephra::viewer {

// The list entries whose pictures are prefetched while entry `index` of `count` is shown, in
// the order they are wanted: none for one entry, the other one for two, and for more the
// previous and the next entry, wrapping around at both ends (last of 10: 0 then 8; first of
// 10: 1 then 9).
std::vector<int> NeighbourIndexes(int count, int index);

}  // namespace zephra::viewer
