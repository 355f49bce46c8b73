// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/workbench/finderresults.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <cmath>

namespace {

// Where an item's field is: its row, and its form within the row (-1: the field itself).
constexpr int RowRole = Qt::UserRole;
constexpr int FormRole = Qt::UserRole + 1;
// What a column sorts by: a number, or the text.
constexpr int SortRole = Qt::UserRole + 2;

enum Column { Rank, Id, StartBit, Length, Order, Sign, Distinct, Forms, FirstMoment };

// Sorts by the numbers of its columns; a moment without frames near sorts after every value.
class ResultItem final : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;

    bool operator<(const QTreeWidgetItem &other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QVariant a = data(column, SortRole);
        const QVariant b = other.data(column, SortRole);
        if (a.type() == QVariant::Double && b.type() == QVariant::Double)
            return a.toDouble() < b.toDouble();
        return text(column) < other.text(column);
    }
};

QString valueText(double value)
{
    return std::isnan(value) ? FinderResults::tr("нет кадров рядом")
                             : QString::number(value, 'g', 12);
}

} // namespace

FinderResults::FinderResults(QTreeWidget *tree, QObject *parent) : QObject(parent), tree(tree)
{
    tree->setSortingEnabled(true);
    tree->setRootIsDecorated(true);
    tree->setUniformRowHeights(true);
    tree->header()->setSortIndicatorShown(true);
    connect(tree, &QTreeWidget::itemExpanded, this, &FinderResults::open);
    connect(tree, &QTreeWidget::itemSelectionChanged, this, &FinderResults::selectionChanged);
}

QString FinderResults::idText(quint32 id, bool extended)
{
    return QStringLiteral("0x") +
           QString::number(id, 16).toUpper().rightJustified(extended ? 8 : 3, QLatin1Char('0'));
}

QStringList FinderResults::headers(qint64 origin) const
{
    QStringList list = {
        tr("№"),    QStringLiteral("ID"), tr("Начальный бит"), tr("Длина"), tr("Порядок байтов"),
        tr("Знак"), tr("Значений"),       tr("Форм")};
    if (search) {
        for (qint64 t : search->moments())
            list.append(tr("%1 с").arg(double(t - origin) / 1e6, 0, 'f', 3));
    }
    return list;
}

QTreeWidgetItem *FinderResults::item(const SignalSearch::Result &r, int rank, int row,
                                     int form) const
{
    auto *it = new ResultItem;
    const SignalCandidate &c = r.candidate;
    auto set = [it](int column, const QString &text, const QVariant &sortBy = QVariant()) {
        it->setText(column, text);
        it->setData(column, SortRole, sortBy);
    };
    // Forms stay in their order beneath the field, widest first, when sorted by rank.
    set(Rank, form < 0 ? QString::number(rank) : QString(), double(form < 0 ? rank : form));
    set(Id, idText(r.id, r.extended), double(r.id));
    set(StartBit, QString::number(c.startBit()), double(c.startBit()));
    set(Length, QString::number(c.length), double(c.length));
    set(Order, c.motorola() ? QStringLiteral("Motorola") : QStringLiteral("Intel"));
    set(Sign, c.isSigned() ? tr("со знаком") : tr("без знака"));
    set(Distinct, QString::number(r.distinct), double(r.distinct));
    set(Forms, form < 0 ? QString::number(r.forms.size()) : QString(), double(r.forms.size()));
    for (int m = 0; m < r.values.size(); ++m) {
        const double v = r.values[m];
        set(FirstMoment + m, valueText(v), std::isnan(v) ? qInf() : v);
    }
    it->setData(0, RowRole, row);
    it->setData(0, FormRole, form);
    if (form < 0 && !r.forms.empty())
        it->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return it;
}

void FinderResults::show(const SignalSearch *shown, std::vector<SignalSearch::Result> fields,
                         const SignalSearch::KnownBits &knownBits, qint64 origin)
{
    clear();
    search = shown;
    known = knownBits;
    const QStringList names = headers(origin);
    tree->setColumnCount(names.size());
    tree->setHeaderLabels(names);
    rows.reserve(fields.size());
    QList<QTreeWidgetItem *> items;
    for (SignalSearch::Result &field : fields) {
        items.append(item(field, int(rows.size()) + 1, int(rows.size()), -1));
        rows.push_back(Row{std::move(field), {}, false});
    }
    tree->setSortingEnabled(false);
    tree->addTopLevelItems(items);
    tree->sortItems(Rank, Qt::AscendingOrder);
    tree->setSortingEnabled(true);
    for (int column = 0; column < names.size(); ++column)
        tree->resizeColumnToContents(column);
}

void FinderResults::clear()
{
    tree->clear();
    rows.clear();
    search = nullptr;
}

void FinderResults::open(QTreeWidgetItem *it)
{
    const int row = it->data(0, RowRole).toInt();
    if (it->parent() || !search || row < 0 || row >= int(rows.size()) || rows[size_t(row)].opened)
        return;
    Row &r = rows[size_t(row)];
    r.opened = true;
    QList<QTreeWidgetItem *> children;
    for (const SignalCandidate &form : r.field.forms) {
        r.forms.push_back(search->describe(form, known));
        children.append(item(r.forms.back(), 0, row, int(r.forms.size()) - 1));
    }
    it->addChildren(children);
}

const SignalSearch::Result *FinderResults::selected() const
{
    const QList<QTreeWidgetItem *> picked = tree->selectedItems();
    if (picked.isEmpty())
        return nullptr;
    const int row = picked.front()->data(0, RowRole).toInt();
    const int form = picked.front()->data(0, FormRole).toInt();
    if (row < 0 || row >= int(rows.size()))
        return nullptr;
    const Row &r = rows[size_t(row)];
    if (form < 0)
        return &r.field;
    return form < int(r.forms.size()) ? &r.forms[size_t(form)] : nullptr;
}
