#include "PlotExport.h"

#include "board/ReplacementFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgGenerator>
#include <QWidget>

namespace tarsion {

namespace {
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
    plots.render(&painter);
    painter.end();
    return SaveBytes(path, bytes);
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
