// The command line at work: what this process was asked to do, the text it
// prints for a console that started it, and the batch run that draws one
// sound into files with the window set kept off the screen.
#ifndef KELVARA_BATCH_RUN_H
#define KELVARA_BATCH_RUN_H

#include <string>

#include "core/panel/CommandLine.h"

// This process's command line, worked out by parseCommandLine.
CommandLine commandLineOfThisProcess();

// `text` (lines ending in "\n") to the standard output, or with `error` to
// the standard error, of whoever started the program: handles it was given
// (a pipe, a file, a console), or else the console of the process that
// started it. Where there is neither, nothing is printed.
void printForCaller(const std::wstring& text, bool error);

// `path` made absolute against the current folder, so that the panel's file
// name box shows where the file really is.
std::wstring absolutePath(const std::wstring& path);

// On the user-interface thread, once the window set exists (hidden) and the
// display thread has been started: opens `line.path`, puts the options into
// the panel, selects, draws and writes the outputs, all through the panel's
// and the views' own code. Returns the process's exit code; a failure has
// been printed.
int runBatch(const CommandLine& line);

#endif
