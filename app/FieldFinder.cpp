#include "app/FieldFinder.h"

#include "pages/PageFactory.h"
#include "registers/RegisterFieldTable.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <sstream>

namespace tarsion {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// "0x01" or a bare one- or two-digit hexadecimal number names a register.
std::optional<unsigned> RegisterAddress(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X"))
        text.remove_prefix(2);
    else if (text.size() > 2)
        return std::nullopt;
    unsigned value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() || value > 0xff)
        return std::nullopt;
    return value;
}

} // namespace

std::vector<const RegisterField*> FindFields(std::string_view text) {
    std::vector<std::string> words;
    std::istringstream split{Lower(text)};
    for (std::string word; split >> word;)
        words.push_back(word);
    std::vector<const RegisterField*> found;
    if (words.empty())
        return found;
    const auto address = words.size() == 1 ? RegisterAddress(words[0]) : std::nullopt;
    for (const RegisterField& field : RegisterFields()) {
        if (field.page == RegisterField::kNoPage)
            continue;
        const std::string haystack = Lower(std::string(field.label) + ' ' + field.group + ' ' + field.name);
        const bool byWords = std::all_of(words.begin(), words.end(), [&haystack](const std::string& word) {
            return haystack.find(word) != std::string::npos;
        });
        const bool byAddress = address && field.space == RegisterSpace::Chip && field.reg == *address;
        if (byWords || byAddress)
            found.push_back(&field);
    }
    return found;
}

CFieldFinder::CFieldFinder(QWidget* parent)
    : QDialog(parent), search_(new QLineEdit), matches_(new QListWidget) {
    setWindowTitle(QStringLiteral("Find Field"));
    setObjectName(QStringLiteral("fieldFinder"));
    search_->setObjectName(QStringLiteral("findText"));
    search_->setPlaceholderText(QStringLiteral("Field name or register address (0x01)"));
    matches_->setObjectName(QStringLiteral("findMatches"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(search_);
    layout->addWidget(matches_, 1);
    resize(480, 360);
    connect(search_, &QLineEdit::textChanged, this, &CFieldFinder::Fill);
    connect(search_, &QLineEdit::returnPressed, this, &CFieldFinder::Choose);
    connect(matches_, &QListWidget::itemActivated, this, &CFieldFinder::Choose);
}

void CFieldFinder::Fill() {
    matches_->clear();
    const QStringList pages = RegisterPageTitles();
    for (const RegisterField* field : FindFields(search_->text().toStdString())) {
        QString where = QString::fromUtf8(field->group);
        if (!where.isEmpty())
            where += QStringLiteral(", ");
        const QString address =
            field->space == RegisterSpace::Chip
                ? QStringLiteral("0x%1").arg(static_cast<int>(field->reg), 2, 16, QLatin1Char('0'))
                : QString::fromStdString(RegisterName(field->space, field->reg));
        auto* item = new QListWidgetItem(
            QStringLiteral("%1  (%2%3, %4)")
                .arg(QString::fromStdString(field->Title()), where, pages.value(field->page), address),
            matches_);
        item->setData(Qt::UserRole, field->page);
        item->setData(Qt::UserRole + 1, QString::fromLatin1(field->name));
    }
    matches_->setCurrentRow(0);
}

void CFieldFinder::Choose() {
    const QListWidgetItem* item = matches_->currentItem();
    if (!item)
        return;
    emit goToField(item->data(Qt::UserRole).toInt(), item->data(Qt::UserRole + 1).toString());
    accept();
}

} // namespace tarsion
