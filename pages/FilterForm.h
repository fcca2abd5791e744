#pragma once

#include "pages/LoadInputs.h"

#include <array>

class QGroupBox;
class QLabel;
class QHBoxLayout;
class QPushButton;

namespace tarsion {

struct CoefficientSettings;

// The inputs of one coefficient RAM: file, scale choice, offset, interpolation and table options.
// They write nothing themselves; a load button reads them.
class CCoefficientInputs {
public:
    // Builds the group's controls; `prefix` ("i" or "q") starts their object names.
    CCoefficientInputs(const QString& title, const char* prefix, const QString& loadOffsetText);

    QGroupBox* Group() const { return group_; }
    QLineEdit* FileEdit() const { return file_; }
    QPushButton* BrowseButton() const { return browse_; }
    // The row that takes the group's load buttons.
    QHBoxLayout* ButtonRow() const { return buttons_; }

    void Show(const CoefficientSettings& settings);
    // Empty, after the capture message, when the scale is not a number.
    std::optional<CoefficientSettings> Capture(IUserPrompt& prompt) const;

private:
    QGroupBox* group_;
    QLineEdit* file_;
    QRadioButton* bestFit_;
    QRadioButton* forceValue_;
    QLineEdit* scale_;
    QCheckBox* loadOffset_;
    QPushButton* browse_;
    QLineEdit* dcGain_;
    QComboBox* interpolation_;
    QCheckBox* twoBitMode_;
    QCheckBox* symmetric_;
    QHBoxLayout* buttons_;
};

// "Filter": the coefficient and constellation RAM loaders with their options, and the Shaping
// Filter DC Offset register (0x11). Typed options live only until the next refresh, which shows
// the document's settings of the last successful loads again.
class CFilterForm final : public CInputPage {
    Q_OBJECT
public:
    CFilterForm(PageContext context, QWidget* parent);

private:
    enum Channel { I, Q };

    void ShowDocument();
    void BrowseCoefficients(Channel channel);
    void BrowseConstellation();
    // which: 0 I, 1 Q, 2 both with the I options.
    void LoadCoefficients(int which);
    // A table made for another interpolation than the shaping filter's is loaded only when the
    // user says so.
    bool ConfirmInterpolation(int selector);
    void LoadConstellation();

    std::array<CCoefficientInputs, 2> channels_;
    QLineEdit* constellationFile_;
    QLabel* memoryState_;
};

} // namespace tarsion
