#include "app/CompareView.h"

#include "app/FileChooser.h"
#include "base/ReplacementFile.h"
#include "ops/BoardOperations.h"
#include "registers/RegisterSession.h"

#include <QAbstractItemDelegate>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <functional>
#include <utility>
#include <vector>

namespace tarsion {

namespace {

constexpr const char* kSnapshotFilter = "Snapshots and Configurations (*.txt *.js);;All Files (*)";

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QPushButton* Button(const QString& text, const char* name, QLayout* layout) {
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(name));
    layout->addWidget(button);
    return button;
}

QTableWidget* Table(const QStringList& headers, const char* name) {
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()));
    table->setObjectName(QLatin1String(name));
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void SetRow(QTableWidget& table, int row, const QStringList& cells) {
    for (int column = 0; column < cells.size(); ++column)
        table.setItem(row, column, new QTableWidgetItem(cells[column]));
}

// Each column as wide as its widest text. Measuring a text (shaping it) is what a compare with
// many rows spent most of its time on, in the table's own fitting too: only the longest texts of
// a column are measured, one of which is the widest in any font a user would choose. They are
// measured as the table measures them: by its item delegate, plus the grid line.
void FitColumns(QTableWidget& table, const QMap<int, int>& chosen) {
    constexpr std::size_t kMeasured = 8;
    QStyleOptionViewItem option;
    option.initFrom(&table);
    option.font = table.font();
    option.fontMetrics = table.fontMetrics();
    option.features = QStyleOptionViewItem::WrapText;
    QAbstractItemDelegate* delegate = table.itemDelegate();
    std::vector<std::pair<qsizetype, int>> lengths;
    for (int column = 0; column < table.columnCount(); ++column) {
        // A width the user dragged stays.
        if (const auto width = chosen.find(column); width != chosen.end()) {
            table.setColumnWidth(column, *width);
            continue;
        }
        lengths.clear();
        for (int row = 0; row < table.rowCount(); ++row)
            if (const QTableWidgetItem* item = table.item(row, column))
                lengths.emplace_back(item->text().size(), row);
        const auto longest =
            lengths.begin() + static_cast<std::ptrdiff_t>(std::min(kMeasured, lengths.size()));
        std::partial_sort(lengths.begin(), longest, lengths.end(), std::greater<>());
        int width = table.horizontalHeader()->sectionSizeHint(column);
        for (auto it = lengths.begin(); it != longest; ++it)
            width =
                std::max(width, delegate->sizeHint(option, table.model()->index(it->second, column)).width() +
                                    (table.showGrid() ? 1 : 0));
        table.setColumnWidth(column, width);
    }
}

QString RawText(const CompareRow& row, std::uint32_t word) {
    const int digits = row.field->space == RegisterSpace::Chip ? 8 : 2;
    return QStringLiteral("%1").arg(word, digits, 16, QLatin1Char('0'));
}

} // namespace

CCompareView::CCompareView(CRegisterSession& session, CBoardOperations& ops, IFileChooser& files,
                           QWidget* parent)
    : QWidget(parent), session_(session), ops_(ops), files_(files) {
    auto* tabs = new QTabWidget;
    tabs->setObjectName(QStringLiteral("compareTabs"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs);

    auto* compare = new QWidget;
    auto* compareLayout = new QVBoxLayout(compare);
    auto* snapshots = new QHBoxLayout;
    connect(Button(QStringLiteral("Take Snapshot"), "takeSnapshot", snapshots), &QPushButton::clicked, this,
            &CCompareView::TakeSnapshot);
    connect(Button(QStringLiteral("Open..."), "openSnapshot", snapshots), &QPushButton::clicked, this,
            &CCompareView::OpenSnapshot);
    connect(Button(QStringLiteral("Save..."), "saveSnapshot", snapshots), &QPushButton::clicked, this,
            &CCompareView::SaveSnapshot);
    snapshots->addStretch();
    compareLayout->addLayout(snapshots);

    auto* sides = new QHBoxLayout;
    before_ = new QComboBox;
    before_->setObjectName(QStringLiteral("compareBefore"));
    after_ = new QComboBox;
    after_->setObjectName(QStringLiteral("compareAfter"));
    showEqual_ = new QCheckBox(QStringLiteral("Show equal fields"));
    showEqual_->setObjectName(QStringLiteral("showEqualFields"));
    sides->addWidget(new QLabel(QStringLiteral("Before")));
    sides->addWidget(before_, 1);
    sides->addWidget(new QLabel(QStringLiteral("After")));
    sides->addWidget(after_, 1);
    sides->addWidget(showEqual_);
    compareLayout->addLayout(sides);

    rows_ = Table({QStringLiteral("Register"), QStringLiteral("Field"), QStringLiteral("Before"),
                   QStringLiteral("After"), QStringLiteral("Raw before"), QStringLiteral("Raw after")},
                  "compareRows");
    compareLayout->addWidget(rows_, 1);
    // At least five rows in view, however the dock is laid out.
    rows_->setMinimumHeight(rows_->horizontalHeader()->sizeHint().height() +
                            5 * rows_->verticalHeader()->defaultSectionSize() + 2 * rows_->frameWidth() +
                            rows_->horizontalScrollBar()->sizeHint().height());
    summary_ = new QLabel;
    summary_->setObjectName(QStringLiteral("compareSummary"));
    compareLayout->addWidget(summary_);
    auto* actions = new QHBoxLayout;
    connect(Button(QStringLiteral("Go to Field"), "goToField", actions), &QPushButton::clicked, this,
            &CCompareView::GoToRow);
    applyBefore_ = Button(QStringLiteral("Apply Before to Board"), "applyBefore", actions);
    applyAfter_ = Button(QStringLiteral("Apply After to Board"), "applyAfter", actions);
    connect(applyBefore_, &QPushButton::clicked, this, [this] { ApplySide(true); });
    connect(applyAfter_, &QPushButton::clicked, this, [this] { ApplySide(false); });
    actions->addStretch();
    compareLayout->addLayout(actions);
    tabs->addTab(compare, QStringLiteral("Compare"));

    auto* historyPage = new QWidget;
    auto* historyLayout = new QVBoxLayout(historyPage);
    history_ = Table({QStringLiteral("Time"), QStringLiteral("Source"), QStringLiteral("Register"),
                      QStringLiteral("Old"), QStringLiteral("New"), QStringLiteral("Operation")},
                     "writeHistory");
    for (int table = 0; table < 2; ++table) {
        QHeaderView* header = (table == 0 ? rows_ : history_)->horizontalHeader();
        // Only a drag reaches here: the program's own fitting blocks the signal.
        connect(header, &QHeaderView::sectionResized, this,
                [this, table](int column, int, int width) { chosenWidths_[table][column] = width; });
    }
    historyLayout->addWidget(history_, 1);
    auto* historyActions = new QHBoxLayout;
    connect(Button(QStringLiteral("Save as CSV..."), "saveHistory", historyActions), &QPushButton::clicked,
            this, [this] {
                const QString path = files_.SaveFileName(QStringLiteral("CSV Files (*.csv);;All Files (*)"),
                                                         QStringLiteral("csv"), "");
                if (path.isEmpty())
                    return;
                // Whole or not at all, like every file the program writes.
                CReplacementFile file(QFile::encodeName(path).toStdString(),
                                      CReplacementFile::Links::WriteThrough);
                if (!file.Commit(session_.Journal().Csv()))
                    Complain(QStringLiteral("Could not write %1").arg(path));
            });
    historyActions->addStretch();
    historyLayout->addLayout(historyActions);
    tabs->addTab(historyPage, QStringLiteral("History"));

    connect(before_, &QComboBox::activated, this, &CCompareView::Recompare);
    connect(after_, &QComboBox::activated, this, &CCompareView::Recompare);
    connect(showEqual_, &QCheckBox::toggled, this, &CCompareView::Recompare);
    connect(rows_, &QTableWidget::cellDoubleClicked, this, &CCompareView::GoToRow);
    connect(rows_, &QTableWidget::itemSelectionChanged, this, &CCompareView::EnableApply);
    session_.SetChangeHandler([this] {
        const bool added = session_.Snapshots().size() > static_cast<std::size_t>(before_->count() - 1);
        FillSides();
        // A new snapshot (from a script too) is compared with the board unless a side was chosen.
        if (added && before_->currentIndex() == 0 && after_->currentIndex() == 0)
            before_->setCurrentIndex(before_->count() - 1);
        Recompare();
    });
    session_.Journal().SetChangeHandler([this] { JournalChanged(); });
    FillSides();
    FillHistory();
    Recompare();
    ops_.Doc().AddObserver(this);
}

QByteArray CCompareView::ColumnWidths() const {
    QStringList tables;
    for (const QMap<int, int>& widths : chosenWidths_) {
        QStringList columns;
        for (auto it = widths.begin(); it != widths.end(); ++it)
            columns << QStringLiteral("%1=%2").arg(it.key()).arg(it.value());
        tables << columns.join(QLatin1Char(','));
    }
    return tables.join(QLatin1Char(';')).toLatin1();
}

void CCompareView::RestoreColumnWidths(const QByteArray& text) {
    const QList<QByteArray> tables = text.split(';');
    for (int table = 0; table < 2 && table < tables.size(); ++table) {
        QTableWidget& widget = table == 0 ? *rows_ : *history_;
        for (const QByteArray& column : tables[table].split(',')) {
            const QList<QByteArray> parts = column.split('=');
            bool columnOk = false;
            bool widthOk = false;
            const int index = parts.value(0).toInt(&columnOk);
            const int width = parts.value(1).toInt(&widthOk);
            // Anything else in the settings is not ours.
            if (parts.size() != 2 || !columnOk || !widthOk || index < 0 || index >= widget.columnCount() ||
                width < 8 || width > 4000)
                continue;
            chosenWidths_[table][index] = width;
            const QSignalBlocker blocker(widget.horizontalHeader());
            widget.setColumnWidth(index, width);
        }
    }
}

CCompareView::~CCompareView() {
    ops_.Doc().RemoveObserver(this);
}

void CCompareView::OnDocumentSettled(bool operationEnded) {
    boardStale_ = true;
    Follow(operationEnded);
}

void CCompareView::FillSides() {
    for (QComboBox* side : {before_, after_}) {
        const QString chosen = side->currentData().toString();
        side->clear();
        side->addItem(QStringLiteral("Board now"), QString::fromLatin1(CRegisterSession::kBoardId));
        for (const CRegisterSession::Entry& entry : session_.Snapshots())
            side->addItem(QStringLiteral("%1 (%2)").arg(Text(entry.snapshot.name), Text(entry.snapshot.time)),
                          Text(entry.id));
        const int index = side->findData(chosen);
        side->setCurrentIndex(index < 0 ? 0 : index);
    }
}

void CCompareView::CompareIds(const QString& before, const QString& after) {
    before_->setCurrentIndex(std::max(0, before_->findData(before)));
    after_->setCurrentIndex(std::max(0, after_->findData(after)));
    Recompare();
}

void CCompareView::Recompare() {
    CRegisterSnapshot before;
    CRegisterSnapshot after;
    if (!session_.Find(before_->currentData().toString().toStdString(), before) ||
        !session_.Find(after_->currentData().toString().toStdString(), after)) {
        shown_ = {};
        rows_->setRowCount(0);
        EnableApply();
        return;
    }
    shown_ = CompareBoards(before, after, showEqual_->isChecked());
    const auto registers = static_cast<int>(shown_.registers.size());
    rows_->setRowCount(registers + static_cast<int>(shown_.settings.size()));
    const auto markDifference = [this](int row) {
        for (int column = 2; column < 4; ++column)
            rows_->item(row, column)->setForeground(QBrush(Qt::red));
    };
    for (int i = 0; i < registers; ++i) {
        const CompareRow& row = shown_.registers[static_cast<std::size_t>(i)];
        const QString address = row.field->space == RegisterSpace::Chip
                                    ? QStringLiteral("0x%1 %2")
                                          .arg(static_cast<int>(row.field->reg), 2, 16, QLatin1Char('0'))
                                          .arg(Text(row.registerName))
                                    : Text(row.registerName);
        SetRow(*rows_, i,
               {address, Text(row.field->Title()), Text(row.before), Text(row.after),
                RawText(row, row.rawBefore), RawText(row, row.rawAfter)});
        if (row.differs)
            markDifference(i);
    }
    // A setting is no register: its group stands where the register would, and it has no raw words.
    for (int i = 0; i < static_cast<int>(shown_.settings.size()); ++i) {
        const SettingRow& row = shown_.settings[static_cast<std::size_t>(i)];
        SetRow(*rows_, registers + i,
               {QString::fromLatin1(row.field->group), QString::fromLatin1(row.field->label),
                Text(row.before), Text(row.after), QString(), QString()});
        if (row.differs)
            markDifference(registers + i);
    }
    {
        const QSignalBlocker blocker(rows_->horizontalHeader());
        FitColumns(*rows_, chosenWidths_[0]);
    }
    const std::size_t differing = shown_.Differing();
    summary_->setText(differing == 0   ? QStringLiteral("No differences")
                      : differing == 1 ? QStringLiteral("1 field differs")
                                       : QStringLiteral("%1 fields differ").arg(differing));
    EnableApply();
}

void CCompareView::JournalChanged() {
    historyStale_ = true;
    Follow(true);
}

// A script may write thousands of registers in a row: the tables follow at most once a frame. A
// hidden view catches up when it shows.
void CCompareView::Follow(bool operationEnded) {
    if (!isVisible())
        return;
    pacer_.MarkStale();
    pacer_.Settle(operationEnded);
}

void CCompareView::CatchUp() {
    if (!isVisible())
        return;
    const bool history = std::exchange(historyStale_, false);
    const bool board = std::exchange(boardStale_, false);
    const QLatin1String boardId(CRegisterSession::kBoardId);
    if (history)
        FillHistory();
    if (history || (board && (before_->currentData().toString() == boardId ||
                              after_->currentData().toString() == boardId)))
        Recompare();
}

void CCompareView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    CatchUp();
}

void CCompareView::FillHistory() {
    const auto& entries = session_.Journal().Entries();
    history_->setRowCount(static_cast<int>(entries.size()));
    int row = 0;
    // Newest first.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it, ++row) {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(it->time.time_since_epoch()).count();
        const QString time = QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss"));
        const std::vector<RegisterWrite>& writes = it->Writes();
        // A batch is one row: how many registers it wrote; its writes are in the CSV.
        if (it->written->batch) {
            SetRow(*history_, row,
                   {time, Text(it->source), QStringLiteral("%1 registers").arg(writes.size()), QString(),
                    QString(), Text(it->What())});
            continue;
        }
        const RegisterWrite& write = writes.front();
        const int digits = write.space == RegisterSpace::Chip ? 8 : 2;
        SetRow(*history_, row,
               {time, Text(it->source), Text(RegisterName(write.space, write.reg)),
                QStringLiteral("%1").arg(write.oldValue, digits, 16, QLatin1Char('0')),
                QStringLiteral("%1").arg(write.newValue, digits, 16, QLatin1Char('0')), Text(it->What())});
    }
}

void CCompareView::TakeSnapshot() {
    bool ok = false;
    const QString name = QInputDialog::getText(
        this, QStringLiteral("Take Snapshot"), QStringLiteral("Name"), QLineEdit::Normal,
        QStringLiteral("Snapshot %1").arg(session_.Snapshots().size() + 1), &ok);
    if (!ok)
        return;
    std::string error;
    const std::string id = session_.TakeSnapshot(name.toStdString(), error);
    if (id.empty()) {
        Complain(Text(error));
        return;
    }
    CompareIds(Text(id), QString::fromLatin1(CRegisterSession::kBoardId));
}

void CCompareView::OpenSnapshot() {
    const QString path = files_.OpenFileName(QString::fromLatin1(kSnapshotFilter), "");
    if (path.isEmpty())
        return;
    std::string error;
    const std::string id = session_.Open(path.toStdString(), error);
    if (!error.empty())
        Complain(Text(error));
    if (!id.empty())
        CompareIds(Text(id), QString::fromLatin1(CRegisterSession::kBoardId));
}

void CCompareView::SaveSnapshot() {
    QString id = before_->currentData().toString();
    if (id == QLatin1String(CRegisterSession::kBoardId))
        id = after_->currentData().toString();
    const QString path =
        files_.SaveFileName(QStringLiteral("Snapshots (*.txt);;All Files (*)"), QStringLiteral("txt"), "");
    if (path.isEmpty())
        return;
    std::string error;
    if (!session_.Save(id.toStdString(), path.toStdString(), error))
        Complain(Text(error));
}

void CCompareView::ApplySide(bool before) {
    const int row = rows_->currentRow();
    if (row < 0 || row >= static_cast<int>(shown_.registers.size()))
        return;
    const CompareRow& chosen = shown_.registers[static_cast<std::size_t>(row)];
    ApplyCompareRow(ops_, chosen, before ? chosen.rawBefore : chosen.rawAfter);
    Recompare();
}

void CCompareView::EnableApply() {
    const int row = rows_->selectionModel()->hasSelection() ? rows_->currentRow() : -1;
    const bool registerRow = row >= 0 && row < static_cast<int>(shown_.registers.size());
    applyBefore_->setEnabled(registerRow);
    applyAfter_->setEnabled(registerRow);
}

void CCompareView::GoToRow() {
    const int row = rows_->currentRow();
    const auto registers = static_cast<int>(shown_.registers.size());
    if (row < 0 || row >= registers + static_cast<int>(shown_.settings.size()))
        return;
    if (row >= registers) {
        const SettingField& setting = *shown_.settings[static_cast<std::size_t>(row - registers)].field;
        emit goToField(setting.page, QString::fromLatin1(setting.name));
        return;
    }
    const RegisterField& field = *shown_.registers[static_cast<std::size_t>(row)].field;
    if (field.page != RegisterField::kNoPage)
        emit goToField(field.page, QString::fromLatin1(field.name));
}

void CCompareView::Complain(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tarsion"), text, QMessageBox::Ok, this);
    box.exec();
}

} // namespace tarsion
