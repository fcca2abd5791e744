#include "views/PlotExport.h"

#include "base/ReplacementFile.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgGenerator>
#include <QValueAxis>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace tarsion {

namespace {
// Every line of the charts cut to its axes for as long as it lives; the points come back after.
class ClippedLines {
public:
    explicit ClippedLines(QWidget& plots) {
        for (QChartView* view : plots.findChildren<QChartView*>()) {
            for (QAbstractSeries* series : view->chart()->series()) {
                auto* line = qobject_cast<QLineSeries*>(series);
                QValueAxis* x = nullptr;
                QValueAxis* y = nullptr;
                for (QAbstractAxis* axis : series->attachedAxes())
                    (axis->orientation() == Qt::Horizontal ? x : y) = qobject_cast<QValueAxis*>(axis);
                if (!line || !x || !y)
                    continue;
                saved_.append({line, line->points()});
                line->replace(ClipToRange(saved_.back().second,
                                          QRectF(QPointF(x->min(), y->min()), QPointF(x->max(), y->max()))));
            }
        }
    }
    ~ClippedLines() {
        for (const auto& [line, points] : saved_)
            line->replace(points);
    }
    ClippedLines(const ClippedLines&) = delete;
    ClippedLines& operator=(const ClippedLines&) = delete;

private:
    QList<std::pair<QLineSeries*, QList<QPointF>>> saved_;
};

// Written in full or not at all, through a link to where it leads, and only over a regular file.
bool SaveBytes(const QString& path, const QByteArray& bytes) {
    CReplacementFile file(QFile::encodeName(path).toStdString(), CReplacementFile::Links::WriteThrough);
    return file.Commit(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}
} // namespace

bool ExportPng(QWidget& plots, const QString& path) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return plots.grab().save(&buffer, "PNG") && SaveBytes(path, bytes);
}

bool ExportSvg(QWidget& plots, const QString& path, const QString& title) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(plots.size());
    generator.setViewBox(plots.rect());
    generator.setTitle(title);
    QPainter painter;
    if (!painter.begin(&generator))
        return false;
    const ClippedLines clip(plots);
    plots.render(&painter);
    painter.end();
    return SaveBytes(path, bytes);
}

QList<QPointF> ClipToRange(const QList<QPointF>& points, const QRectF& range) {
    const double left = range.left();
    const double right = range.right();
    const auto held = [&range](QPointF p) {
        p.setY(std::clamp(p.y(), range.top(), range.bottom()));
        return p;
    };
    QList<QPointF> clipped;
    for (qsizetype k = 0; k < points.size(); ++k) {
        const QPointF& p = points[k];
        if (k > 0) {
            const QPointF& q = points[k - 1];
            // The edges the segment from q to p crosses, in the order it crosses them.
            const double edges[2] = {q.x() < p.x() ? left : right, q.x() < p.x() ? right : left};
            for (const double edge : edges) {
                if ((q.x() - edge) * (p.x() - edge) < 0) {
                    const double t = (edge - q.x()) / (p.x() - q.x());
                    clipped.append(held({edge, q.y() + t * (p.y() - q.y())}));
                }
            }
        }
        if (p.x() >= left && p.x() <= right)
            clipped.append(held(p));
    }
    return clipped;
}

bool ExportText(const QString& path, const QString& text) {
    return SaveBytes(path, text.toUtf8());
}

QWidget* CreateExportButtons(QWidget* parent, const QString& baseName, ExportActions actions) {
    auto* bar = new QWidget(parent);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    struct Kind {
        const char* label;
        const char* filter;
        const char* suffix;
        std::function<bool(const QString&)> run;
    };
    const Kind kinds[] = {{"Export PNG...", "PNG Pictures (*.png)", ".png", actions.png},
                          {"Export SVG...", "SVG Drawings (*.svg)", ".svg", actions.svg},
                          {"Export CSV...", "CSV Files (*.csv)", ".csv", actions.csv}};
    for (const Kind& kind : kinds) {
        auto* button = new QPushButton(QString::fromLatin1(kind.label), bar);
        layout->addWidget(button);
        QObject::connect(button, &QPushButton::clicked, bar, [bar, baseName, kind] {
            const QString path = QFileDialog::getSaveFileName(bar, QString::fromLatin1(kind.label).chopped(3),
                                                              baseName + QString::fromLatin1(kind.suffix),
                                                              QString::fromLatin1(kind.filter));
            if (!path.isEmpty() && !kind.run(path))
                QMessageBox::warning(bar, QStringLiteral("Tarsion"),
                                     QStringLiteral("Couldn't write ") + path);
        });
    }
    layout->addStretch(1);
    return bar;
}

} // namespace tarsion
