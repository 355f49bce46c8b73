// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/diagmessage.h"

namespace DiagWords {

const char *status(DiagMessage::Status status)
{
    switch (status) {
    case DiagMessage::Status::Ok:
        return "ok";
    case DiagMessage::Status::Sequence:
        return "sequence";
    case DiagMessage::Status::Unexpected:
        return "unexpected";
    case DiagMessage::Status::Interrupted:
        return "interrupted";
    case DiagMessage::Status::Timeout:
        return "timeout";
    case DiagMessage::Status::Aborted:
        return "aborted";
    }
    return "";
}

const char *protocol(DiagMessage::Protocol protocol)
{
    switch (protocol) {
    case DiagMessage::Protocol::IsoTp:
        return "ISO-TP";
    case DiagMessage::Protocol::J1939Tp:
        return "J1939-TP";
    case DiagMessage::Protocol::J1939:
        return "J1939";
    }
    return "";
}

} // namespace DiagWords
