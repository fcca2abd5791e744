#pragma once

#include <QGroupBox>
#include <QWidget>

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

// Wide enough for `characters` digits, so a register value is never clipped.
void FitEditWidth(QLineEdit* edit, int characters);

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
