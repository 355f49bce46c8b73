#include "formats/textcapturereader.h"

#include "link/timedpacket.h"

TextCaptureReader::TextCaptureReader(QIODevice *device, const QString &formatTitle)
    : CaptureReader(device), lines(device), title(formatTitle)
{
}

bool TextCaptureReader::next(TimedPacket &frame)
{
    while (!failed()) {
        const char *begin = nullptr;
        const char *end = nullptr;
        const LineSource::Status status = lines.next(begin, end);
        if (lines.startsBinary()) {
            notThisFormat();
            return false;
        }
        if (status == LineSource::Status::Error)
            fail(QStringLiteral("ошибка чтения: %1").arg(lines.errorString()));
        if (status != LineSource::Status::Line)
            break;
        setConsumed(lines.consumed());
        frame = TimedPacket();
        if (take(parseLine(begin, end, frame)))
            return true;
    }
    if (!recognised && brokenBeforeRecognised > 0)
        notThisFormat();
    return false;
}

bool TextCaptureReader::take(Line kind)
{
    switch (kind) {
    case Line::Frame:
        recognised = true;
        return true;
    case Line::Header:
        recognised = true;
        return false;
    case Line::Blank:
        return false;
    case Line::Skipped:
        recognised = true;
        countSkipped();
        return false;
    case Line::Broken:
        countSkipped();
        if (!recognised && ++brokenBeforeRecognised >= ProbeLines)
            notThisFormat();
        return false;
    }
    return false;
}

void TextCaptureReader::notThisFormat()
{
    fail(QStringLiteral("файл не похож на %1").arg(title));
}
