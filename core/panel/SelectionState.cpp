#include "core/panel/SelectionState.h"

std::atomic<uint32_t> selStartX{0};
std::atomic<uint32_t> selEndX{0};
std::atomic<uint32_t> cursorX{0};
std::atomic<int> selectionLocked{0};
std::atomic<int64_t> analysisStart{0};
std::atomic<int64_t> cursorSample{0};

void resetSelectionState()
{
    selStartX = 0;
    selEndX = 0;
    cursorX = 0;
    selectionLocked = 0;
    analysisStart = 0;
    cursorSample = 0;
}
