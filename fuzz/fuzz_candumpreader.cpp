// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/candumpreader.h"
#include "fuzz_capturereader.h"

// The input is a candump log, handed out in pieces.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return FuzzCaptureReader::run(
        data, size, [](QIODevice *device) { return std::make_unique<CandumpReader>(device); });
}
