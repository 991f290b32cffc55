// Where a column dragged along a list's header would be put down.
#pragma once

#include <vector>

namespace headerdrop {

struct CDropTarget
{
    int position = 0;  // the column before which it goes; the column count for the end
    int pixel = 0;     // that column's left edge, or the total width
};

// The place under x (header pixels from the first column's left edge), for
// columns of the given widths: the column whose span [left, right) holds x,
// 0 for x of 0 or less, the end beyond the last column.
CDropTarget DropTargetAt(int x, const std::vector<int>& widths);

// False when the column would land where it stands: on its own place or
// directly right of it.
bool DropMoves(int dragged, int position);

}  // namespace headerdrop
