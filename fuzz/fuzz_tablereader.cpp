// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/tablereader.h"
#include "fuzz_capturereader.h"

// The input is Quorvex's semicolon table (lengths up to 15 are the table's own), handed out in
// pieces.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return FuzzCaptureReader::run(
        data, size, [](QIODevice *device) { return std::make_unique<TableReader>(device); }, 15);
}
