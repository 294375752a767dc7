#include "platform/linux/qt/QtMainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace platform::qt {

QtMainQueue::QtMainQueue(TimerService& timers) : PostingQueue("main", timers), context_(new QObject) {
    // The context must belong to the GUI thread whichever thread builds us.
    if (auto* app = QCoreApplication::instance()) context_->moveToThread(app->thread());
}

QtMainQueue::~QtMainQueue() {
    // Queued calls still pending are dropped with their context.
    if (context_->thread() == QThread::currentThread()) delete context_;
    else context_->deleteLater();
}

bool QtMainQueue::isCurrent() const { return QThread::currentThread() == context_->thread(); }

void QtMainQueue::post(Task task) {
    QMetaObject::invokeMethod(
        context_, [task = std::move(task)]() { task(); }, Qt::QueuedConnection);
}

} // namespace platform::qt
