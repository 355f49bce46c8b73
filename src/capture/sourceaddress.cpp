// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/sourceaddress.h"

#include "link/canbussource.h"
#include "link/tarvixsource.h"
#include "net/socketcandsource.h"

namespace {

const QLatin1String SocketcandKind("socketcand");

// "HOST:PORT:IFACE", the host perhaps an IPv6 address in brackets or bare.
bool parseSocketcand(const QString &rest, SourceAddress *address, QString *error)
{
    const int ifaceColon = rest.lastIndexOf(QLatin1Char(':'));
    const int portColon = ifaceColon > 0 ? rest.lastIndexOf(QLatin1Char(':'), ifaceColon - 1) : -1;
    bool ok = false;
    const uint port =
        portColon > 0 ? rest.mid(portColon + 1, ifaceColon - portColon - 1).toUInt(&ok) : 0;
    QString host = portColon > 0 ? rest.left(portColon) : QString();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    address->interfaceName = rest.mid(ifaceColon + 1);
    if (!ok || port == 0 || port > 65535 || host.isEmpty() || address->interfaceName.isEmpty()) {
        *error = QStringLiteral("expected socketcand:HOST:PORT:INTERFACE");
        return false;
    }
    address->kind = SourceAddress::Kind::Socketcand;
    address->host = host;
    address->port = quint16(port);
    return true;
}

} // namespace

bool SourceAddress::parse(const QString &text, SourceAddress *address, QString *error)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    const QString kind = text.left(colon).trimmed();
    const QString rest = colon > 0 ? text.mid(colon + 1).trimmed() : QString();
    if (kind.isEmpty() || rest.isEmpty()) {
        *error = QStringLiteral("expected PLUGIN:INTERFACE or socketcand:HOST:PORT:INTERFACE");
        return false;
    }
    if (kind == SocketcandKind)
        return parseSocketcand(rest, address, error);
    address->kind = Kind::CanBus;
    address->plugin = kind;
    address->interfaceName = rest;
    return true;
}

QString SourceAddress::text() const
{
    switch (kind) {
    case Kind::Tarvix:
        break;
    case Kind::CanBus:
        return plugin + QLatin1Char(':') + interfaceName;
    case Kind::Socketcand: {
        const QString shownHost =
            host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
        return QStringLiteral("%1:%2:%3:%4")
            .arg(SocketcandKind, shownHost)
            .arg(port)
            .arg(interfaceName);
    }
    }
    return QString();
}

CanSource *SourceAddress::create(const QString &modulePort, int baudRate, QObject *parent) const
{
    switch (kind) {
    case Kind::Tarvix:
        break;
    case Kind::CanBus: {
        CanBusSource::Options options;
        options.plugin = plugin;
        options.interfaceName = interfaceName;
        options.bitrate = bitrate;
        options.dataBitrate = dataBitrate;
        options.listenOnly = listenOnly;
        return new CanBusSource(options, parent);
    }
    case Kind::Socketcand:
        return new SocketcandSource(host, port, interfaceName, parent);
    }
    return new TarvixSource(modulePort, baudRate, parent);
}
