#include "core/base/TestHooks.h"

#include <cstdlib>

namespace {

// The variable's value in milliseconds; 0 when it is unset, not a number, or
// beyond a minute (no test waits that long on purpose).
uint32_t hookMilliseconds(const char* variable)
{
    const char* text = std::getenv(variable);
    if (text == nullptr) return 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (end == text || value > 60000) return 0;
    return static_cast<uint32_t>(value);
}

}  // namespace

uint32_t testBlockReturnDelayMs() { return hookMilliseconds("KELVARA_TEST_BLOCK_RETURN_DELAY_MS"); }

uint32_t testFrameDelayMs() { return hookMilliseconds("KELVARA_TEST_FRAME_DELAY_MS"); }

uint32_t testPaintDelayMs() { return hookMilliseconds("KELVARA_TEST_PAINT_DELAY_MS"); }

bool testWithoutPngEncoder()
{
    const char* text = std::getenv("KELVARA_TEST_NO_PNG_ENCODER");
    return text != nullptr && text[0] == '1';
}

uint32_t testDialogPathCapacity()
{
    const char* text = std::getenv("KELVARA_TEST_DIALOG_PATH_CAPACITY");
    if (text == nullptr) return 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    return end == text || value > 32768 ? 0 : static_cast<uint32_t>(value);
}
