#pragma once

#include "ops/TarsionDoc.h"
#include "pages/FramePacer.h"
#include "registers/RegisterCompare.h"

#include <QByteArray>
#include <QMap>
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tarsion {

class CBoardOperations;
class CRegisterSession;
class IFileChooser;

// The Compare view: the snapshots of the session, the differences between any two of the board
// now, a snapshot and a saved configuration, field by field in the page's units, and the journal
// of register writes in its History tab.
class CCompareView final : public QWidget, private IDocumentObserver {
    Q_OBJECT
public:
    CCompareView(CRegisterSession& session, CBoardOperations& ops, IFileChooser& files,
                 QWidget* parent = nullptr);
    ~CCompareView() override;

    // Chooses the two sides by id ("board", "s1", ...) and compares them.
    void CompareIds(const QString& before, const QString& after);
    // Brings the rows up to date (the board may have changed).
    void Recompare();
    QTableWidget& Rows() { return *rows_; }
    QTableWidget& History() { return *history_; }
    // The column widths the user dragged, as the settings keep them across runs.
    QByteArray ColumnWidths() const;
    void RestoreColumnWidths(const QByteArray& text);

    // The history and a compare with the board now follow the register writes: at most once a
    // frame, and only while the view shows.
    void JournalChanged();
    // Catches up now with the writes not yet shown.
    void BringUpToDate() { pacer_.Flush(); }

    void TakeSnapshot();
    void OpenSnapshot();
    void SaveSnapshot();

signals:
    // Show the page and focus the control of this field.
    void goToField(int page, const QString& control);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The board now also changes by memory loads and the clock pin, which the journal does not see.
    void OnDocumentUpdate() override {}
    void OnDocumentSettled(bool operationEnded) override;

private:
    void Follow(bool operationEnded);
    // The history after journal changes, the rows after changes of a side that is the board.
    void CatchUp();
    void FillSides();
    void FillHistory();
    void ApplySide(bool before);
    void GoToRow();
    // Only a register row can be applied: a memory load is not repeated from here.
    void EnableApply();
    void Complain(const QString& text);

    CRegisterSession& session_;
    CBoardOperations& ops_;
    IFileChooser& files_;
    QComboBox* before_ = nullptr;
    QComboBox* after_ = nullptr;
    QCheckBox* showEqual_ = nullptr;
    QTableWidget* rows_ = nullptr;
    QTableWidget* history_ = nullptr;
    QLabel* summary_ = nullptr;
    QPushButton* applyBefore_ = nullptr;
    QPushButton* applyAfter_ = nullptr;
    // The register rows come first, then the settings rows.
    BoardComparison shown_;
    bool historyStale_ = false;
    bool boardStale_ = false;
    // Per table (compare rows, history): column -> width the user dragged.
    std::array<QMap<int, int>, 2> chosenWidths_;
    CFramePacer pacer_{[this] { CatchUp(); }};
};

} // namespace tarsion
