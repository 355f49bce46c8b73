// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/diagdecoder.h"
#include "formats/capturewriter.h"

#include <vector>

// Frames in, the diagnostic messages and faults they carry out as CSV (DiagCsv), a line each
// in the order they finished; messages still open at the end are written as timeouts.
class DiagCsvWriter final : public CaptureWriter
{
public:
    explicit DiagCsvWriter(QIODevice *device, const QVector<DiagPair> &pairs = {});

    bool write(const TimedPacket &frame) override;
    bool finish() override;
    quint64 messagesWritten() const { return written; }

private:
    void put();

    DiagDecoder decoder;
    std::vector<DiagMessage> messages;
    quint64 written = 0;
};
