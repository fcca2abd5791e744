#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <functional>

class QWidget;

namespace tarsion {

// Exports of a view: its plots as a PNG or SVG picture, its data as CSV text. Each writes to a
// temporary file beside the target and renames it, so a failed export leaves an old file whole.
bool ExportPng(QWidget& plots, const QString& path);
bool ExportSvg(QWidget& plots, const QString& path, const QString& title);
bool ExportText(const QString& path, const QString& text);

// A line cut to the x range of `range` (with a point where it crosses an edge) and held within its
// y range: what an SVG export draws, since the SVG writer ignores the plot's clip.
QList<QPointF> ClipToRange(const QList<QPointF>& points, const QRectF& range);

// The three export buttons of a view; each asks for a file name, then exports.
struct ExportActions {
    std::function<bool(const QString&)> png;
    std::function<bool(const QString&)> svg;
    std::function<bool(const QString&)> csv;
};
QWidget* CreateExportButtons(QWidget* parent, const QString& baseName, ExportActions actions);

} // namespace tarsion
