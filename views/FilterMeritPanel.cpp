#include "views/FilterMeritPanel.h"

#include "registers/PageConversions.h"
#include "views/ChartParts.h"
#include "views/FigureTable.h"
#include "views/RelativeFrequencyEdit.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <functional>

namespace tarsion {

namespace {
const QString kSymbolRateKey = QStringLiteral("FilterSymbolRate");
const QString kRolloffKey = QStringLiteral("FilterRolloff");
const QString kPassbandKey = QStringLiteral("FilterPassbandEdge");
const QString kStopbandKey = QStringLiteral("FilterStopbandEdge");

// A stored number; anything that is not a finite number reads as none.
std::optional<double> StoredNumber(const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

QString StoredText(const std::optional<double>& value) {
    return value ? QString::number(*value, 'g', 17) : QString();
}

} // namespace

CFilterMeritPanel::CFilterMeritPanel(IViewSettings& settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
    setObjectName(QStringLiteral("filterMeritPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* form = new QFormLayout();
    symbolRateEdit_ = new QLineEdit(this);
    symbolRateEdit_->setObjectName(QStringLiteral("figureSymbolRate"));
    symbolRateEdit_->setMaxLength(40);
    symbolRateEdit_->setToolTip(
        QStringLiteral("The symbol rate the filter is designed for; empty: the chip's"));
    rolloffEdit_ = new QLineEdit(this);
    rolloffEdit_->setObjectName(QStringLiteral("figureRolloff"));
    rolloffEdit_->setMaxLength(40);
    rolloffEdit_->setToolTip(
        QStringLiteral("Roll-off of the raised-cosine pair, 0 to 1: sets the band edges"));
    passEdit_ = new CRelativeFrequencyEdit(false, this);
    passEdit_->setObjectName(QStringLiteral("figurePassbandEdge"));
    passEdit_->setToolTip(QStringLiteral("Ripple is taken from DC to this edge"));
    stopEdit_ = new CRelativeFrequencyEdit(false, this);
    stopEdit_->setObjectName(QStringLiteral("figureStopbandEdge"));
    stopEdit_->setToolTip(QStringLiteral("Attenuation is taken from this edge to half the output rate"));
    passLabel_ = new QLabel(this);
    stopLabel_ = new QLabel(this);
    form->addRow(QStringLiteral("Symbol rate"), symbolRateEdit_);
    form->addRow(QStringLiteral("Roll-off"), rolloffEdit_);
    form->addRow(passLabel_, passEdit_);
    form->addRow(stopLabel_, stopEdit_);
    layout->addLayout(form);
    auto* defaults = new QPushButton(QStringLiteral("Edges from Roll-off"), this);
    defaults->setObjectName(QStringLiteral("figureEdgesFromRolloff"));
    layout->addWidget(defaults, 0, Qt::AlignLeft);
    note_ = new QLabel(this);
    note_->hide();
    layout->addWidget(note_);
    table_ = new CFigureTable(QStringLiteral("filterMeritTable"), this);
    layout->addWidget(table_);
    bandNote_ = new QLabel(this);
    bandNote_->hide();
    layout->addWidget(bandNote_);

    connect(symbolRateEdit_, &QLineEdit::editingFinished, this, &CFilterMeritPanel::CommitSymbolRate);
    connect(rolloffEdit_, &QLineEdit::editingFinished, this, &CFilterMeritPanel::CommitRolloff);
    connect(passEdit_, &CRelativeFrequencyEdit::committed, this, &CFilterMeritPanel::CommitEdges);
    connect(stopEdit_, &CRelativeFrequencyEdit::committed, this, &CFilterMeritPanel::CommitEdges);
    connect(defaults, &QPushButton::clicked, this, &CFilterMeritPanel::UseRolloffEdges);
    Restore();
}

void CFilterMeritPanel::Restore() {
    const std::optional<double> rate = StoredNumber(settings_.ViewSetting(kSymbolRateKey));
    symbolRate_ = rate && *rate > 0 ? rate : std::nullopt;
    const std::optional<double> rolloff = StoredNumber(settings_.ViewSetting(kRolloffKey));
    rolloff_ = rolloff && *rolloff >= 0 && *rolloff <= 1 ? *rolloff : kDefaultRolloff;
    passband_ = StoredNumber(settings_.ViewSetting(kPassbandKey));
    stopband_ = StoredNumber(settings_.ViewSetting(kStopbandKey));
    // Edges that make no band are the roll-off's.
    if (!(PassbandMultiple() > 0 && PassbandMultiple() < StopbandMultiple())) {
        passband_.reset();
        stopband_.reset();
    }
    ShowInputs();
}

void CFilterMeritPanel::Save() {
    settings_.SetViewSetting(kSymbolRateKey, StoredText(symbolRate_));
    settings_.SetViewSetting(kRolloffKey, QString::number(rolloff_, 'g', 17));
    settings_.SetViewSetting(kPassbandKey, StoredText(passband_));
    settings_.SetViewSetting(kStopbandKey, StoredText(stopband_));
}

void CFilterMeritPanel::SetChipSymbolRate(std::optional<double> hz) {
    if (hz == chipSymbolRate_)
        return;
    chipSymbolRate_ = hz;
    ShowInputs();
}

std::optional<double> CFilterMeritPanel::SymbolRateHz() const {
    return symbolRate_ ? symbolRate_ : chipSymbolRate_;
}

double CFilterMeritPanel::PassbandMultiple() const {
    return passband_.value_or((1.0 - rolloff_) / 2.0);
}

double CFilterMeritPanel::StopbandMultiple() const {
    return stopband_.value_or((1.0 + rolloff_) / 2.0);
}

FilterBandEdges CFilterMeritPanel::Edges(int rate) const {
    const double r = static_cast<double>(rate);
    return {std::min(PassbandMultiple() / r, 0.5), std::min(StopbandMultiple() / r, 0.5)};
}

void CFilterMeritPanel::ShowInputs() {
    symbolRateEdit_->setText(symbolRate_ ? QString::fromStdString(pageconv::FormatFrequency(*symbolRate_))
                                         : QString());
    symbolRateEdit_->setPlaceholderText(
        chipSymbolRate_ ? QStringLiteral("chip: %1")
                              .arg(QString::fromStdString(pageconv::FormatFrequency(*chipSymbolRate_)))
                        : QStringLiteral("unknown: edges in x symbol rate"));
    rolloffEdit_->setText(QString::number(rolloff_, 'g', 6));
    const std::optional<double> reference = SymbolRateHz();
    const QString unit = reference ? QString() : QStringLiteral(" (x symbol rate)");
    passLabel_->setText(QStringLiteral("Pass band edge") + unit);
    stopLabel_->setText(QStringLiteral("Stop band edge") + unit);
    passEdit_->SetReference(reference);
    stopEdit_->SetReference(reference);
    passEdit_->SetValues({PassbandMultiple()});
    stopEdit_->SetValues({StopbandMultiple()});
}

void CFilterMeritPanel::CommitSymbolRate() {
    const QString text = symbolRateEdit_->text().trimmed();
    std::optional<double> rate;
    if (!text.isEmpty()) {
        rate = pageconv::ParseFrequency(text.toStdString());
        if (!rate || !(*rate > 0)) {
            note_->setText(QStringLiteral("The symbol rate must be a frequency above 0\n(\"2.5M\"); "
                                          "empty takes the chip's."));
            note_->show();
            ShowInputs();
            return;
        }
    }
    note_->hide();
    if (rate == symbolRate_)
        return;
    // The edges stay where they are relative to the symbol rate.
    symbolRate_ = rate;
    ShowInputs();
    Save();
    emit bandChanged();
}

void CFilterMeritPanel::CommitRolloff() {
    const std::optional<double> read = pageconv::ParseNumber(rolloffEdit_->text().toStdString());
    if (!read || *read < 0 || *read > 1) {
        note_->setText(QStringLiteral("The roll-off must be a number from 0 to 1."));
        note_->show();
        ShowInputs();
        return;
    }
    note_->hide();
    if (*read == rolloff_)
        return;
    rolloff_ = *read;
    UseRolloffEdges();
}

void CFilterMeritPanel::CommitEdges() {
    const std::optional<double> pass = passEdit_->Value();
    const std::optional<double> stop = stopEdit_->Value();
    // An emptied edge goes back to the roll-off's.
    const double passMultiple = pass.value_or((1.0 - rolloff_) / 2.0);
    const double stopMultiple = stop.value_or((1.0 + rolloff_) / 2.0);
    if (!(passMultiple > 0 && passMultiple < stopMultiple)) {
        note_->setText(QStringLiteral("The pass band edge must be above 0\nand below the stop band edge."));
        note_->show();
        ShowInputs();
        return;
    }
    note_->hide();
    passband_ = pass;
    stopband_ = stop;
    ShowInputs();
    Save();
    emit bandChanged();
}

void CFilterMeritPanel::UseRolloffEdges() {
    passband_.reset();
    stopband_.reset();
    ShowInputs();
    Save();
    emit bandChanged();
}

QString CFilterMeritPanel::FrequencyText(double cyclesPerSample, int rate) const {
    if (std::isnan(cyclesPerSample))
        return NoFigure();
    const double multiple = cyclesPerSample * rate;
    const std::optional<double> reference = SymbolRateHz();
    return reference ? CompactFrequency(multiple * *reference)
                     : QStringLiteral("%1 x Rs").arg(multiple, 0, 'g', 5);
}

void CFilterMeritPanel::ShowFigures(const std::vector<Column>& columns, int rate) {
    if (columns.empty()) {
        table_->Show({}, {});
        bandNote_->hide();
        return;
    }
    struct Row {
        QString name;
        std::function<QString(const FilterMerit&)> text;
    };
    const auto number = [](double value, int decimals) { return FigureText(value, decimals, QString()); };
    // The frequencies' unit in the row's name keeps four columns within the side column.
    const std::optional<double> reference = SymbolRateHz();
    const FrequencyUnit unit =
        reference ? UnitFor(*reference / 2.0) : FrequencyUnit{1.0, QStringLiteral("x Rs")};
    const auto frequency = [&](double cyclesPerSample) {
        if (std::isnan(cyclesPerSample))
            return NoFigure();
        const double multiple = cyclesPerSample * rate;
        return QString::number(reference ? multiple * *reference / unit.hz : multiple, 'g', 7);
    };
    const Row rows[] = {
        {QStringLiteral("DC gain (dB)"), [&](const FilterMerit& m) { return number(m.dcGainDb, 4); }},
        {QStringLiteral("Ripple (dB)"), [&](const FilterMerit& m) { return number(m.rippleDb, 4); }},
        {QStringLiteral("Stop band (dB)"), [&](const FilterMerit& m) { return number(-m.stopbandDb, 2); }},
        {QStringLiteral("-3 dB (%1)").arg(unit.name),
         [&](const FilterMerit& m) { return frequency(m.f3db); }},
        {QStringLiteral("-6 dB (%1)").arg(unit.name),
         [&](const FilterMerit& m) { return frequency(m.f6db); }},
        {QStringLiteral("Group delay"), [&](const FilterMerit& m) { return number(m.groupDelay, 2); }},
        {QStringLiteral("GD variation"),
         [&](const FilterMerit& m) { return number(m.groupDelayVariation, 3); }},
        {QStringLiteral("ISI EVM (%)"), [&](const FilterMerit& m) { return number(m.isiEvmPercent, 4); }},
        {QStringLiteral("ISI EVM (dB)"), [&](const FilterMerit& m) { return number(m.isiEvmDb, 2); }},
    };
    QStringList headings = {QString()};
    for (const Column& column : columns)
        headings.append(column.heading);
    std::vector<QStringList> cells;
    for (const Row& row : rows) {
        QStringList line = {row.name};
        for (const Column& column : columns)
            line.append(row.text(column.merit));
        cells.push_back(line);
    }
    table_->Show(headings, cells);
    const FilterBandEdges edges = Edges(rate);
    // Short lines, no wrapping: the panel's height is then known before it is laid out.
    bandNote_->setText(
        QStringLiteral("Ripple: peak to peak, DC to %1.<br>Stop band: worst level below DC from %2."
                       "<br>Roll-off %3, %4 output samples a symbol;<br>group delay and its "
                       "variation in those samples.<br>ISI EVM: the floor a matched pair of these taps"
                       "<br>leaves at the symbol instants.")
            .arg(FrequencyText(edges.passband, rate), FrequencyText(edges.stopband, rate))
            .arg(rolloff_, 0, 'g', 6)
            .arg(rate));
    bandNote_->show();
}

QString CFilterMeritPanel::FiguresText() const {
    return table_->isHidden() ? QString() : table_->Text() + QLatin1Char('\n') + bandNote_->text();
}

QString CFilterMeritPanel::NoteText() const {
    return note_->isHidden() ? QString() : note_->text();
}

} // namespace tarsion
