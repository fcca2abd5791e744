#pragma once

#include <QLineEdit>

#include <optional>
#include <vector>

namespace tarsion {

// An edit of frequencies kept relative to a reference clock (band edges in multiples of the symbol
// rate, channels in cycles per sample of DataClk): typed and shown in hertz ("1.5M") while the
// reference is known, as plain multiples otherwise. A list edit takes several, separated by commas.
// Text that does not read is refused: the edit shows its last values again.
class CRelativeFrequencyEdit final : public QLineEdit {
    Q_OBJECT
public:
    // A list holds at most this many: each is a row of figures.
    static constexpr int kMostValues = 16;

    CRelativeFrequencyEdit(bool list, QWidget* parent = nullptr);

    const std::vector<double>& Values() const { return values_; }
    std::optional<double> Value() const;
    void SetValues(std::vector<double> values);
    void SetReference(std::optional<double> hz);
    // "2.5M, -2.5M" or "0.1, -0.1" for values in multiples of the reference.
    QString Format(const std::vector<double>& values) const;
    // The values of a text; empty when any part does not read, or there are too many. An empty text
    // gives no values.
    std::optional<std::vector<double>> Parse(const QString& text) const;

signals:
    // The user committed text that reads (Enter or leaving the edit) and the values changed.
    void committed();

private:
    void Commit();

    bool list_;
    std::optional<double> reference_;
    std::vector<double> values_;
};

} // namespace tarsion
