#pragma once

#include <QTextBrowser>

namespace tarsion {

// The bundled manual in a window of its own.
class CHelpWindow final : public QTextBrowser {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* parent = nullptr);
};

} // namespace tarsion
