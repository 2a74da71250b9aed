#include "viewer/neighbour_plan.h"

namespace zephra::viewer {

std::vector<int> NeighbourIndexes(int count, int index) {
  if (count < 2) return {};
  if (count == 2) return {index == 0 ? 1 : 0};
  if (index >= count - 1) return {0, count - 2};
  if (index <= 0) return {1, count - 1};
  return {index - 1, index + 1};
}

}  // namespace zephra::viewer
