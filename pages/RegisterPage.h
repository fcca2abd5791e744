#pragma once

#include "ops/DocumentSettings.h"
#include "ops/TarsionDoc.h"
#include "pages/FramePacer.h"
#include "pages/PageFactory.h"
#include "pages/PageFields.h"
#include "registers/PageConversions.h"
#include "registers/RegisterFieldTable.h"

#include <QScrollArea>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QVBoxLayout;

namespace tarsion {

class CStepArrows;

// A hexadecimal edit of a register or of one field: shows (word & mask) >> shift.
struct HexEntry {
    enum class Write {
        Poke,        // the whole value
        PokeLowByte, // the value's low 8 bits (8-bit registers)
        Field,       // ModifyBits(value << shift, mask)
    };
    std::uint8_t reg = 0;
    std::uint32_t mask = 0xffffffff;
    int shift = 0;
    int digits = 8;
    int maxLength = 10;
    Write write = Write::Poke;
};

// A decimal integer edit of a register field, shown as field + `shownOffset`.
struct IntegerEntry {
    std::uint8_t reg = 0;
    std::uint32_t mask = 0;
    int shift = 0;
    std::int64_t minimum = 0;
    std::int64_t maximum = 0;
    std::int64_t shownOffset = 0;
};

// A mantissa-exponent gain kept in two fields of one register, with its step setting.
struct GainEntry {
    std::uint8_t reg = 0;
    int mantissaShift = 0;
    int exponentShift = 0;
    pageconv::GainFormat format{};
    double StepSettings::*step = nullptr;
    // "%lf" rather than "%lg".
    bool sixDecimals = false;
};

// Base of the register pages: a scrollable form whose controls are bound to the register shadow
// and the document settings. It refreshes every control when the document has changed (at most
// once a frame, at once after the page's own controls and before any input), commits
// an edit on Enter and on focus loss when its text changed, steps values with the arrow buttons
// and the Up/Down keys, and writes only through the operation layer. It keeps no register state.
class CRegisterPage : public QScrollArea, public IDocumentObserver {
    Q_OBJECT
public:
    ~CRegisterPage() override;

    void OnDocumentUpdate() override { pacer_.MarkStale(); }
    void OnDocumentSettled(bool operationEnded) override { pacer_.Settle(operationEnded); }
    // Every control from the shadow and the settings again; uncommitted typing is discarded.
    void Refresh();
    // Refreshes the page if the document changed since it was last refreshed.
    void BringUpToDate() { pacer_.Flush(); }
    // The page shows what its own buttons and lists did as soon as their handlers return.
    void FollowOwnControls();

protected:
    CRegisterPage(PageContext context, QWidget* parent);

    CTarsionDoc& Doc() const { return context_.doc; }
    CBoardOperations& Ops() const { return context_.ops; }
    StepSettings& Steps() const { return context_.doc.steps; }
    std::uint32_t Word(std::uint8_t reg) const;
    double SysClk() const;
    // The widget the page lays its controls on.
    QWidget* Content() const { return content_; }
    // Columns of groups on the content: side by side when the page is wide enough, else one
    // below the other, so a small pane scrolls only vertically. Finish adds the spare room.
    QVBoxLayout* AddColumn();
    void FinishColumns();

    // Bound controls; the name is the control's object name.
    QLineEdit* AddHexEdit(const char* name, const HexEntry& entry);
    QLineEdit* AddIntegerEdit(const char* name, const IntegerEntry& entry);
    QLineEdit* AddEdit(const char* name, CEditField::TextSource source, CEditField::Commit commit,
                       CEditField::Step step = {});
    QLineEdit* AddReadOnlyEdit(const char* name, CEditField::TextSource source);
    // An edit for a decimal number shown with "%lg" or "%lf": narrower than a frequency text.
    QLineEdit* AddNumberEdit(const char* name, CEditField::TextSource source, CEditField::Commit commit,
                             CEditField::Step step = {});
    // A gain value edit: written as two ModifyBits, the mantissa first and the exponent only when
    // that succeeded; stepped by its step setting (none while that is 0).
    QLineEdit* AddGainEdit(const char* name, const GainEntry& entry);
    // A step size setting shown with "%lg" and clamped to `range` on entry.
    QLineEdit* AddStepSettingEdit(const char* name, double StepSettings::*setting,
                                  const pageconv::StepRange& range);
    QCheckBox* AddBitBox(const char* name, const QString& text, std::uint8_t reg, std::uint32_t mask,
                         bool activeLow = false);
    QCheckBox* AddStatusBox(const char* name, const QString& text, std::uint8_t reg, std::uint32_t mask);
    QComboBox* AddList(const char* name, const QStringList& items, std::uint8_t reg, ListEncoding encoding);
    void AddBitChoice(QRadioButton* whenSet, QRadioButton* whenClear, std::uint8_t reg, std::uint32_t mask);
    // Controls built from the page's entry in the register field table.
    QCheckBox* AddBitBox(const RegisterField& field);
    QCheckBox* AddStatusBox(const RegisterField& field);
    QComboBox* AddList(const RegisterField& field);
    QComboBox* AddList(const RegisterField& field, ListEncoding encoding);
    QLineEdit* AddIntegerEdit(const RegisterField& field, std::int64_t minimum, std::int64_t maximum);
    // Arrow buttons that step `valueEdit`; some pages give the focus back to the edit afterwards.
    CStepArrows* AddArrows(QLineEdit* valueEdit, bool focusValueAfterStep);
    // A control the page loads itself (from the document rather than the shadow) on each refresh.
    void AddField(std::unique_ptr<CPageField> field);

    // Writes a value the user entered; nothing without a value, a refresh on failure.
    FieldResult Poke(std::uint8_t reg, std::uint32_t value);
    FieldResult ModifyBits(std::uint8_t reg, std::uint32_t bits, std::uint32_t mask);
    // The framework's capture message ("Tarsion" message box).
    void ShowMessage(const QString& text) const;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Apply(FieldResult result);
    void Commit(CEditField& field);
    void Step(CEditField& field, int direction);
    CEditField* AddEditField(QLineEdit* edit, CEditField::TextSource source, CEditField::Commit commit,
                             CEditField::Step step);
    template <class Field, class... Args>
    Field* Bind(Args&&... args);

    void ArrangeColumns();

    PageContext context_;
    CFramePacer pacer_{[this] { Refresh(); }};
    QWidget* content_;
    QBoxLayout* columns_ = nullptr;
    std::vector<std::unique_ptr<CPageField>> fields_;
    std::unordered_map<const QObject*, CEditField*> edits_;
    // A commit may open a message box, which takes the focus: that focus loss must not commit again.
    bool acting_ = false;
};

} // namespace tarsion
