// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/textcapturereader.h"

#include "link/timedpacket.h"

#include <QCoreApplication>
#include <cstring>

TextCaptureReader::TextCaptureReader(QIODevice *device, const QString &formatTitle)
    : CaptureReader(device), lines(device), title(formatTitle)
{
}

bool TextCaptureReader::next(TimedPacket &frame)
{
    while (!failed()) {
        const char *begin = nullptr;
        const char *end = nullptr;
        const qint64 lineStart = lines.consumed();
        const LineSource::Status status = lines.next(begin, end);
        if (status == LineSource::Status::Error)
            fail(QCoreApplication::translate("TextCaptureReader", "ошибка чтения: %1")
                     .arg(lines.errorString()));
        if (status != LineSource::Status::Line)
            break;
        setConsumed(lines.consumed());
        ++lineNumber;
        frame = TimedPacket();
        // A NUL byte is no text of any format: a block zeroed by a power cut, say.
        const bool binary = std::memchr(begin, '\0', size_t(end - begin)) != nullptr;
        const Line kind = binary ? Line::Broken : parseLine(begin, end, frame);
        if (kind == Line::Broken)
            noteDamage({lineStart, lines.consumed() - lineStart, lineNumber, 1,
                        QCoreApplication::translate("TextCaptureReader", "нечитаемые строки")});
        if (take(kind))
            return true;
    }
    // Damage costs only its own lines; a file without a single frame among them is another thing.
    if (framesTaken == 0 && brokenLines > 0)
        notThisFormat();
    return false;
}

bool TextCaptureReader::take(Line kind)
{
    switch (kind) {
    case Line::Frame:
        ++framesTaken;
        return true;
    case Line::Header:
        return false;
    case Line::Blank:
        return false;
    case Line::Skipped:
        countSkipped();
        return false;
    case Line::Broken:
        countSkipped();
        ++brokenLines;
        return false;
    }
    return false;
}

void TextCaptureReader::notThisFormat()
{
    fail(QCoreApplication::translate("TextCaptureReader", "файл не похож на %1").arg(title));
}
