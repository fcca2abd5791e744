#include "pages/PageFields.h"

#include "board/RegisterShadow.h"
#include "ops/BoardOperations.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

namespace tarsion {

namespace {
FieldResult Written(bool ok) {
    return ok ? FieldResult::Done : FieldResult::Refresh;
}
} // namespace

void SelectForCorrection(QLineEdit* edit) {
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

CEditField::CEditField(QLineEdit* edit, TextSource source, Commit commit, Step step)
    : edit_(edit), source_(std::move(source)), commit_(std::move(commit)), step_(std::move(step)) {}

void CEditField::Load() {
    shown_ = source_();
    // Leaves an unchanged edit alone, so the cursor of the edit being read stays where it is.
    if (edit_->text() != shown_)
        edit_->setText(shown_);
}

FieldResult CEditField::CommitIfChanged() {
    if (!commit_ || edit_->text() == shown_)
        return FieldResult::Done;
    return commit_(edit_->text());
}

FieldResult CEditField::StepBy(int direction) {
    if (!step_ || direction == 0)
        return FieldResult::Done;
    return step_(direction, shown_);
}

CBitField::CBitField(QAbstractButton* box, const RegisterShadow& shadow, CBoardOperations* ops,
                     std::uint8_t reg, std::uint32_t mask, bool activeLow)
    : box_(box), shadow_(shadow), ops_(ops), reg_(reg), mask_(mask), activeLow_(activeLow) {}

void CBitField::Load() {
    ticked_ = ((shadow_.FetchChipReg(reg_) & mask_) != 0) != activeLow_;
    box_->setChecked(ticked_);
}

FieldResult CBitField::Click() {
    if (!ops_)
        return FieldResult::Refresh;
    const bool bitsSet = ticked_ != activeLow_;
    return Written(bitsSet ? ops_->ResetBits(reg_, mask_) : ops_->SetBits(reg_, mask_));
}

CBitChoiceField::CBitChoiceField(QAbstractButton* whenSet, QAbstractButton* whenClear,
                                 const RegisterShadow& shadow, CBoardOperations& ops, std::uint8_t reg,
                                 std::uint32_t mask)
    : whenSet_(whenSet), whenClear_(whenClear), shadow_(shadow), ops_(ops), reg_(reg), mask_(mask) {}

void CBitChoiceField::Load() {
    const bool set = (shadow_.FetchChipReg(reg_) & mask_) != 0;
    (set ? whenSet_ : whenClear_)->setChecked(true);
}

FieldResult CBitChoiceField::Choose(bool set) {
    return Written(set ? ops_.SetBits(reg_, mask_) : ops_.ResetBits(reg_, mask_));
}

ListEncoding PlainListEncoding(std::uint32_t mask, int shift, int items) {
    return ListEncoding{[=](std::uint32_t word) {
                            const int index = static_cast<int>((word & mask) >> shift);
                            return index < items ? index : -1;
                        },
                        [=](int index) { return static_cast<std::uint32_t>(index) << shift; }, mask};
}

CListField::CListField(QComboBox* box, const RegisterShadow& shadow, CBoardOperations& ops, std::uint8_t reg,
                       ListEncoding encoding)
    : box_(box), shadow_(shadow), ops_(ops), reg_(reg), encoding_(std::move(encoding)) {}

void CListField::Load() {
    shown_ = encoding_.indexOf(shadow_.FetchChipReg(reg_));
    box_->setCurrentIndex(shown_);
}

FieldResult CListField::Select(int index) {
    if (index == shown_ || index < 0)
        return FieldResult::Done;
    return Written(ops_.ModifyBits(reg_, encoding_.dataOf(index), encoding_.mask));
}

} // namespace tarsion
