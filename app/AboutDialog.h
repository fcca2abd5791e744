#pragma once

#include <QDialog>

namespace tarsion {

// "About Trm90627": the icon, the version line and an OK button.
class CAboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};

} // namespace tarsion
