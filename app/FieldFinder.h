#pragma once

#include <QDialog>

#include <string_view>
#include <vector>

class QLineEdit;
class QListWidget;

namespace tarsion {

struct RegisterField;

// The fields of every page that match a search: words of the label, group or control name in any
// order and case ("half band"), or a register address ("0x01", "01").
std::vector<const RegisterField*> FindFields(std::string_view text);

// The Ctrl+F box: lists the matching fields as one types; Enter (or a double click) opens the
// field's page and focuses its control.
class CFieldFinder final : public QDialog {
    Q_OBJECT
public:
    explicit CFieldFinder(QWidget* parent = nullptr);

    QLineEdit& Search() { return *search_; }
    QListWidget& Matches() { return *matches_; }

signals:
    void goToField(int page, const QString& control);

private:
    void Fill();
    void Choose();

    QLineEdit* search_;
    QListWidget* matches_;
};

} // namespace tarsion
