#include "plot/HeaderDrop.h"

#include <cstddef>

namespace headerdrop {

CDropTarget DropTargetAt(int x, const std::vector<int>& widths)
{
    if (x <= 0)
        return {0, 0};
    int left = 0;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (x < left + widths[i])
            return {static_cast<int>(i), left};
        left += widths[i];
    }
    return {static_cast<int>(widths.size()), left};
}

bool DropMoves(int dragged, int position)
{
    return position != dragged && position != dragged + 1;
}

}  // namespace headerdrop
