#pragma once

#include <QString>

#include <cstdint>
#include <functional>

class QAbstractButton;
class QComboBox;
class QLineEdit;

namespace tarsion {

class CBoardOperations;
class RegisterShadow;

// What a page action leaves to the framework: nothing (a successful write already refreshed the
// page through the document), a refresh from the shadow (failed write, nothing to write), or, for
// an entry refused with a message, the typed text kept and selected for the user to correct.
enum class FieldResult { Done, Refresh, Refused };

// Gives a refused entry back to the user: the edit takes the focus with its text selected.
void SelectForCorrection(QLineEdit* edit);

// One control bound to the register shadow or the document settings. Load reads the source and
// shows it; the page calls it for every field on each refresh.
class CPageField {
public:
    virtual ~CPageField() = default;
    virtual void Load() = 0;
};

// A single-line edit: shows a text computed from the shadow or the settings and commits a changed
// text. Value edits may also step up and down.
class CEditField final : public CPageField {
public:
    using TextSource = std::function<QString()>;
    using Commit = std::function<FieldResult(const QString& text)>;
    // `shown` is the text last displayed, the starting point of some steps.
    using Step = std::function<FieldResult(int direction, const QString& shown)>;

    CEditField(QLineEdit* edit, TextSource source, Commit commit, Step step = {});

    void Load() override;
    // Runs the commit when the edit's text differs from the text last shown.
    FieldResult CommitIfChanged();
    FieldResult StepBy(int direction);
    bool CanStep() const { return static_cast<bool>(step_); }
    bool CanCommit() const { return static_cast<bool>(commit_); }
    QLineEdit* Edit() const { return edit_; }

private:
    QLineEdit* edit_;
    TextSource source_;
    Commit commit_;
    Step step_;
    QString shown_;
};

// A check box for one bit (or a group of bits) of a register. A click acts on the state shown
// before it: ticked clears the bits, clear sets them (the reverse for an active-low bit).
// Without operations the box only displays the bits.
class CBitField final : public CPageField {
public:
    CBitField(QAbstractButton* box, const RegisterShadow& shadow, CBoardOperations* ops, std::uint8_t reg,
              std::uint32_t mask, bool activeLow);

    void Load() override;
    FieldResult Click();

private:
    QAbstractButton* box_;
    const RegisterShadow& shadow_;
    CBoardOperations* ops_;
    std::uint8_t reg_;
    std::uint32_t mask_;
    bool activeLow_;
    bool ticked_ = false;
};

// Two radio buttons choosing one bit's value; a click writes the value its button stands for.
class CBitChoiceField final : public CPageField {
public:
    CBitChoiceField(QAbstractButton* whenSet, QAbstractButton* whenClear, const RegisterShadow& shadow,
                    CBoardOperations& ops, std::uint8_t reg, std::uint32_t mask);

    void Load() override;
    FieldResult Choose(bool set);

private:
    QAbstractButton* whenSet_;
    QAbstractButton* whenClear_;
    const RegisterShadow& shadow_;
    CBoardOperations& ops_;
    std::uint8_t reg_;
    std::uint32_t mask_;
};

// How a drop-down list maps to a register field: the list index the register word selects (-1
// for none) and the field data that an index writes under `mask`.
struct ListEncoding {
    std::function<int(std::uint32_t word)> indexOf;
    std::function<std::uint32_t(int index)> dataOf;
    std::uint32_t mask = 0;
};
// The common case: index = field value.
ListEncoding PlainListEncoding(std::uint32_t mask, int shift, int items);

// A drop-down list for a register field; a selection writes only when the index changed.
class CListField final : public CPageField {
public:
    CListField(QComboBox* box, const RegisterShadow& shadow, CBoardOperations& ops, std::uint8_t reg,
               ListEncoding encoding);

    void Load() override;
    FieldResult Select(int index);

private:
    QComboBox* box_;
    const RegisterShadow& shadow_;
    CBoardOperations& ops_;
    std::uint8_t reg_;
    ListEncoding encoding_;
    int shown_ = -1;
};

} // namespace tarsion
