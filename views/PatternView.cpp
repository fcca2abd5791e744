#include "views/PatternView.h"

#include "board/ChipRegisters.h"
#include "ops/MemoryReadBack.h"
#include "registers/PageConversions.h"
#include "views/PatternMeritPanel.h"
#include "views/PlotExport.h"
#include "views/SpectrumMarkers.h"

#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QScrollBar>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

namespace tarsion {

namespace {
const QColor kIColor(0x1f, 0x77, 0xb4);
const QColor kQColor(0xff, 0x7f, 0x0e);
const QColor kMarkerColor(0x2c, 0xa0, 0x2c);
constexpr double kSpectrumTop = 10.0;
constexpr double kSpectrumBottom = -150.0;
constexpr double kWheelZoom = 0.8;
constexpr int kSideWidth = 320;
constexpr std::size_t kFewestShown = 8;
constexpr int kFallbackColumns = 1000;
constexpr std::size_t kShownMismatches = 8;

const char* KindName(std::int32_t kind) {
    switch (kind) {
    case 1:
        return "Sine Wave";
    case 2:
        return "Cos Wave";
    default:
        return "DC";
    }
}

} // namespace

CPatternView::CPatternView(CTarsionDoc& doc, CBoardOperations& ops, IViewSettings& settings, QWidget* parent)
    : QWidget(parent), doc_(doc), ops_(ops), redraw_([this] { Redraw(); }) {
    setObjectName(QStringLiteral("patternView"));
    auto* layout = new QVBoxLayout(this);
    auto* middle = new QHBoxLayout();
    plots_ = new QWidget(this);
    auto* plotLayout = new QVBoxLayout(plots_);
    plotLayout->setContentsMargins(0, 0, 0, 0);
    time_ = CreateChart(plots_, QStringLiteral("Pattern memory"), QStringLiteral("Sample pair"),
                        QStringLiteral("Fraction of full scale"));
    iTime_ = time_.AddSeries(QStringLiteral("I"), kIColor);
    qTime_ = time_.AddSeries(QStringLiteral("Q"), kQColor);
    time_.y->setRange(-1.0, 1.0);
    time_.y->setTickCount(5);
    time_.view->setRubberBand(QChartView::HorizontalRubberBand);
    time_.view->installEventFilter(this);
    time_.view->setFocusPolicy(Qt::StrongFocus);
    pan_ = new QScrollBar(Qt::Horizontal, plots_);
    spectrum_ = CreateChart(plots_, QStringLiteral("Spectrum"), QString(), QStringLiteral("dBFS"));
    iSpectrum_ = spectrum_.AddSeries(QStringLiteral("I"), kIColor);
    qSpectrum_ = spectrum_.AddSeries(QStringLiteral("Q"), kQColor);
    marker_ = spectrum_.AddSeries(QStringLiteral("Pattern frequency"), kMarkerColor, Qt::DashLine);
    spectrum_.y->setRange(kSpectrumBottom, kSpectrumTop);
    spectrum_.y->setTickCount(9);
    plotLayout->addWidget(time_.view, 1);
    plotLayout->addWidget(pan_);
    plotLayout->addWidget(spectrum_.view, 1);
    figures_ = CreateFiguresLabel(this, QStringLiteral("patternFigures"));
    markers_ = new CSpectrumMarkers(spectrum_, this);
    meritPanel_ = new CPatternMeritPanel(settings, this);
    middle->addWidget(plots_, 1);
    QVBoxLayout* side = AddSideColumn(this, *middle, kSideWidth);
    figures_->setMaximumWidth(kSideWidth);
    side->addWidget(markers_);
    side->addWidget(meritPanel_);
    side->addWidget(figures_, 1);
    layout->addLayout(middle, 1);

    auto* bottom = new QHBoxLayout();
    auto* whole = new QPushButton(QStringLiteral("Whole Pattern"), this);
    auto* read = new QPushButton(QStringLiteral("Read from Board"), this);
    read->setObjectName(QStringLiteral("readFromBoard"));
    read->setToolTip(QStringLiteral("Reads the used region of the pattern memory back and plots it"));
    auto* verify = new QPushButton(QStringLiteral("Verify"), this);
    verify->setToolTip(QStringLiteral("Reads the pattern memory back and compares it with what was loaded"));
    bottom->addWidget(whole);
    bottom->addWidget(read);
    bottom->addWidget(verify);
    bottom->addWidget(
        CreateExportButtons(this, QStringLiteral("pattern"),
                            {[this](const QString& path) { return ExportPng(*plots_, path); },
                             [this](const QString& path) {
                                 return ExportSvg(*plots_, path, QStringLiteral("Pattern memory"));
                             },
                             [this](const QString& path) { return ExportText(path, CsvText()); }}),
        1);
    layout->addLayout(bottom);

    connect(whole, &QPushButton::clicked, this, &CPatternView::ShowWholePattern);
    connect(read, &QPushButton::clicked, this, [this] { CMemoryReader(ops_).Read(ChipMemory::Pattern); });
    connect(verify, &QPushButton::clicked, this, &CPatternView::Verify);
    connect(pan_, &QScrollBar::valueChanged, this,
            [this](int value) { ShowSamples(static_cast<std::size_t>(std::max(value, 0)), count_); });
    connect(time_.x, &QValueAxis::rangeChanged, this, &CPatternView::OnTimeRangeChanged);
    connect(meritPanel_, &CPatternMeritPanel::optionsChanged, this, [this] {
        ++options_;
        OnDocumentUpdate();
    });
    connect(meritPanel_, &CPatternMeritPanel::channelChanged, this, [this] {
        ++channelChoices_;
        OnDocumentUpdate();
    });
    doc_.AddObserver(this);
    redraw_.MarkStale(false);
}

CPatternView::~CPatternView() {
    doc_.RemoveObserver(this);
}

CPatternView::DrawnState CPatternView::CurrentState() const {
    const RegisterShadow& shadow = doc_.Shadow();
    return {doc_.loaded.Generation(),
            shadow.FetchBridgeReg(bridgereg::kBoardControl),
            shadow.FetchChipReg(chipreg::kSymbolFrequency),
            shadow.SysClk(),
            shadow.ClockPin(),
            options_,
            channelChoices_};
}

void CPatternView::OnDocumentUpdate() {
    // Called for every log line and register store: only compare, never draw here.
    if (!redraw_.Stale() && CurrentState() == drawn_)
        return;
    redraw_.MarkStale(isVisible());
}

void CPatternView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    redraw_.Shown();
}

void CPatternView::Analyse() {
    analysedGeneration_ = doc_.loaded.Generation();
    const std::optional<LoadedPattern>& pattern = doc_.loaded.Pattern();
    // What the board holds, once read, is what the plots show.
    const auto& read = doc_.loaded.PatternRead();
    // As written: the load and the words written over it since, as the figures for scripts take it.
    pairs_ = read ? read->contents.pairs : pattern ? PairsAsWritten(*pattern) : std::vector<SamplePair>{};
    i_ = ChannelSamples(pairs_, false);
    q_ = ChannelSamples(pairs_, true);
    time_.chart->setTitle(read ? QStringLiteral("Pattern memory, read from the board at %1")
                                     .arg(QString::fromStdString(read->readAt))
                          : pattern ? QStringLiteral("Pattern memory, as written")
                                    : QStringLiteral("Pattern memory"));
    patternFrequency_ =
        pattern && pattern->generated ? GeneratedPatternFrequency(pattern->settings) : std::nullopt;
    first_ = 0;
    count_ = PatternLength();
    AnalyseMerits();
    TraceSpectra();
}

void CPatternView::AnalyseMerits() {
    analysedOptions_ = options_;
    if (pairs_.empty()) {
        merits_.reset();
        return;
    }
    ++meritAnalyses_;
    merits_ = PatternMeritsOf(pairs_, meritPanel_->Options(), fft_);
}

void CPatternView::TraceSpectra() {
    iTrace_ = qTrace_ = iqTrace_ = SpectrumTrace{};
    const std::size_t n = PatternLength();
    if (!merits_ || n == 0)
        return;
    // Each spectrum under the window its figures were taken with; a window's transforms are made once.
    struct Transforms {
        WindowedTransform i;
        WindowedTransform q;
        double sum = 0;
    };
    std::map<SpectrumWindow, Transforms> made;
    const auto under = [&](SpectrumWindow window) -> const Transforms& {
        auto found = made.find(window);
        if (found == made.end()) {
            const std::vector<double> weights = WindowWeights(window, n);
            found = made.emplace(window, Transforms{TransformUnder(i_, weights, fft_),
                                                    TransformUnder(q_, weights, fft_), WindowSum(weights, n)})
                        .first;
        }
        return found->second;
    };
    const Transforms& i = under(merits_->i.window);
    iTrace_ = RealTrace(i.i, i.sum, n);
    const Transforms& q = under(merits_->q.window);
    qTrace_ = RealTrace(q.q, q.sum, n);
    const Transforms& iq = under(merits_->iq.window);
    iqTrace_ = ComplexTrace(iq.i, iq.q, iq.sum, n);
}

const SpectrumTrace& CPatternView::ShownTrace() const {
    switch (meritPanel_->Channel()) {
    case PatternChannel::Q:
        return qTrace_;
    case PatternChannel::IQ:
        return iqTrace_;
    default:
        return iTrace_;
    }
}

void CPatternView::Redraw() {
    drawn_ = CurrentState();
    if (analysedGeneration_ != drawn_.generation) {
        Analyse();
    } else if (analysedOptions_ != drawn_.options) {
        // The options change the figures; the spectra only where a window comes out otherwise.
        const auto windows = [this] {
            return merits_ ? std::array{merits_->i.window, merits_->q.window, merits_->iq.window}
                           : std::array<SpectrumWindow, 3>{};
        };
        const auto before = windows();
        AnalyseMerits();
        if (windows() != before)
            TraceSpectra();
    }
    DrawTime();
    DrawSpectrum();
    DrawFigures();
}

void CPatternView::DrawTime() {
    const int width = static_cast<int>(time_.chart->plotArea().width());
    const std::size_t columns = static_cast<std::size_t>(width > 0 ? width : kFallbackColumns);
    iTime_->replace(EnvelopePoints(i_, first_, count_, columns, 1.0, false));
    qTime_->replace(EnvelopePoints(q_, first_, count_, columns, 1.0, false));
    settingRange_ = true;
    SetRoundTicks(time_.x, static_cast<double>(first_),
                  static_cast<double>(first_ + std::max<std::size_t>(count_, 2) - 1), true);
    const int hidden = static_cast<int>(PatternLength() - count_);
    pan_->blockSignals(true);
    pan_->setRange(0, std::max(hidden, 0));
    pan_->setPageStep(static_cast<int>(std::max<std::size_t>(count_, 1)));
    pan_->setSingleStep(static_cast<int>(std::max<std::size_t>(count_ / 10, 1)));
    pan_->setValue(static_cast<int>(first_));
    pan_->blockSignals(false);
    settingRange_ = false;
}

void CPatternView::DrawSpectrum() {
    const std::optional<double> dataClk = DataClkHz(doc_.Shadow());
    const FrequencyAxisScale scale = FrequencyAxisFor(dataClk, 0.5, QStringLiteral("DataClk"));
    const bool complex = meritPanel_->Channel() == PatternChannel::IQ;
    const int width = static_cast<int>(spectrum_.chart->plotArea().width());
    const std::size_t columns = static_cast<std::size_t>(width > 0 ? width : kFallbackColumns);
    const double binStep =
        PatternLength() > 0 ? scale.perMultiple / static_cast<double>(PatternLength()) : 0.0;
    // Peaks matter in a spectrum: a column shows its largest bin.
    const auto points = [&](const SpectrumTrace& trace) {
        QList<QPointF> list = EnvelopePoints(trace.dbfs, 0, trace.dbfs.size(), columns, binStep, true);
        const double first = trace.Empty() ? 0.0 : trace.frequency.front() * scale.perMultiple;
        for (QPointF& point : list)
            point.rx() += first;
        return list;
    };
    iSpectrum_->setName(complex ? QStringLiteral("I+jQ") : QStringLiteral("I"));
    iSpectrum_->replace(points(complex ? iqTrace_ : iTrace_));
    qSpectrum_->replace(complex ? QList<QPointF>{} : points(qTrace_));
    qSpectrum_->setVisible(!complex);
    spectrum_.x->setTitleText(scale.title);
    SetRoundTicks(spectrum_.x, complex ? -0.5 * scale.perMultiple : 0.0, 0.5 * scale.perMultiple, false);
    const auto window = [](const PatternMerit& m) { return QString::fromLatin1(WindowName(m.window)); };
    QString title = QStringLiteral("Spectrum");
    if (merits_)
        title += complex || merits_->i.window == merits_->q.window
                     ? QStringLiteral(" (window: %1)").arg(window(complex ? merits_->iq : merits_->i))
                     : QStringLiteral(" (window: I %1, Q %2)").arg(window(merits_->i), window(merits_->q));
    spectrum_.chart->setTitle(title);
    if (patternFrequency_ && !iTrace_.Empty()) {
        const double x = *patternFrequency_ * scale.perMultiple;
        marker_->replace({{x, kSpectrumBottom}, {x, kSpectrumTop}});
    } else {
        marker_->clear();
    }
    markers_->SetTrace(&ShownTrace(), scale.perMultiple, dataClk);
}

void CPatternView::DrawFigures() {
    const std::optional<LoadedPattern>& pattern = doc_.loaded.Pattern();
    const auto& read = doc_.loaded.PatternRead();
    const std::optional<std::string> note = doc_.loaded.MismatchNote(ChipMemory::Pattern);
    QString text = QStringLiteral("<b>Pattern memory</b><br>");
    if (note)
        text += QStringLiteral("<p><b>The memory matches no file: %1</b></p>")
                    .arg(QString::fromStdString(*note).toHtmlEscaped());
    if (!pattern && !read) {
        figures_->setText(text +
                          QStringLiteral("<p>Not loaded since the program started. The board may still "
                                         "hold a pattern: Read from Board shows it.</p>") +
                          VerifyLine());
        return;
    }
    if (pattern) {
        const PatternSettings& s = pattern->settings;
        if (pattern->generated) {
            text +=
                QStringLiteral("Generated: I %1, amplitude %2; Q %3, amplitude %4<br>Samples per cycle: %5")
                    .arg(QString::fromLatin1(KindName(s.iKind)))
                    .arg(s.iAmplitude)
                    .arg(QString::fromLatin1(KindName(s.qKind)))
                    .arg(s.qAmplitude)
                    .arg(s.samplesPerCycle, 0, 'g', 15);
        } else {
            text += QStringLiteral("File: %1").arg(QString::fromStdString(s.fileName).toHtmlEscaped());
        }
        text += QStringLiteral("<br>%1 sample pairs written").arg(pattern->pairs.size());
    } else {
        text += QStringLiteral("Not loaded since the program started.");
    }
    if (read)
        text += QStringLiteral("<br>Read from the board at %1: %2 sample pairs from address %3")
                    .arg(QString::fromStdString(read->readAt))
                    .arg(read->contents.pairs.size())
                    .arg(read->contents.start, 5, 16, QLatin1Char('0'));
    const std::optional<double> dataClk = DataClkHz(doc_.Shadow());
    const auto hertz = [&dataClk](double multiple) {
        return dataClk ? QStringLiteral(" = %1").arg(
                             QString::fromStdString(pageconv::FormatFrequency(multiple * *dataClk)))
                       : QString();
    };
    text += QStringLiteral("<p>DataClk: %1")
                .arg(dataClk ? QString::fromStdString(pageconv::FormatFrequency(*dataClk))
                             : QStringLiteral("unknown"));
    if (patternFrequency_)
        text += QStringLiteral("<br>Pattern frequency: %1 x DataClk").arg(*patternFrequency_, 0, 'g', 8) +
                hertz(*patternFrequency_);
    text += QStringLiteral("</p>");
    meritPanel_->SetSampleRate(dataClk);
    meritPanel_->ShowFigures(merits_ ? &*merits_ : nullptr);
    text += QStringLiteral("<p>Shown: pairs %1 to %2</p>")
                .arg(first_)
                .arg(first_ + count_ - (count_ > 0 ? 1 : 0));
    figures_->setText(text + VerifyLine());
}

QString CPatternView::VerifyLine() const {
    const std::optional<VerifyReport>& report = doc_.loaded.LastVerify(ChipMemory::Pattern);
    if (!report)
        return {};
    QString text =
        QStringLiteral("<p><b>Verify</b>: %1").arg(QString::fromStdString(report->summary).toHtmlEscaped());
    const std::size_t shown = std::min<std::size_t>(report->mismatches.size(), kShownMismatches);
    for (std::size_t i = 0; i < shown; ++i) {
        const WordMismatch& m = report->mismatches[i];
        text += QStringLiteral("<br><tt>%1: expected %2 read %3</tt>")
                    .arg(m.address, 5, 16, QLatin1Char('0'))
                    .arg(QString::fromStdString(m.expected), QString::fromStdString(m.read));
    }
    if (report->mismatches.size() > shown)
        text += QStringLiteral("<br>... %1 more in the log").arg(report->mismatches.size() - shown);
    return text + QStringLiteral("</p>");
}

void CPatternView::Verify() {
    if (doc_.loaded.Pattern()) {
        CMemoryVerifier(ops_).Verify(ChipMemory::Pattern);
        return;
    }
    // Loaded before the program started: compare with a file the user names.
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Verify with File"), QString::fromStdString(doc_.startDirectory),
        QStringLiteral("Pattern Files (*.pat *.imp);;All Files (*)"));
    if (!file.isEmpty())
        CMemoryVerifier(ops_).Verify(ChipMemory::Pattern, file.toStdString());
}

bool CPatternView::ShowSamples(std::size_t first, std::size_t count) {
    const std::size_t length = PatternLength();
    count = std::clamp(count, std::min(kFewestShown, length), length);
    first = std::min(first, length - count);
    if (first == first_ && count == count_)
        return false;
    first_ = first;
    count_ = count;
    DrawTime();
    DrawFigures();
    return true;
}

void CPatternView::ShowWholePattern() {
    ShowSamples(0, PatternLength());
}

qsizetype CPatternView::TimePointCount() const {
    return iTime_->count();
}

void CPatternView::Zoom(double factor, double centre) {
    const double count = std::max(static_cast<double>(count_) * factor, 1.0);
    const double first = centre - (centre - static_cast<double>(first_)) * factor;
    ShowSamples(static_cast<std::size_t>(std::max(first, 0.0)),
                static_cast<std::size_t>(std::llround(count)));
}

void CPatternView::OnTimeRangeChanged(double min, double max) {
    // The rubber band and its right-click zoom-out move the axis; follow them.
    if (settingRange_)
        return;
    const double first = std::max(std::floor(min), 0.0);
    // Samples already shown: put the axis back on them.
    if (!ShowSamples(static_cast<std::size_t>(first),
                     static_cast<std::size_t>(std::max(std::ceil(max) - first + 1, 1.0))))
        DrawTime();
}

bool CPatternView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != time_.view || PatternLength() == 0)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const QPointF value = time_.chart->mapToValue(time_.view->mapToScene(wheel->position().toPoint()));
        Zoom(wheel->angleDelta().y() > 0 ? kWheelZoom : 1.0 / kWheelZoom, value.x());
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const double centre = static_cast<double>(first_) + static_cast<double>(count_) / 2.0;
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Plus:
            Zoom(kWheelZoom, centre);
            return true;
        case Qt::Key_Minus:
            Zoom(1.0 / kWheelZoom, centre);
            return true;
        case Qt::Key_Left:
            ShowSamples(first_ - std::min(first_, std::max<std::size_t>(count_ / 10, 1)), count_);
            return true;
        case Qt::Key_Right:
            ShowSamples(first_ + std::max<std::size_t>(count_ / 10, 1), count_);
            return true;
        case Qt::Key_Home:
            ShowWholePattern();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString CPatternView::FiguresText() const {
    return figures_->text();
}

QString CPatternView::CsvText() const {
    // Columns are only ever added at the end: scripts read the first ones by position.
    const std::optional<double> dataClk = DataClkHz(doc_.Shadow());
    QString csv = QStringLiteral("pair,i,q,bin,frequency_x_dataclk,i_dbfs,q_dbfs");
    csv += dataClk ? QStringLiteral(",frequency_hz\n") : QStringLiteral("\n");
    const std::size_t bins = std::min(iTrace_.dbfs.size(), qTrace_.dbfs.size());
    for (std::size_t n = 0; n < PatternLength(); ++n) {
        csv += QStringLiteral("%1,%2,%3").arg(n).arg(i_[n], 0, 'g', 10).arg(q_[n], 0, 'g', 10);
        if (n < bins)
            csv += QStringLiteral(",%1,%2,%3,%4")
                       .arg(n)
                       .arg(static_cast<double>(n) / static_cast<double>(PatternLength()), 0, 'g', 12)
                       .arg(iTrace_.dbfs[n], 0, 'g', 10)
                       .arg(qTrace_.dbfs[n], 0, 'g', 10);
        else
            csv += QStringLiteral(",,,,");
        if (dataClk)
            csv += QLatin1Char(',') +
                   (n < bins ? QString::number(static_cast<double>(n) / static_cast<double>(PatternLength()) *
                                                   *dataClk,
                                               'g', 12)
                             : QString());
        csv += QLatin1Char('\n');
    }
    return csv;
}

} // namespace tarsion
