#include "views/RelativeFrequencyEdit.h"

#include "registers/PageConversions.h"

#include <cmath>

namespace tarsion {

CRelativeFrequencyEdit::CRelativeFrequencyEdit(bool list, QWidget* parent) : QLineEdit(parent), list_(list) {
    setMaxLength(list ? 200 : 40);
    connect(this, &QLineEdit::editingFinished, this, &CRelativeFrequencyEdit::Commit);
}

std::optional<double> CRelativeFrequencyEdit::Value() const {
    return values_.empty() ? std::nullopt : std::optional<double>(values_.front());
}

void CRelativeFrequencyEdit::SetValues(std::vector<double> values) {
    values_ = std::move(values);
    setText(Format(values_));
}

void CRelativeFrequencyEdit::SetReference(std::optional<double> hz) {
    if (hz && !(*hz > 0 && std::isfinite(*hz)))
        hz.reset();
    if (hz == reference_)
        return;
    reference_ = hz;
    setText(Format(values_));
}

QString CRelativeFrequencyEdit::Format(const std::vector<double>& values) const {
    QStringList parts;
    for (const double value : values)
        parts.append(reference_ ? QString::fromStdString(pageconv::FormatFrequency(value * *reference_))
                                : QString::number(value, 'g', 8));
    return parts.join(QStringLiteral(", "));
}

std::optional<std::vector<double>> CRelativeFrequencyEdit::Parse(const QString& text) const {
    std::vector<double> values;
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (parts.size() > (list_ ? kMostValues : 1))
        return std::nullopt;
    for (const QString& part : parts) {
        const std::string item = part.trimmed().toStdString();
        if (item.empty())
            continue;
        const std::optional<double> read =
            reference_ ? pageconv::ParseFrequency(item) : pageconv::ParseNumber(item);
        if (!read || !std::isfinite(*read))
            return std::nullopt;
        values.push_back(reference_ ? *read / *reference_ : *read);
    }
    return values;
}

void CRelativeFrequencyEdit::Commit() {
    // Leaving the edit commits too: text as shown is no change, though it may round the values.
    if (text() == Format(values_))
        return;
    const std::optional<std::vector<double>> read = Parse(text());
    if (!read || *read == values_) {
        setText(Format(values_));
        return;
    }
    values_ = *read;
    setText(Format(values_));
    emit committed();
}

} // namespace tarsion
