#include "pages/FramePacer.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

namespace tarsion {

namespace {
// Events that act on what a widget shows: the view must be current before they are delivered.
bool ActsOnWidgets(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchEnd:
    // A focus loss commits a page edit whose text differs from what the page last showed.
    case QEvent::FocusOut:
        return true;
    default:
        return false;
    }
}
} // namespace

CFramePacer::CFramePacer(std::function<void()> bringUpToDate, QObject* parent, int frameMs)
    : QObject(parent), bringUpToDate_(std::move(bringUpToDate)), frameMs_(frameMs) {
    frameEnd_.setSingleShot(true);
    connect(&frameEnd_, &QTimer::timeout, this, &CFramePacer::Flush);
}

CFramePacer::~CFramePacer() {
    if (stale_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void CFramePacer::MarkStale() {
    if (stale_)
        return;
    stale_ = true;
    // Input anywhere may act on this view; only while it is stale is there anything to do first.
    QCoreApplication::instance()->installEventFilter(this);
    const qint64 since = sinceUpdate_.isValid() ? sinceUpdate_.elapsed() : frameMs_;
    frameEnd_.start(static_cast<int>(std::max<qint64>(0, frameMs_ - since)));
}

void CFramePacer::Settle(bool operationEnded) {
    if (stale_ && (!operationEnded || !sinceUpdate_.isValid() || sinceUpdate_.elapsed() >= frameMs_))
        Flush();
}

void CFramePacer::Flush() {
    if (!stale_)
        return;
    MarkUpToDate();
    bringUpToDate_();
}

void CFramePacer::MarkUpToDate() {
    sinceUpdate_.start();
    if (!stale_)
        return;
    stale_ = false;
    frameEnd_.stop();
    QCoreApplication::instance()->removeEventFilter(this);
}

bool CFramePacer::eventFilter(QObject* watched, QEvent* event) {
    if (stale_ && ActsOnWidgets(event->type()))
        Flush();
    return QObject::eventFilter(watched, event);
}

} // namespace tarsion
