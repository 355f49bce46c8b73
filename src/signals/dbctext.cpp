#include "signals/dbctext.h"

#include <QByteArray>
#include <QTextCodec>

QString DbcText::decode(const QByteArray &bytes)
{
    static const QByteArray bom("\xEF\xBB\xBF");
    const QByteArray body = bytes.startsWith(bom) ? bytes.mid(bom.size()) : bytes;
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
    const QString utf8 =
        QTextCodec::codecForName("UTF-8")->toUnicode(body.constData(), body.size(), &state);
    if (state.invalidChars == 0 && state.remainingChars == 0)
        return utf8;
    if (const QTextCodec *windows = QTextCodec::codecForName("windows-1252"))
        return windows->toUnicode(body);
    return QString::fromLatin1(body);
}
