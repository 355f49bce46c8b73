// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/workbench/signalfinder.h"

#include "analysis/frameindex.h"
#include "app/workbench/backgroundjob.h"
#include "app/workbench/finderresults.h"
#include "log/candatamodel.h"
#include "log/rowsnapshot.h"
#include "ui_signalfinder.h"

#include <QStringList>
#include <cmath>

namespace {

enum ToleranceUnit { Units, Percent }; // the order of "cbToleranceUnit"

} // namespace

SignalFinder::SignalFinder(const CanDataModel *log, QWidget *parent)
    : QWidget(parent, Qt::Window), ui(new Ui::SignalFinder), log(log), job(new BackgroundJob(this)),
      results(nullptr)
{
    ui->setupUi(this);
    results = new FinderResults(ui->twResults, this);
    ui->cbToleranceUnit->addItem(tr("ед."), int(Units));
    ui->cbToleranceUnit->addItem(QStringLiteral("%"), int(Percent));
    fillConditions();
    connect(job, &BackgroundJob::progress, ui->progressBar, &QProgressBar::setValue);
    connect(results, &FinderResults::selectionChanged, this, &SignalFinder::onSelectionChanged);
    setBusy(false);
    showState();
}

SignalFinder::~SignalFinder()
{
    delete job; // waits for the work, which reads the search
    delete ui;
}

void SignalFinder::fillConditions()
{
    using C = SearchCondition;
    for (C::Kind kind : {C::Equal, C::Between, C::Rose, C::Fell, C::Unchanged, C::Changed,
                         C::ChangedBy, C::NonDecreasing, C::NonIncreasing, C::ChangedAtMost}) {
        C c;
        c.kind = kind;
        QString text = c.text();
        if (kind == C::Equal || kind == C::ChangedBy)
            text = text.left(text.lastIndexOf(QLatin1Char(' '))) + QStringLiteral(" N");
        else if (kind == C::Between)
            text = tr("между A и B");
        else if (kind == C::ChangedAtMost)
            text = tr("менялось не больше K раз");
        ui->cbCondition->addItem(text, int(kind));
    }
    on_cbCondition_currentIndexChanged(0);
}

void SignalFinder::on_cbCondition_currentIndexChanged(int)
{
    SearchCondition c;
    c.kind = SearchCondition::Kind(ui->cbCondition->currentData().toInt());
    ui->sbMoment2->setEnabled(!c.atMoment());
    ui->btMoment2->setEnabled(!c.atMoment());
    ui->sbValueA->setEnabled(c.atMoment() || c.kind == SearchCondition::ChangedBy);
    ui->sbValueB->setEnabled(c.kind == SearchCondition::Between);
    ui->sbCount->setEnabled(c.kind == SearchCondition::ChangedAtMost);
}

qint64 SignalFinder::timeOf(double seconds) const
{
    return origin + qint64(std::llround(seconds * 1e6));
}

SearchCondition SignalFinder::condition() const
{
    SearchCondition c;
    c.kind = SearchCondition::Kind(ui->cbCondition->currentData().toInt());
    c.first = timeOf(ui->sbMoment1->value());
    c.second = c.atMoment() ? c.first : timeOf(ui->sbMoment2->value());
    c.a = ui->sbValueA->value();
    c.b = ui->sbValueB->value();
    c.tolerance = ui->sbTolerance->value();
    c.percent = ui->cbToleranceUnit->currentData().toInt() == Percent;
    c.count = ui->sbCount->value();
    return c;
}

SignalSearch::Options SignalFinder::options() const
{
    SignalSearch::Options o;
    o.maxLength = ui->chkLong->isChecked() ? 64 : 32;
    o.factor = ui->sbFactor->value() == 0 ? 1 : ui->sbFactor->value();
    o.offset = ui->sbOffset->value();
    for (const QString &word : ui->leIds->text().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const quint32 id = word.toUInt(&ok, 0);
        if (ok) // an identifier above 0x7FF can only be a 29-bit one
            o.ids.append(FrameIndex::key(id, id > 0x7FF || word.size() > 5));
    }
    return o;
}

quint64 SignalFinder::remaining() const
{
    return search ? search->remaining() : 0;
}

void SignalFinder::on_btStep_clicked()
{
    if (job->busy())
        return;
    if (!search)
        startSearch(condition());
    else
        runStep(condition());
}

void SignalFinder::startSearch(const SearchCondition &first)
{
    // The moments were typed against the log's start, which only the index knows: the condition
    // is moved onto it once built.
    const RowSnapshot rows = log->snapshot();
    const SignalSearch::Options o = options();
    const double s1 = ui->sbMoment1->value();
    const double s2 = ui->sbMoment2->value();
    auto step = std::make_shared<SignalSearch::Step>();
    auto built = std::make_shared<std::unique_ptr<SignalSearch>>();
    setBusy(true);
    job->start(
        [this, rows, o, first, s1, s2, step, built] {
            auto index = std::make_shared<FrameIndex>();
            index->addRows(rows, 0, rows.size());
            SearchCondition c = first;
            c.first = index->firstTime() + qint64(std::llround(s1 * 1e6));
            c.second = c.atMoment() ? c.first : index->firstTime() + qint64(std::llround(s2 * 1e6));
            *built = std::make_unique<SignalSearch>(index, o);
            *step = (*built)->prepare(c, job->cancelFlag(), [this](int done, int total) {
                job->setProgress(done, total);
            });
        },
        [this, step, built] {
            search = std::move(*built);
            origin = search->index().firstTime();
            onStepDone(step);
        });
}

void SignalFinder::runStep(const SearchCondition &c)
{
    auto step = std::make_shared<SignalSearch::Step>();
    const SignalSearch *s = search.get();
    setBusy(true);
    job->start(
        [this, s, c, step] {
            *step = s->prepare(c, job->cancelFlag(),
                               [this](int done, int total) { job->setProgress(done, total); });
        },
        [this, step] { onStepDone(step); });
}

void SignalFinder::onStepDone(std::shared_ptr<SignalSearch::Step> step)
{
    setBusy(false);
    if (search)
        search->commit(std::move(*step));
    showState();
    showResults();
}

void SignalFinder::on_btUndo_clicked()
{
    if (!search || job->busy())
        return;
    search->undo();
    showState();
    showResults();
}

void SignalFinder::on_btRestart_clicked()
{
    if (job->busy())
        return;
    results->clear();
    search.reset(); // the log may have grown: the next step indexes it anew
    showState();
    showResults();
}

void SignalFinder::on_btCancel_clicked()
{
    job->cancel();
}

qint64 SignalFinder::start() const
{
    if (search)
        return origin;
    LogRecord first;
    const RowSnapshot rows = log->snapshot();
    return rows.size() > 0 && rows.read(0, &first) ? first.time : 0;
}

void SignalFinder::onSetMoment(qint64 time)
{
    const qint64 origin = start();
    const double seconds = double(time - origin) / 1e6;
    if (ui->sbMoment2->hasFocus() || ui->btMoment2->hasFocus())
        ui->sbMoment2->setValue(seconds);
    else
        ui->sbMoment1->setValue(seconds);
}

void SignalFinder::on_btMoment1_clicked()
{
    if (const auto time = momentSource ? momentSource() : std::nullopt)
        ui->sbMoment1->setValue(double(*time - start()) / 1e6);
}

void SignalFinder::on_btMoment2_clicked()
{
    if (const auto time = momentSource ? momentSource() : std::nullopt)
        ui->sbMoment2->setValue(double(*time - start()) / 1e6);
}

void SignalFinder::setBusy(bool busy)
{
    ui->btStep->setEnabled(!busy);
    ui->btUndo->setEnabled(!busy && search && search->steps() > 0);
    ui->btRestart->setEnabled(!busy);
    ui->btCancel->setEnabled(busy);
    ui->progressBar->setVisible(busy);
}

void SignalFinder::showState()
{
    ui->lbRemaining->setText(search ? tr("Осталось кандидатов: %1").arg(search->remaining())
                                    : tr("Осталось кандидатов: все"));
    QStringList steps;
    if (search) {
        for (const SearchCondition &c : search->conditions())
            steps.append(c.text());
    }
    ui->lbSteps->setText(steps.join(QStringLiteral(" → ")));
    setBusy(job->busy());
}

// Ranking the millions of candidates a first step leaves takes a while: off the window's thread,
// the window busy meanwhile, as for a step.
void SignalFinder::showResults()
{
    if (!search) {
        results->clear();
        onSelectionChanged();
        return;
    }
    auto rows = std::make_shared<std::vector<SignalSearch::Result>>();
    const SignalSearch *s = search.get();
    const SignalSearch::KnownBits bits = known;
    setBusy(true);
    job->start([s, bits, rows] { *rows = s->results(ShownResults, bits); },
               [this, bits, rows] {
                   setBusy(false);
                   results->show(search.get(), std::move(*rows), bits, origin);
                   offerScaleMoments();
                   onSelectionChanged();
               });
}

void SignalFinder::offerScaleMoments()
{
    const QVector<qint64> moments = search ? search->moments() : QVector<qint64>();
    // The moments of the conditions are where the user most likely knows the values.
    if (moments.size() >= 2 && ui->sbScaleMoment1->value() == 0 &&
        ui->sbScaleMoment2->value() == 0) {
        ui->sbScaleMoment1->setValue(double(moments.first() - origin) / 1e6);
        ui->sbScaleMoment2->setValue(double(moments.last() - origin) / 1e6);
    }
}

const SignalSearch::Result *SignalFinder::selectedResult() const
{
    return results->selected();
}

void SignalFinder::onSelectionChanged()
{
    const SignalSearch::Result *r = selectedResult();
    ui->btCreateSignal->setEnabled(r != nullptr);
    ui->btFitScale->setEnabled(r != nullptr);
    const SignalCandidate *c = r ? &r->candidate : nullptr;
    if (fitted &&
        !(c && c->series == fitted->candidate.series && c->shift == fitted->candidate.shift &&
          c->length == fitted->candidate.length && c->flags == fitted->candidate.flags)) {
        fitted.reset();
        ui->lbScale->clear();
    }
    if (r && search)
        ui->plotCandidate->showCandidate(*search, r->candidate, start());
    else
        ui->plotCandidate->clearCandidate();
    if (r)
        emit candidateSelected(r->id, r->extended, r->candidate.startBit(), r->candidate.length,
                               r->candidate.motorola(), r->candidate.isSigned());
}

void SignalFinder::on_btFitScale_clicked()
{
    const SignalSearch::Result *r = selectedResult();
    if (!r || !search)
        return;
    Scale scale{r->candidate, 1, 0};
    if (!search->fitScale(r->candidate, timeOf(ui->sbScaleMoment1->value()),
                          ui->sbScaleValue1->value(), timeOf(ui->sbScaleMoment2->value()),
                          ui->sbScaleValue2->value(), &scale.factor, &scale.offset)) {
        fitted.reset();
        ui->lbScale->setText(
            tr("Масштаб не подобрать: в эти моменты у поля одно значение или рядом нет кадров"));
        return;
    }
    fitted = scale;
    ui->lbScale->setText(
        tr("Множитель %1, смещение %2")
            .arg(QString::number(scale.factor, 'g', 10), QString::number(scale.offset, 'g', 10)));
}

void SignalFinder::on_btCreateSignal_clicked()
{
    const SignalSearch::Result *r = selectedResult();
    if (!r)
        return;
    const double factor = fitted ? fitted->factor : search->options().factor;
    const double offset = fitted ? fitted->offset : search->options().offset;
    emit createSignalRequested(r->id, r->extended, r->candidate.startBit(), r->candidate.length,
                               r->candidate.motorola(), r->candidate.isSigned(), factor, offset);
}

void SignalFinder::setIdentifier(quint32 id, bool extended)
{
    // Eight digits mark a 29-bit identifier, as the field is read.
    ui->leIds->setText(FinderResults::idText(id, extended));
}
