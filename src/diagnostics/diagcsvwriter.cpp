// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/diagcsvwriter.h"

#include "diagnostics/diagcsv.h"

DiagCsvWriter::DiagCsvWriter(QIODevice *device, const QVector<DiagPair> &pairs)
    : CaptureWriter(device)
{
    decoder.setPairs(pairs);
    buffer() += DiagCsv::header();
}

bool DiagCsvWriter::write(const TimedPacket &frame)
{
    if (!ok())
        return false;
    TimedPacket timed = frame;
    timed.time = timeOf(frame);
    decoder.feed(timed, messages);
    if (!messages.empty())
        put();
    return flushIfFull();
}

bool DiagCsvWriter::finish()
{
    decoder.finish(messages);
    put();
    return flushAll();
}

void DiagCsvWriter::put()
{
    for (const DiagMessage &m : messages)
        DiagCsv::appendLine(buffer(), m);
    written += messages.size();
    messages.clear();
}
