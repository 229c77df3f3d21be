// libFuzzer target for the WAV reader and decoder: any bytes go through
// loadWav, into an empty buffer and over a loaded sound, and every invariant
// in WavInvariants.h must hold. A broken invariant aborts, so libFuzzer keeps
// the input as a crash; ASan and UBSan catch reads outside the file's bytes.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/WavInvariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const wavcheck::Outcome outcome = wavcheck::checkInput(bytes, size);
    if (!outcome.failure.empty()) {
        std::fprintf(stderr, "==wav invariant broken== %s (input of %zu bytes)\n", outcome.failure.c_str(), size);
        std::abort();
    }
    return 0;
}
