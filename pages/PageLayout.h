#pragma once

#include <QGroupBox>
#include <QWidget>

#include <initializer_list>

class QComboBox;
class QGridLayout;
class QLineEdit;

namespace tarsion {

// The pair of small arrow buttons beside a value edit: the right one steps up, the left one down.
class CStepArrows final : public QWidget {
    Q_OBJECT
public:
    explicit CStepArrows(QWidget* parent);

signals:
    void Stepped(int direction);
};

// The items of a drop-down list.
QStringList ItemTexts(std::initializer_list<const char*> texts);

// Wide enough for `characters` digits, so a register value is never clipped.
void FitEditWidth(QLineEdit* edit, int characters);
// As wide as its longest item.
void FitListWidth(QComboBox* list);

// A group box whose body is a grid; with `registerEdit` the register's hexadecimal edit sits in the
// group's top line, as in a title.
QGroupBox* MakeGroup(const QString& title, QLineEdit* registerEdit = nullptr);
QGridLayout* GroupGrid(QGroupBox* group);

// Label and control in the next row of a grid.
void AddLabelled(QGridLayout* grid, const QString& label, QWidget* control);
// "Value [<][>] Step [step]": a value edit with its arrows and step size edit.
void AddSteppedRow(QGridLayout* grid, const QString& label, QLineEdit* value, QWidget* arrows,
                   const QString& stepLabel, QLineEdit* step);

} // namespace tarsion
