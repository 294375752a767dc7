#include "app/desktop/Notice.h"

namespace app::desktop {

namespace {
// How often a held-back notice checks whether the switch is over.
constexpr int kRetryMilliseconds = 100;
} // namespace

void presentNotice(QWidget* notice) {
    if (!notice) return;
    notice->setWindowModality(Qt::NonModal);
    notice->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    notice->show();
    notice->raise();
    notice->activateWindow();
}

NoticeGate::NoticeGate() {
    retry_.setInterval(kRetryMilliseconds);
    QObject::connect(&retry_, &QTimer::timeout, [this] { retry(); });
}

void NoticeGate::present(QWidget* notice) {
    if (!busy_ || !busy_()) {
        presentNotice(notice);
        return;
    }
    waiting_ = notice;
    if (!retry_.isActive()) retry_.start();
}

void NoticeGate::retry() {
    if (!waiting_) {
        retry_.stop();
        return;
    }
    if (busy_ && busy_()) return;
    retry_.stop();
    QWidget* notice = waiting_;
    waiting_ = nullptr;
    presentNotice(notice);
}

} // namespace app::desktop
