// Delays a test can ask the running program for, through environment
// variables, to stand in for slow hardware: a driver that lags behind its
// reset, a view that is slow to take a frame, a screen slow to paint; and a system that lacks a
// component. Unset (the normal case), every
// hook is 0 and changes nothing. Platform-neutral, so the core tests read
// them as the program does.
#ifndef KELVARA_TEST_HOOKS_H
#define KELVARA_TEST_HOOKS_H

#include <cstdint>

// Milliseconds a device notification lingers before it hands a block back
// after the worker was stopped (KELVARA_TEST_BLOCK_RETURN_DELAY_MS).
uint32_t testBlockReturnDelayMs();

// Milliseconds the voice-print view waits before it reads a posted frame
// (KELVARA_TEST_FRAME_DELAY_MS).
uint32_t testFrameDelayMs();

// Milliseconds every paint of a view lasts longer, as on a slow screen
// (KELVARA_TEST_PAINT_DELAY_MS).
uint32_t testPaintDelayMs();

// The program behaves as on a system whose imaging component has no PNG
// encoder (KELVARA_TEST_NO_PNG_ENCODER=1).
bool testWithoutPngEncoder();

// Characters the open and save dialogs get for the chosen path, when a test
// wants a path not to fit (KELVARA_TEST_DIALOG_PATH_CAPACITY); 0 when unset.
uint32_t testDialogPathCapacity();

#endif
