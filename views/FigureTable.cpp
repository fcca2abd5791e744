#include "views/FigureTable.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>

#include <algorithm>

namespace tarsion {

CFigureTable::CFigureTable(const QString& objectName, QWidget* parent) : QTableWidget(parent) {
    setObjectName(objectName);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    horizontalHeader()->setStretchLastSection(false);
    setWordWrap(false);
    setShowGrid(false);
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    hide();
}

void CFigureTable::Show(const QStringList& headings, const std::vector<QStringList>& rows) {
    setVisible(!rows.empty());
    setColumnCount(static_cast<int>(headings.size()));
    setRowCount(static_cast<int>(rows.size()));
    setHorizontalHeaderLabels(headings);
    for (int row = 0; row < rowCount(); ++row) {
        for (int column = 0; column < columnCount(); ++column) {
            const QStringList& cells = rows[static_cast<std::size_t>(row)];
            auto* cell = new QTableWidgetItem(column < cells.size() ? cells[column] : QString());
            cell->setTextAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                               : Qt::AlignRight | Qt::AlignVCenter);
            setItem(row, column, cell);
        }
    }
    resizeColumnsToContents();
    resizeRowsToContents();
    updateGeometry();
}

QSize CFigureTable::sizeHint() const {
    // Asked when laid out, so the sizes are those of the font and style in use.
    int width = 2 * frameWidth();
    for (int column = 0; column < columnCount(); ++column)
        width += std::max(columnWidth(column), sizeHintForColumn(column));
    int height = 2 * frameWidth() + horizontalHeader()->sizeHint().height();
    for (int row = 0; row < rowCount(); ++row)
        height += std::max(rowHeight(row), sizeHintForRow(row));
    return {width, height};
}

void CFigureTable::showEvent(QShowEvent* event) {
    QTableWidget::showEvent(event);
    // The style in use may make the rows taller than they were when filled.
    resizeColumnsToContents();
    resizeRowsToContents();
    updateGeometry();
}

QString CFigureTable::Text() const {
    QStringList lines;
    QStringList headings;
    for (int column = 0; column < columnCount(); ++column)
        headings.append(horizontalHeaderItem(column) ? horizontalHeaderItem(column)->text() : QString());
    lines.append(headings.join(QLatin1Char('\t')));
    for (int row = 0; row < rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < columnCount(); ++column)
            cells.append(item(row, column) ? item(row, column)->text() : QString());
        lines.append(cells.join(QLatin1Char('\t')));
    }
    return lines.join(QLatin1Char('\n'));
}

bool CFigureTable::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        event->accept();
        return true;
    }
    return QTableWidget::event(event);
}

void CFigureTable::keyPressEvent(QKeyEvent* event) {
    if (!event->matches(QKeySequence::Copy) || selectedRanges().isEmpty()) {
        QTableWidget::keyPressEvent(event);
        return;
    }
    const QTableWidgetSelectionRange range = selectedRanges().front();
    QStringList lines;
    for (int row = range.topRow(); row <= range.bottomRow(); ++row) {
        QStringList cells;
        for (int column = range.leftColumn(); column <= range.rightColumn(); ++column)
            cells.append(item(row, column) ? item(row, column)->text() : QString());
        lines.append(cells.join(QLatin1Char('\t')));
    }
    QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

} // namespace tarsion
