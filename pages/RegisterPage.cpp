#include "pages/RegisterPage.h"

#include "ops/BoardOperations.h"
#include "pages/PageLayout.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QVBoxLayout>

namespace tarsion {

namespace {
// Room for a frequency text such as -40.000000MHz, and for a number such as 31744.000000.
constexpr int kValueCharacters = 14;
constexpr int kNumberCharacters = 12;

// Page edits keep their width when the page grows; spare room stays beside them.
void FixWidth(QLineEdit* edit, int characters) {
    FitEditWidth(edit, characters);
    edit->setFixedWidth(edit->minimumWidth());
}
} // namespace

CRegisterPage::CRegisterPage(PageContext context, QWidget* parent)
    : QScrollArea(parent), context_(context), content_(new QWidget) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setWidget(content_);
    context_.doc.AddObserver(this);
}

CRegisterPage::~CRegisterPage() {
    context_.doc.RemoveObserver(this);
    // Nothing may refresh the page while it comes apart.
    pacer_.MarkUpToDate();
    // The edits outlive this part of the page; their last focus loss must find no handler.
    for (const auto& [edit, field] : edits_)
        field->Edit()->removeEventFilter(this);
}

void CRegisterPage::Refresh() {
    pacer_.MarkUpToDate();
    for (const auto& field : fields_)
        field->Load();
}

void CRegisterPage::FollowOwnControls() {
    // Connected after the pages' own handlers, so it runs once they have acted.
    for (auto* button : content_->findChildren<QAbstractButton*>())
        connect(button, &QAbstractButton::clicked, this, &CRegisterPage::BringUpToDate);
    for (auto* list : content_->findChildren<QComboBox*>())
        connect(list, &QComboBox::activated, this, &CRegisterPage::BringUpToDate);
}

QVBoxLayout* CRegisterPage::AddColumn() {
    if (!columns_)
        columns_ = new QBoxLayout(QBoxLayout::LeftToRight, content_);
    auto* column = new QVBoxLayout;
    columns_->addLayout(column, 0);
    return column;
}

void CRegisterPage::FinishColumns() {
    for (int i = 0; i < columns_->count(); ++i)
        static_cast<QVBoxLayout*>(columns_->itemAt(i)->layout())->addStretch();
    columns_->addStretch();
    ArrangeColumns();
}

void CRegisterPage::ArrangeColumns() {
    if (!columns_)
        return;
    int sideBySide = columns_->contentsMargins().left() + columns_->contentsMargins().right();
    for (int i = 0; i < columns_->count(); ++i) {
        if (QLayout* column = columns_->itemAt(i)->layout())
            sideBySide += column->sizeHint().width() + columns_->spacing();
    }
    const auto direction =
        viewport()->width() >= sideBySide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
    if (columns_->direction() != direction)
        columns_->setDirection(direction);
}

void CRegisterPage::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    ArrangeColumns();
}

std::uint32_t CRegisterPage::Word(std::uint8_t reg) const {
    return context_.doc.Shadow().FetchChipReg(reg);
}

double CRegisterPage::SysClk() const {
    return context_.doc.Shadow().SysClk();
}

template <class Field, class... Args>
Field* CRegisterPage::Bind(Args&&... args) {
    auto field = std::make_unique<Field>(std::forward<Args>(args)...);
    Field* raw = field.get();
    fields_.push_back(std::move(field));
    return raw;
}

CEditField* CRegisterPage::AddEditField(QLineEdit* edit, CEditField::TextSource source,
                                        CEditField::Commit commit, CEditField::Step step) {
    auto* field = Bind<CEditField>(edit, std::move(source), std::move(commit), std::move(step));
    edits_[edit] = field;
    edit->installEventFilter(this);
    return field;
}

QLineEdit* CRegisterPage::AddEdit(const char* name, CEditField::TextSource source, CEditField::Commit commit,
                                  CEditField::Step step) {
    auto* edit = new QLineEdit(content_);
    edit->setObjectName(QLatin1String(name));
    FixWidth(edit, kValueCharacters);
    AddEditField(edit, std::move(source), std::move(commit), std::move(step));
    return edit;
}

QLineEdit* CRegisterPage::AddNumberEdit(const char* name, CEditField::TextSource source,
                                        CEditField::Commit commit, CEditField::Step step) {
    QLineEdit* edit = AddEdit(name, std::move(source), std::move(commit), std::move(step));
    FixWidth(edit, kNumberCharacters);
    return edit;
}

QLineEdit* CRegisterPage::AddReadOnlyEdit(const char* name, CEditField::TextSource source) {
    QLineEdit* edit = AddEdit(name, std::move(source), {});
    edit->setReadOnly(true);
    return edit;
}

QLineEdit* CRegisterPage::AddHexEdit(const char* name, const HexEntry& entry) {
    auto source = [this, entry] {
        return QString::fromStdString(
            pageconv::FormatHex((Word(entry.reg) & entry.mask) >> entry.shift, entry.digits));
    };
    auto commit = [this, entry](const QString& text) {
        const pageconv::HexReading reading = pageconv::ReadHex(text.toStdString());
        if (reading.tooManyDigits) {
            ShowMessage(QStringLiteral("Please enter a hexadecimal number of at most 8 significant digits."));
            return FieldResult::Refused;
        }
        const auto& value = reading.value;
        if (!value)
            return FieldResult::Refresh;
        switch (entry.write) {
        case HexEntry::Write::PokeLowByte:
            return Poke(entry.reg, *value & 0xff);
        case HexEntry::Write::Field:
            return ModifyBits(entry.reg, *value << entry.shift, entry.mask);
        case HexEntry::Write::Poke:
            break;
        }
        return Poke(entry.reg, *value);
    };
    QLineEdit* edit = AddEdit(name, source, commit);
    edit->setMaxLength(entry.maxLength);
    FixWidth(edit, entry.maxLength);
    return edit;
}

QLineEdit* CRegisterPage::AddIntegerEdit(const char* name, const IntegerEntry& entry) {
    auto current = [this, entry] {
        return static_cast<std::int64_t>((Word(entry.reg) & entry.mask) >> entry.shift);
    };
    auto source = [current, entry] { return QString::number(current() + entry.shownOffset); };
    auto commit = [this, current, entry](const QString& text) {
        const auto entered = pageconv::ParseInteger(text.toStdString());
        if (!entered) {
            ShowMessage(QStringLiteral("Please enter an integer."));
            return FieldResult::Refused;
        }
        if (*entered < entry.minimum || *entered > entry.maximum) {
            ShowMessage(QStringLiteral("Please enter an integer between %1 and %2.")
                            .arg(entry.minimum)
                            .arg(entry.maximum));
            return FieldResult::Refused;
        }
        const std::int64_t field = *entered - entry.shownOffset;
        if (field == current())
            return FieldResult::Done;
        return ModifyBits(entry.reg, static_cast<std::uint32_t>(field) << entry.shift, entry.mask);
    };
    return AddEdit(name, source, commit);
}

QLineEdit* CRegisterPage::AddGainEdit(const char* name, const GainEntry& entry) {
    const std::uint32_t mantissaMask = ((1u << entry.format.mantissaBits) - 1) << entry.mantissaShift;
    const std::uint32_t exponentMask = static_cast<std::uint32_t>(entry.format.largestExponent)
                                       << entry.exponentShift;
    auto current = [this, entry, mantissaMask, exponentMask] {
        const std::uint32_t word = Word(entry.reg);
        return pageconv::GainCode{(word & mantissaMask) >> entry.mantissaShift,
                                  (word & exponentMask) >> entry.exponentShift};
    };
    auto write = [this, entry, mantissaMask, exponentMask](pageconv::GainCode code) {
        if (ModifyBits(entry.reg, code.mantissa << entry.mantissaShift, mantissaMask) == FieldResult::Refresh)
            return FieldResult::Refresh;
        return ModifyBits(entry.reg, code.exponent << entry.exponentShift, exponentMask);
    };
    auto source = [current, entry] {
        const double gain = pageconv::DecodeGain(current(), entry.format);
        return QString::fromStdString(entry.sixDecimals ? pageconv::FormatF(gain) : pageconv::FormatG(gain));
    };
    auto commit = [write, entry](const QString& text) {
        const auto gain = pageconv::ParseNumber(text.toStdString());
        if (!gain)
            return FieldResult::Refresh;
        return write(pageconv::EncodeGain(*gain, entry.format));
    };
    auto step = [this, current, write, entry](int direction, const QString&) {
        const double size = Steps().*entry.step;
        if (size == 0)
            return FieldResult::Done;
        return write(pageconv::StepGain(current(), size, direction, entry.format));
    };
    return AddNumberEdit(name, source, commit, step);
}

QLineEdit* CRegisterPage::AddStepSettingEdit(const char* name, double StepSettings::*setting,
                                             const pageconv::StepRange& range) {
    auto source = [this, setting] { return QString::fromStdString(pageconv::FormatG(Steps().*setting)); };
    auto commit = [this, setting, range](const QString& text) {
        if (const auto value = pageconv::ParseNumber(text.toStdString()))
            Steps().*setting = pageconv::ClampStep(*value, range);
        return FieldResult::Refresh;
    };
    return AddNumberEdit(name, source, commit);
}

QCheckBox* CRegisterPage::AddBitBox(const char* name, const QString& text, std::uint8_t reg,
                                    std::uint32_t mask, bool activeLow) {
    auto* box = new QCheckBox(text, content_);
    box->setObjectName(QLatin1String(name));
    auto* field = Bind<CBitField>(box, context_.doc.Shadow(), &context_.ops, reg, mask, activeLow);
    connect(box, &QCheckBox::clicked, this, [this, field] {
        const QScopedValueRollback guard(acting_, true);
        Apply(field->Click());
    });
    return box;
}

QCheckBox* CRegisterPage::AddStatusBox(const char* name, const QString& text, std::uint8_t reg,
                                       std::uint32_t mask) {
    auto* box = new QCheckBox(text, content_);
    box->setObjectName(QLatin1String(name));
    box->setEnabled(false);
    Bind<CBitField>(box, context_.doc.Shadow(), nullptr, reg, mask, false);
    return box;
}

QComboBox* CRegisterPage::AddList(const char* name, const QStringList& items, std::uint8_t reg,
                                  ListEncoding encoding) {
    auto* box = new QComboBox(content_);
    box->setObjectName(QLatin1String(name));
    box->addItems(items);
    box->setFocusPolicy(Qt::StrongFocus);
    FitListWidth(box);
    box->installEventFilter(this);
    auto* field = Bind<CListField>(box, context_.doc.Shadow(), context_.ops, reg, std::move(encoding));
    connect(box, &QComboBox::activated, this, [this, field](int index) {
        const QScopedValueRollback guard(acting_, true);
        Apply(field->Select(index));
    });
    return box;
}

QCheckBox* CRegisterPage::AddBitBox(const RegisterField& field) {
    return AddBitBox(field.name, QString::fromUtf8(field.label), field.reg, field.mask, field.activeLow);
}

QCheckBox* CRegisterPage::AddStatusBox(const RegisterField& field) {
    return AddStatusBox(field.name, QString::fromUtf8(field.label), field.reg, field.mask);
}

QComboBox* CRegisterPage::AddList(const RegisterField& field) {
    return AddList(field, PlainListEncoding(field.mask, field.shift, static_cast<int>(field.items.size())));
}

QComboBox* CRegisterPage::AddList(const RegisterField& field, ListEncoding encoding) {
    QStringList items;
    for (const char* item : field.items)
        items << QString::fromUtf8(item);
    return AddList(field.name, items, field.reg, std::move(encoding));
}

QLineEdit* CRegisterPage::AddIntegerEdit(const RegisterField& field, std::int64_t minimum,
                                         std::int64_t maximum) {
    return AddIntegerEdit(field.name, {.reg = field.reg,
                                       .mask = field.mask,
                                       .shift = field.shift,
                                       .minimum = minimum,
                                       .maximum = maximum,
                                       .shownOffset = field.offset});
}

void CRegisterPage::AddBitChoice(QRadioButton* whenSet, QRadioButton* whenClear, std::uint8_t reg,
                                 std::uint32_t mask) {
    auto* field = Bind<CBitChoiceField>(whenSet, whenClear, context_.doc.Shadow(), context_.ops, reg, mask);
    for (const bool set : {true, false}) {
        connect(set ? whenSet : whenClear, &QRadioButton::clicked, this, [this, field, set] {
            const QScopedValueRollback guard(acting_, true);
            Apply(field->Choose(set));
        });
    }
}

CStepArrows* CRegisterPage::AddArrows(QLineEdit* valueEdit, bool focusValueAfterStep) {
    auto* arrows = new CStepArrows(content_);
    arrows->setObjectName(valueEdit->objectName() + QStringLiteral("Arrows"));
    CEditField* field = edits_.at(valueEdit);
    connect(arrows, &CStepArrows::Stepped, this, [this, field, focusValueAfterStep](int direction) {
        Step(*field, direction);
        if (focusValueAfterStep)
            field->Edit()->setFocus(Qt::OtherFocusReason);
    });
    return arrows;
}

void CRegisterPage::AddField(std::unique_ptr<CPageField> field) {
    fields_.push_back(std::move(field));
}

FieldResult CRegisterPage::Poke(std::uint8_t reg, std::uint32_t value) {
    return context_.ops.Poke(reg, value) ? FieldResult::Done : FieldResult::Refresh;
}

FieldResult CRegisterPage::ModifyBits(std::uint8_t reg, std::uint32_t bits, std::uint32_t mask) {
    return context_.ops.ModifyBits(reg, bits, mask) ? FieldResult::Done : FieldResult::Refresh;
}

void CRegisterPage::ShowMessage(const QString& text) const {
    context_.ops.Prompt().ShowMessage(text.toStdString());
}

void CRegisterPage::Apply(FieldResult result) {
    if (result == FieldResult::Refresh)
        Refresh();
    else
        BringUpToDate();
}

void CRegisterPage::Commit(CEditField& field) {
    const QScopedValueRollback guard(acting_, true);
    const FieldResult result = field.CommitIfChanged();
    if (result == FieldResult::Refused)
        SelectForCorrection(field.Edit());
    Apply(result);
}

void CRegisterPage::Step(CEditField& field, int direction) {
    const QScopedValueRollback guard(acting_, true);
    Apply(field.StepBy(direction));
}

bool CRegisterPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && qobject_cast<QComboBox*>(watched)) {
        // Scrolling the page over a list must not write the register behind it.
        QCoreApplication::sendEvent(verticalScrollBar(), event);
        return true;
    }
    const auto found = edits_.find(watched);
    if (found == edits_.end())
        return QScrollArea::eventFilter(watched, event);
    CEditField& field = *found->second;
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && field.CanCommit()) {
            Commit(field);
            return true;
        }
        if ((key == Qt::Key_Up || key == Qt::Key_Down) && field.CanStep()) {
            Step(field, key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    } else if (event->type() == QEvent::FocusOut && !acting_ &&
               static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        Commit(field);
    }
    return QScrollArea::eventFilter(watched, event);
}

} // namespace tarsion
