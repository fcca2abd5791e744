#include "pages/PageLayout.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarsion {

CStepArrows::CStepArrows(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const int direction : {-1, 1}) {
        auto* button = new QToolButton(this);
        button->setArrowType(direction > 0 ? Qt::RightArrow : Qt::LeftArrow);
        button->setObjectName(direction > 0 ? QStringLiteral("up") : QStringLiteral("down"));
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, [this, direction] { emit Stepped(direction); });
        layout->addWidget(button);
    }
}

QStringList ItemTexts(std::initializer_list<const char*> texts) {
    QStringList items;
    for (const char* text : texts)
        items << QString::fromLatin1(text);
    return items;
}

void FitEditWidth(QLineEdit* edit, int characters) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    const QSize text(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * (characters + 1),
                     edit->fontMetrics().height());
    edit->setMinimumWidth(edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, edit).width());
}

void FitListWidth(QComboBox* list) {
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    list->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QHBoxLayout* MakeColumns(QWidget* content) {
    return new QHBoxLayout(content);
}

QVBoxLayout* AddColumn(QHBoxLayout* columns) {
    auto* column = new QVBoxLayout;
    columns->addLayout(column);
    return column;
}

void FinishColumns(QHBoxLayout* columns) {
    for (int i = 0; i < columns->count(); ++i) {
        if (auto* column = qobject_cast<QVBoxLayout*>(columns->itemAt(i)->layout()))
            column->addStretch();
    }
    columns->addStretch();
}

QGroupBox* MakeGroup(const QString& title, QLineEdit* registerEdit) {
    auto* group = new QGroupBox(title);
    auto* column = new QVBoxLayout(group);
    if (registerEdit) {
        auto* top = new QHBoxLayout;
        top->addStretch();
        top->addWidget(registerEdit);
        column->addLayout(top);
    }
    column->addLayout(new QGridLayout);
    return group;
}

QGridLayout* GroupGrid(QGroupBox* group) {
    auto* column = static_cast<QVBoxLayout*>(group->layout());
    return static_cast<QGridLayout*>(column->itemAt(column->count() - 1)->layout());
}

void AddLabelled(QGridLayout* grid, const QString& label, QWidget* control) {
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(label), row, 0);
    grid->addWidget(control, row, 1, 1, -1, Qt::AlignLeft);
}

void AddSteppedRow(QGridLayout* grid, const QString& label, QLineEdit* value, QWidget* arrows,
                   const QString& stepLabel, QLineEdit* step) {
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(label), row, 0);
    grid->addWidget(value, row, 1);
    grid->addWidget(arrows, row, 2);
    grid->addWidget(new QLabel(stepLabel), row, 3);
    grid->addWidget(step, row, 4);
}

} // namespace tarsion
