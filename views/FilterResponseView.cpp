#include "views/FilterResponseView.h"

#include "board/ChipRegisters.h"
#include "ops/BoardOperations.h"
#include "ops/ConstellationRam.h"
#include "ops/MemoryReadBack.h"
#include "registers/PageConversions.h"
#include "views/ConstellationChart.h"
#include "views/FilterMeritPanel.h"
#include "views/PlotExport.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace tarsion {

namespace {
constexpr int kShownMismatches = 8;
constexpr double kDbRange = 140.0;
const QColor kQuantizedColor(0x1f, 0x77, 0xb4);
const QColor kIdealColor(0xd6, 0x27, 0x28);
const QColor kReadColor(0x2c, 0xa0, 0x2c);
constexpr double kWheelZoom = 0.8;
// The constellation chart's width.
constexpr int kSideWidth = 360;

QString Text(const std::string& text) {
    return QString::fromStdString(text).toHtmlEscaped();
}

QString Decibels(double db) {
    return db <= kSilenceDb ? QStringLiteral("below %1 dB").arg(kSilenceDb)
                            : QStringLiteral("%1 dB").arg(db, 0, 'f', 1);
}
} // namespace

CFilterResponseView::CFilterResponseView(CTarsionDoc& doc, CBoardOperations& ops, IViewSettings& settings,
                                         QWidget* parent)
    : QWidget(parent), doc_(doc), ops_(ops), redraw_([this] { Redraw(); }) {
    setObjectName(QStringLiteral("filterResponseView"));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout();
    channelChoice_ = new QComboBox(this);
    channelChoice_->addItems({QStringLiteral("I Coefficient RAM"), QStringLiteral("Q Coefficient RAM")});
    auto* verify = new QPushButton(QStringLiteral("Verify"), this);
    verify->setToolTip(QStringLiteral("Reads the RAM back and compares it with what was loaded"));
    auto* verifyConstellation = new QPushButton(QStringLiteral("Verify Constellation RAM"), this);
    auto* read = new QPushButton(QStringLiteral("Read from Board"), this);
    read->setObjectName(QStringLiteral("readFromBoard"));
    read->setToolTip(
        QStringLiteral("Reads the RAM and the constellation RAM back and plots what the board holds"));
    auto* resetZoom = new QPushButton(QStringLiteral("Reset Zoom"), this);
    top->addWidget(channelChoice_);
    top->addWidget(read);
    top->addWidget(verify);
    top->addWidget(verifyConstellation);
    top->addWidget(resetZoom);
    top->addStretch(1);
    layout->addLayout(top);

    auto* middle = new QHBoxLayout();
    plots_ = new QWidget(this);
    auto* plotLayout = new QVBoxLayout(plots_);
    plotLayout->setContentsMargins(0, 0, 0, 0);
    magnitude_ =
        CreateChart(plots_, QStringLiteral("Magnitude response"), QString(), QStringLiteral("dB (gain / R)"));
    quantizedSeries_ = magnitude_.AddSeries(QStringLiteral("As written"), kQuantizedColor);
    idealSeries_ = magnitude_.AddSeries(QStringLiteral("Ideal (file x gain)"), kIdealColor);
    readSeries_ = magnitude_.AddSeries(QStringLiteral("Read from board"), kReadColor, Qt::DashLine);
    magnitude_.view->setRubberBand(QChartView::HorizontalRubberBand);
    magnitude_.view->installEventFilter(this);
    magnitude_.view->setFocusPolicy(Qt::StrongFocus);
    impulse_ = CreateChart(plots_, QStringLiteral("Impulse response"), QStringLiteral("Tap"),
                           QStringLiteral("Value"));
    tapSeries_ = impulse_.AddSeries(QStringLiteral("Taps as written"), kQuantizedColor);
    tapSeries_->setPointsVisible(true);
    readTapSeries_ = impulse_.AddSeries(QStringLiteral("Taps read from board"), kReadColor, Qt::DashLine);
    plotLayout->addWidget(magnitude_.view, 3);
    plotLayout->addWidget(impulse_.view, 2);
    figures_ = CreateFiguresLabel(this, QStringLiteral("filterFigures"));
    meritPanel_ = new CFilterMeritPanel(settings, this);
    constellation_ = std::make_unique<CConstellationChart>(this);
    middle->addWidget(plots_, 1);
    QVBoxLayout* side = AddSideColumn(this, *middle, kSideWidth);
    figures_->setMaximumWidth(kSideWidth);
    side->addWidget(meritPanel_);
    side->addWidget(figures_, 1);
    side->addWidget(constellation_->View());
    layout->addLayout(middle, 1);

    layout->addWidget(CreateExportButtons(
        this, QStringLiteral("filter-response"),
        {[this](const QString& path) { return ExportPng(*plots_, path); },
         [this](const QString& path) { return ExportSvg(*plots_, path, QStringLiteral("Filter response")); },
         [this](const QString& path) { return ExportText(path, CsvText()); }}));

    connect(channelChoice_, &QComboBox::currentIndexChanged, this, [this](int index) { ShowChannel(index); });
    connect(verify, &QPushButton::clicked, this, [this] { Verify(ShownMemory()); });
    connect(verifyConstellation, &QPushButton::clicked, this, [this] { Verify(ChipMemory::Constellation); });
    connect(read, &QPushButton::clicked, this, &CFilterResponseView::ReadFromBoard);
    connect(meritPanel_, &CFilterMeritPanel::bandChanged, this, [this] {
        ++band_;
        OnDocumentUpdate();
    });
    connect(resetZoom, &QPushButton::clicked, this, &CFilterResponseView::ResetZoom);
    connect(magnitude_.x, &QValueAxis::rangeChanged, this, [this](double min, double max) {
        // The rubber band and its right-click zoom-out move the axis; follow them.
        if (settingRange_)
            return;
        zoom_ = {min, max};
        DrawMagnitude();
    });
    doc_.AddObserver(this);
    redraw_.MarkStale(false);
}

CFilterResponseView::~CFilterResponseView() {
    doc_.RemoveObserver(this);
}

CFilterResponseView::DrawnState CFilterResponseView::CurrentState() const {
    return {doc_.loaded.Generation(), channel_, doc_.Shadow().FetchChipReg(chipreg::kSymbolFrequency),
            doc_.Shadow().SysClk(), band_};
}

void CFilterResponseView::OnDocumentUpdate() {
    // Called for every log line and register store: only compare, never draw here.
    if (!redraw_.Stale() && CurrentState() == drawn_)
        return;
    redraw_.MarkStale(isVisible());
}

void CFilterResponseView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    redraw_.Shown();
}

void CFilterResponseView::ShowChannel(int which) {
    channel_ = which == 0 ? 0 : 1;
    if (channelChoice_->currentIndex() != channel_)
        channelChoice_->setCurrentIndex(channel_);
    OnDocumentUpdate();
}

void CFilterResponseView::ShowConstellation() {
    // After a failed load the RAM holds no file: nothing of it is "as written".
    const std::optional<ConstellationImage>& written = doc_.loaded.Constellation();
    const bool whole = written && !doc_.loaded.Partial(ChipMemory::Constellation);
    const auto& read = doc_.loaded.ConstellationRead();
    constellation_->Show(whole ? &*written : nullptr, read ? &*read : nullptr);
}

void CFilterResponseView::DrawNothing() {
    for (QLineSeries* series : {quantizedSeries_, idealSeries_, tapSeries_, readSeries_, readTapSeries_})
        series->clear();
    frequencies_.clear();
    quantizedDb_.clear();
    idealDb_.clear();
    taps_.clear();
    idealTaps_.clear();
    readDb_.clear();
    readTaps_.clear();
    merits_ = {};
    meritPanel_->ShowFigures({}, 1);
    figures_->setText(QStringLiteral("<b>%1</b><p>Not loaded since the program started. The board may still "
                                     "hold a filter: Read from Board shows it.</p>%2%3")
                          .arg(channelChoice_->currentText(), PartialLine(), VerifyLines()));
}

QString CFilterResponseView::PartialLine() const {
    const std::optional<std::string> note = doc_.loaded.MismatchNote(ShownMemory());
    return note ? QStringLiteral("<p><b>The RAM matches no file: %1</b></p>").arg(Text(*note)) : QString();
}

void CFilterResponseView::Analyse(const LoadedCoefficients* loaded, const CoefficientRamImage* read,
                                  const FilterGeometry& g) {
    rate_ = g.rate;
    taps_.clear();
    idealTaps_.clear();
    quantizedDb_.clear();
    idealDb_.clear();
    readTaps_.clear();
    readDb_.clear();
    if (loaded) {
        taps_ = TapsFromTable(loaded->words, g);
        idealTaps_ = loaded->idealTaps;
        const auto quantized = FrequencyResponse(taps_, g.rate, kResponsePoints);
        const auto ideal = FrequencyResponse(idealTaps_, g.rate, kResponsePoints);
        quantizedDb_ = MagnitudeDb(quantized, g.rate);
        idealDb_ = MagnitudeDb(ideal, g.rate);
        filterFigures_ = FilterFiguresOf(quantized, ideal, g.rate);
    }
    if (read) {
        readTaps_ = TapsFromTable(*read, g);
        readDb_ = MagnitudeDb(FrequencyResponse(readTaps_, g.rate, kResponsePoints), g.rate);
    }
    frequencies_.resize(kResponsePoints);
    for (int k = 0; k < kResponsePoints; ++k)
        frequencies_[k] = ResponseFrequency(k, g.rate, kResponsePoints);
}

void CFilterResponseView::Redraw() {
    const DrawnState previous = drawn_;
    drawn_ = CurrentState();
    ShowConstellation();
    const std::optional<LoadedCoefficients>& loaded = doc_.loaded.Coefficients(channel_);
    const auto& read = doc_.loaded.CoefficientsRead(channel_);
    if (!loaded && !read) {
        DrawNothing();
        return;
    }
    // Without a load of its own the program knows the filter's shape only from the Filter page.
    const CoefficientSettings& settings = channel_ == 0 ? doc_.coefficientI : doc_.coefficientQ;
    const FilterGeometry g =
        loaded ? loaded->geometry : FilterGeometry::For(settings.interpolation, settings.twoBitMode);
    // A new symbol rate or SysClk only rescales the frequency axis: the taps are the same.
    const bool dataChanged = drawn_.generation != previous.generation || drawn_.channel != previous.channel;
    if (dataChanged)
        Analyse(loaded ? &*loaded : nullptr, read ? &read->contents : nullptr, g);
    const std::optional<double> symbolRate = SymbolRateHz(doc_.Shadow());
    meritPanel_->SetChipSymbolRate(symbolRate);
    if (dataChanged || drawn_.band != previous.band)
        AnalyseMerits(loaded ? &*loaded : nullptr, read ? &read->contents : nullptr, g);
    ShowMerits(g);

    const FrequencyAxisScale scale =
        FrequencyAxisFor(symbolRate, g.rate / 2.0, QStringLiteral("symbol rate"));
    if (scale.perMultiple != frequencyScale_ || drawn_.channel != previous.channel)
        zoom_.reset();
    frequencyScale_ = scale.perMultiple;
    magnitude_.x->setTitleText(scale.title);
    readSeries_->setName(read ? QStringLiteral("Read from board %1").arg(QString::fromStdString(read->readAt))
                              : QStringLiteral("Read from board"));
    DrawMagnitude();

    QList<QPointF> tapPoints;
    QList<QPointF> readPoints;
    for (std::size_t n = 0; n < taps_.size(); ++n)
        tapPoints.append({static_cast<double>(n), taps_[n]});
    for (std::size_t n = 0; n < readTaps_.size(); ++n)
        readPoints.append({static_cast<double>(n), readTaps_[n]});
    tapSeries_->replace(tapPoints);
    readTapSeries_->replace(readPoints);
    std::vector<double> all = taps_;
    all.insert(all.end(), readTaps_.begin(), readTaps_.end());
    const auto [low, high] = std::minmax_element(all.begin(), all.end());
    const double margin = std::max(0.05 * (*high - *low), 1e-3);
    const std::size_t tapCount = std::max(taps_.size(), readTaps_.size());
    // Each tap at a whole number, the axis no wider than the taps.
    SetRoundTicks(impulse_.x, 0, static_cast<double>(std::max<std::size_t>(tapCount, 2) - 1), true);
    SetRoundTicks(impulse_.y, *low - margin, *high + margin, false);

    const QString edge = symbolRate ? QString::fromStdString(pageconv::FormatFrequency(*symbolRate))
                                    : QStringLiteral("unknown (register 0x0B is 0)");
    QString text = QStringLiteral("<b>%1</b><br>").arg(channelChoice_->currentText()) + PartialLine();
    if (loaded) {
        // The tap count is the table's at this rate, whatever the file lists: a shorter file is
        // padded with zeros.
        text += QStringLiteral("File: %1<br>Rate %2, a table of %3 taps (%4 a phase; a file with fewer is "
                               "padded with 0)%5%6")
                    .arg(Text(loaded->fileName))
                    .arg(g.rate)
                    .arg(g.taps)
                    .arg(g.taps / g.rate)
                    .arg(g.twoBitMode ? QStringLiteral(", 2-bit mode") : QString(),
                         loaded->symmetric ? QStringLiteral(", symmetric") : QString());
        text += QStringLiteral("<p>Gain used: %1 (%2)<br>DC gain: %3 (ideal %4)<br>"
                               "Worst stop band beyond the symbol rate: %5 (re DC)<br>"
                               "Largest difference from the ideal: %6 (%7 re unity)</p>")
                    .arg(loaded->gain, 0, 'g', 10)
                    .arg(loaded->bestFit ? QStringLiteral("Best Fit: the first gain its scaling steps reach "
                                                          "that fits; a forced gain may go up to the largest "
                                                          "that fits, which a refused forced load names")
                                         : QStringLiteral("forced"))
                    .arg(filterFigures_.dcGain, 0, 'f', 6)
                    .arg(filterFigures_.idealDcGain, 0, 'f', 6)
                    .arg(Decibels(filterFigures_.stopBandDb))
                    .arg(filterFigures_.largestDifference, 0, 'g', 3)
                    .arg(Decibels(filterFigures_.largestDifference > 0
                                      ? 20.0 * std::log10(filterFigures_.largestDifference)
                                      : kSilenceDb));
    } else {
        text += QStringLiteral("Not loaded since the program started: the taps read back are shown with "
                               "the rate and tap count of the Filter page (rate %1, %2 taps%3).")
                    .arg(g.rate)
                    .arg(g.taps)
                    .arg(g.twoBitMode ? QStringLiteral(", 2-bit mode") : QString());
    }
    if (read)
        text += QStringLiteral("<p>Read from the board at %1</p>").arg(QString::fromStdString(read->readAt));
    text += QStringLiteral("<p>Symbol rate: %1</p>").arg(edge);
    figures_->setText(text + VerifyLines());
}

void CFilterResponseView::AnalyseMerits(const LoadedCoefficients* loaded, const CoefficientRamImage* read,
                                        const FilterGeometry& g) {
    ++meritAnalyses_;
    const FilterBandEdges edges = meritPanel_->Edges(g.rate);
    merits_ = {};
    if (loaded) {
        merits_.written = FilterMeritOf(loaded->words, g, edges, fft_);
        merits_.file = FilterMeritOf(loaded->idealTaps, g.rate, edges, fft_);
    }
    if (read)
        merits_.read = FilterMeritOf(*read, g, edges, fft_);
}

void CFilterResponseView::ShowMerits(const FilterGeometry& g) {
    // The file's taps stand beside both: what rounding to the RAM's words costs reads across a row.
    std::vector<CFilterMeritPanel::Column> columns;
    if (merits_.written)
        columns.push_back({QStringLiteral("As written"), *merits_.written});
    if (merits_.file)
        columns.push_back({QStringLiteral("File taps"), *merits_.file});
    if (merits_.read)
        columns.push_back({QStringLiteral("Read back"), *merits_.read});
    meritPanel_->ShowFigures(columns, g.rate);
}

void CFilterResponseView::DrawMagnitude() {
    if (frequencies_.empty())
        return;
    const double full = rate_ / 2.0 * frequencyScale_;
    double low = zoom_ ? std::clamp(zoom_->first, 0.0, full) : 0.0;
    double high = zoom_ ? std::clamp(zoom_->second, 0.0, full) : full;
    if (!(high > low)) {
        low = 0.0;
        high = full;
    }
    const double step = ResponseFrequency(1, rate_, kResponsePoints) * frequencyScale_;
    const auto last =
        std::min<std::size_t>(static_cast<std::size_t>(std::ceil(high / step)) + 1, frequencies_.size());
    const auto first = std::min(static_cast<std::size_t>(std::floor(low / step)), last - 1);
    const std::size_t count = last - first;
    // 2048 points on a few hundred pixels: draw each column's extremes, nulls included.
    const int width = static_cast<int>(magnitude_.chart->plotArea().width());
    const std::size_t columns = static_cast<std::size_t>(width > 0 ? width : kResponsePoints);
    double lowest = 0.0;
    double highest = -kDbRange;
    bool any = false;
    for (const auto& [series, values] :
         {std::pair{quantizedSeries_, &quantizedDb_}, std::pair{idealSeries_, &idealDb_},
          std::pair{readSeries_, &readDb_}}) {
        if (values->empty()) {
            series->clear();
            continue;
        }
        series->replace(EnvelopePoints(*values, first, count, columns, step, false));
        const auto [min, max] = std::minmax_element(values->begin() + static_cast<std::ptrdiff_t>(first),
                                                    values->begin() + static_cast<std::ptrdiff_t>(last));
        lowest = any ? std::min(lowest, *min) : *min;
        highest = any ? std::max(highest, *max) : *max;
        any = true;
    }
    settingRange_ = true;
    SetRoundTicks(magnitude_.x, low, high, false);
    // The y range fits the curves shown, at most kDbRange deep below their top.
    const double top = std::ceil((highest + 1.0) / 10.0) * 10.0;
    SetRoundTicks(magnitude_.y, std::max(top - kDbRange, std::floor((lowest - 1.0) / 10.0) * 10.0), top,
                  false);
    settingRange_ = false;
}

void CFilterResponseView::ResetZoom() {
    zoom_.reset();
    DrawMagnitude();
}

bool CFilterResponseView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != magnitude_.view || frequencies_.empty())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const double centre =
            magnitude_.chart->mapToValue(magnitude_.view->mapToScene(wheel->position().toPoint())).x();
        const double factor = wheel->angleDelta().y() > 0 ? kWheelZoom : 1.0 / kWheelZoom;
        const double low = magnitude_.x->min();
        const double high = magnitude_.x->max();
        zoom_ = {centre - (centre - low) * factor, centre + (high - centre) * factor};
        DrawMagnitude();
        return true;
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Home) {
        ResetZoom();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CFilterResponseView::ReadFromBoard() {
    CMemoryReader reader(ops_);
    if (reader.Read(ShownMemory()))
        reader.Read(ChipMemory::Constellation);
}

void CFilterResponseView::Verify(ChipMemory memory) {
    const bool loaded = memory == ChipMemory::Constellation ? doc_.loaded.Constellation().has_value()
                                                            : doc_.loaded.Coefficients(channel_).has_value();
    if (loaded) {
        CMemoryVerifier(ops_).Verify(memory);
        return;
    }
    // Loaded before the program started: compare with a file the user names.
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Verify with File"), QString::fromStdString(doc_.startDirectory),
        memory == ChipMemory::Constellation ? QStringLiteral("Constellation Files (*.hex);;All Files (*)")
                                            : QStringLiteral("RAM Image Files (*.Ram);;All Files (*)"));
    if (!file.isEmpty())
        CMemoryVerifier(ops_).Verify(memory, file.toStdString());
}

QString CFilterResponseView::VerifyLines() const {
    const std::pair<ChipMemory, const char*> memories[] = {{ChipMemory::CoefficientI, "I Coefficient RAM"},
                                                           {ChipMemory::CoefficientQ, "Q Coefficient RAM"},
                                                           {ChipMemory::Constellation, "Constellation RAM"}};
    QString text = QStringLiteral("<p><b>Verify</b>");
    for (const auto& [memory, name] : memories) {
        const std::optional<VerifyReport>& report = doc_.loaded.LastVerify(memory);
        text += QStringLiteral("<br>%1: %2")
                    .arg(QString::fromLatin1(name),
                         report ? Text(report->summary) : QStringLiteral("not verified"));
    }
    text += QStringLiteral("</p>");
    if (const auto& map = doc_.loaded.ConstellationRead()) {
        const auto used = std::count_if(map->contents.begin(), map->contents.end(),
                                        [](std::uint8_t entry) { return entry != 0; });
        text += QStringLiteral("<p>Constellation RAM read from the board at %1: %2 of 256 entries not 0")
                    .arg(QString::fromStdString(map->readAt))
                    .arg(used);
        const std::optional<ConstellationImage>& written = doc_.loaded.Constellation();
        if (written && !doc_.loaded.Partial(ChipMemory::Constellation))
            text += QStringLiteral(", %1 differ from what was written")
                        .arg(DifferingEntries(*written, map->contents));
        text += QStringLiteral("</p>");
    }
    const std::optional<VerifyReport>& shown = doc_.loaded.LastVerify(ShownMemory());
    if (shown && !shown->mismatches.empty()) {
        text += QStringLiteral("<p><tt>");
        const int count = static_cast<int>(shown->mismatches.size());
        for (int i = 0; i < std::min(count, kShownMismatches); ++i) {
            const WordMismatch& m = shown->mismatches[static_cast<std::size_t>(i)];
            text += QStringLiteral("%1: expected %2 read %3<br>")
                        .arg(m.address, 2, 16, QLatin1Char('0'))
                        .arg(Text(m.expected), Text(m.read));
        }
        if (count > kShownMismatches)
            text += QStringLiteral("... %1 more in the log").arg(count - kShownMismatches);
        text += QStringLiteral("</tt></p>");
    }
    return text;
}

QString CFilterResponseView::FiguresText() const {
    return figures_->text();
}

QString CFilterResponseView::CsvText() const {
    // Columns are only ever added at the end: scripts read the first ones by position.
    const std::optional<double> symbolRate = SymbolRateHz(doc_.Shadow());
    QString csv = QStringLiteral(
        "frequency_x_symbol_rate,loaded_db,ideal_db,tap,loaded_tap,ideal_tap,read_db,read_tap");
    csv += symbolRate ? QStringLiteral(",frequency_hz\n") : QStringLiteral("\n");
    const auto cell = [](const std::vector<double>& values, std::size_t row, int digits) {
        return row < values.size() ? QString::number(values[row], 'g', digits) : QString();
    };
    const std::size_t tapRows = std::max(taps_.size(), readTaps_.size());
    const std::size_t rows = std::max(frequencies_.size(), tapRows);
    for (std::size_t row = 0; row < rows; ++row) {
        const QStringList cells = {
            cell(frequencies_, row, 12), cell(quantizedDb_, row, 12),
            cell(idealDb_, row, 12),     row < tapRows ? QString::number(row) : QString(),
            cell(taps_, row, 17),        cell(idealTaps_, row, 17),
            cell(readDb_, row, 12),      cell(readTaps_, row, 17)};
        csv += cells.join(QLatin1Char(','));
        if (symbolRate)
            csv += QLatin1Char(',') + (row < frequencies_.size()
                                           ? QString::number(frequencies_[row] * *symbolRate, 'g', 12)
                                           : QString());
        csv += QLatin1Char('\n');
    }
    return csv;
}

} // namespace tarsion
