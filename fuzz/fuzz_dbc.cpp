// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzcheck.h"
#include "signals/dbcdatabase.h"
#include "signals/dbcwriter.h"

#include <QByteArray>

// The input is a DBC file. Every message it defines is then decoded from a few frames, and the
// database written and read again keeps every message and signal under its name.
namespace {

constexpr int FrameLengths[] = {0, 3, 8, 12, 64}; // classic and CAN FD

void decodeAll(const DbcMessage &message, const uint8_t *data, int length)
{
    for (size_t i = 0; i < message.signalList.size(); ++i) {
        const DbcSignal &signal = message.signalList[i];
        double value = 0;
        const bool present = signal.decode(data, length, &value);
        FUZZ_CHECK(present == signal.isPresent(length));
        FUZZ_CHECK(!present || signal.length <= DbcSignal::MaxLength);
        if (present)
            signal.valueText(signal.bits(data));
        message.isActive(int(i), data, length);
    }
}

QStringList names(const DbcDatabase &db)
{
    QStringList list;
    for (const DbcMessage &message : db.messages()) {
        list << QString::number(message.id) + QLatin1Char(' ') + message.name;
        for (const DbcSignal &signal : message.signalList)
            list << QLatin1Char(' ') + signal.name;
    }
    return list;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), int(size));
    DbcDatabase db;
    db.read(text);
    const int lines = text.count('\n') + 1;
    for (const DbcError &error : db.errors())
        FUZZ_CHECK(error.line >= 0 && error.line <= lines && !error.text.isEmpty());
    uint8_t frames[3][DbcSignal::MaxFrameBytes] = {};
    for (int i = 0; i < DbcSignal::MaxFrameBytes; ++i) {
        frames[1][i] = 0xFF;
        frames[2][i] = uint8_t(0x01 + i * 0x22);
    }
    for (const DbcMessage &message : db.messages()) {
        FUZZ_CHECK(db.message(message.id, message.extended) == &message);
        // A J1939 group takes its PGN from any other source, and the message found says so.
        if (message.j1939) {
            const uint32_t other = message.id ^ 0xFF;
            const DbcMessage *found = db.message(other, true);
            FUZZ_CHECK(found && found->matches(other, true));
        }
        for (const auto &frame : frames) {
            for (int length : FrameLengths)
                decodeAll(message, frame, length);
        }
    }
    DbcDatabase again;
    again.read(DbcWriter(db).bytes());
    FUZZ_CHECK(names(again) == names(db));
    return 0;
}
