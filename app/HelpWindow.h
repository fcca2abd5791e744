#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QTextBrowser;

namespace tarsion {

// The bundled manual in a window of its own, with a find bar: Ctrl+F opens it, Enter and F3 find
// the next place, Shift+F3 the one before; Escape closes the bar, then the window.
class CHelpWindow final : public QWidget {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* parent = nullptr);

    QTextBrowser& Browser() { return *browser_; }
    // Finds the text of the find bar after (or before) the selection, wrapping around once; false
    // when the manual does not hold it.
    bool FindNext(bool backward = false);

private:
    void OpenFindBar();
    void Escape();

    QTextBrowser* browser_ = nullptr;
    QWidget* findBar_ = nullptr;
    QLineEdit* findText_ = nullptr;
    QLabel* findState_ = nullptr;
};

} // namespace tarsion
