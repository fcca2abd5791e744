#pragma once

#include <QStringList>
#include <QTableWidget>

#include <vector>

namespace tarsion {

// A table of figures beside the plots: headings above, a name and its figures on each row, as tall
// as its rows so that nothing below it is hidden and a scroll area scrolls it whole.
class CFigureTable final : public QTableWidget {
    Q_OBJECT
public:
    CFigureTable(const QString& objectName, QWidget* parent = nullptr);

    // The first heading is the names' column; rows shorter than the headings are filled with blanks.
    void Show(const QStringList& headings, const std::vector<QStringList>& rows);
    // The table as text, a line a row (headings first), cells separated by tabs: for copying and tests.
    QString Text() const;

    // Its whole contents: no scroll bar of its own.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void showEvent(QShowEvent* event) override;
    // Copy (Ctrl+C) puts the selected cells on the clipboard as tab-separated lines; the window's
    // own Copy does not take the key from it.
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace tarsion
