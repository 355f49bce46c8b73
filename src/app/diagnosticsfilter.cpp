// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/diagnosticsfilter.h"

#include "app/diagnosticsmodel.h"

void DiagnosticsFilter::setProtocol(const QString &text)
{
    protocol = text;
    invalidateFilter();
}

void DiagnosticsFilter::setEcu(const QString &text)
{
    ecu = text.trimmed();
    if (ecu.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        ecu = ecu.mid(2);
    invalidateFilter();
}

void DiagnosticsFilter::setService(const QString &text)
{
    service = DiagServiceQuery(text);
    invalidateFilter();
}

bool DiagnosticsFilter::matchEcu(int row) const
{
    if (ecu.isEmpty())
        return true;
    bool ok = false;
    const uint value = ecu.toUInt(&ok, 16);
    if (!ok)
        return false;
    const DiagMessage &m = static_cast<const DiagnosticsModel *>(sourceModel())->message(row);
    return m.id == value || (value <= 0xFF && (m.source == int(value) || m.target == int(value)));
}

bool DiagnosticsFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const auto *model = static_cast<const DiagnosticsModel *>(sourceModel());
    const DiagMessage &m = model->message(sourceRow);
    const QString shown = DiagnosticsModel::protocolText(m);
    if (!protocol.isEmpty() && shown != protocol && !shown.startsWith(protocol + QLatin1Char('-')))
        return false;
    if (!service.matches(m))
        return false;
    return matchEcu(sourceRow);
}
