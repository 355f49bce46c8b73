// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/diagservicequery.h"

#include <QSortFilterProxyModel>

// The rows of the diagnostics table a user asks for: by protocol ("UDS", "OBD-II", "J1939" with
// "J1939-TP", "J1939-TP"; empty for all), by ECU (a hex address as source or target, or a hex
// identifier) and by service or PGN (see DiagServiceQuery).
class DiagnosticsFilter final : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setProtocol(const QString &protocol);
    void setEcu(const QString &ecu);
    void setService(const QString &service);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    bool matchEcu(int row) const;

    QString protocol;
    QString ecu;
    DiagServiceQuery service;
};
