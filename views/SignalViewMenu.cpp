#include "views/SignalViewMenu.h"

#include "ops/MemoryReadBack.h"
#include "views/FilterResponseView.h"
#include "views/PatternView.h"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>
#include <QScrollArea>
#include <QStyle>

#include <algorithm>

namespace tarsion {

CSignalViewMenu::CSignalViewMenu(QMainWindow& window, CTarsionDoc& doc, CBoardOperations& ops,
                                 IViewSettings& settings, QMenu& menu)
    : QObject(&window) {
    filterView_ = new CFilterResponseView(doc, ops, settings);
    patternView_ = new CPatternView(doc, ops, settings);
    filterDock_ =
        AddDock(window, filterView_, QStringLiteral("Filter Response"), QStringLiteral("viewFilterResponse"),
                QStringLiteral("Shows the frequency and impulse response of the loaded filters"), menu);
    patternDock_ =
        AddDock(window, patternView_, QStringLiteral("Pattern Memory"), QStringLiteral("viewPatternMemory"),
                QStringLiteral("Shows the pattern memory in time and frequency"), menu);
    window.tabifyDockWidget(filterDock_, patternDock_);
    menu.addSeparator();

    struct VerifyItem {
        const char* name;
        const char* text;
        ChipMemory memory;
    };
    const VerifyItem items[] = {
        {"verifyICoefficientRam", "Verify I Coefficient RAM", ChipMemory::CoefficientI},
        {"verifyQCoefficientRam", "Verify Q Coefficient RAM", ChipMemory::CoefficientQ},
        {"verifyConstellationRam", "Verify Constellation RAM", ChipMemory::Constellation},
        {"verifyPatternMemory", "Verify Pattern Memory", ChipMemory::Pattern}};
    for (const VerifyItem& item : items) {
        auto* action = new QAction(QString::fromLatin1(item.text), &window);
        action->setObjectName(QString::fromLatin1(item.name));
        action->setStatusTip(
            item.memory == ChipMemory::Pattern
                ? QStringLiteral("Reads the pattern memory back and compares it with what was last loaded")
                : QStringLiteral("Reads the RAM back and compares it with what was last loaded"));
        connect(action, &QAction::triggered, this,
                [&ops, memory = item.memory] { CMemoryVerifier(ops).Verify(memory); });
        menu.addAction(action);
    }
}

QDockWidget* CSignalViewMenu::AddDock(QMainWindow& window, QWidget* view, const QString& title,
                                      const QString& name, const QString& prompt, QMenu& menu) {
    auto* dock = new QDockWidget(title, &window);
    dock->setObjectName(name + QStringLiteral("Dock"));
    dock->setAllowedAreas(Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
    // In a scroll area the view asks nothing of the window's size: a figure text that grows by a line
    // scrolls instead of making the window taller.
    auto* scroll = new QScrollArea;
    scroll->setObjectName(name + QStringLiteral("Scroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(view);
    dock->setWidget(scroll);
    window.addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->hide();
    QAction* toggle = dock->toggleViewAction();
    toggle->setObjectName(name);
    toggle->setStatusTip(prompt);
    menu.addAction(toggle);
    // Opened from the menu, a view comes to the front of the docks it shares its place with.
    connect(toggle, &QAction::triggered, dock, [&window, dock, view](bool shown) {
        if (!shown)
            return;
        dock->raise();
        // Plots need room: a view opened beside the page takes at least half the window, and at least
        // its plots' and figures' least width when the window has it.
        const int whole = view->minimumSizeHint().width() +
                          dock->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                          2 * dock->style()->pixelMetric(QStyle::PM_DockWidgetFrameWidth);
        const int wanted = std::min(std::max(window.width() / 2, whole), window.width() * 2 / 3);
        if (window.dockWidgetArea(dock) == Qt::RightDockWidgetArea && dock->width() < wanted)
            window.resizeDocks({dock}, {wanted}, Qt::Horizontal);
    });
    return dock;
}

} // namespace tarsion
