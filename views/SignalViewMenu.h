#pragma once

#include <QObject>

class QDockWidget;
class QMainWindow;
class QMenu;

namespace tarsion {

class CBoardOperations;
class CFilterResponseView;
class CPatternView;
class CTarsionDoc;
class IViewSettings;

// The View menu: opens the filter response and pattern views as dock widgets beside the register
// page and the log window, and reads the coefficient and constellation RAMs back to verify them.
class CSignalViewMenu final : public QObject {
    Q_OBJECT
public:
    CSignalViewMenu(QMainWindow& window, CTarsionDoc& doc, CBoardOperations& ops, IViewSettings& settings,
                    QMenu& menu);

    CFilterResponseView& FilterView() { return *filterView_; }
    CPatternView& PatternView() { return *patternView_; }
    QDockWidget& FilterDock() { return *filterDock_; }
    QDockWidget& PatternDock() { return *patternDock_; }

private:
    QDockWidget* AddDock(QMainWindow& window, QWidget* view, const QString& title, const QString& name,
                         const QString& prompt, QMenu& menu);

    CFilterResponseView* filterView_ = nullptr;
    CPatternView* patternView_ = nullptr;
    QDockWidget* filterDock_ = nullptr;
    QDockWidget* patternDock_ = nullptr;
};

} // namespace tarsion
