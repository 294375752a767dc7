#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace app::desktop {

// Shows one of Zelvo's notices (update answers, the About box): never modal,
// so the switcher panel keeps getting its keys, and kept above Zelvo's own
// always-on-top windows (the welcome), where the user sees it.
void presentNotice(QWidget* notice);

// Holds notices back while the user is in the middle of a switch and shows
// them once it is over. Without a condition, notices show at once.
class NoticeGate {
public:
    using Busy = std::function<bool()>;
    NoticeGate();
    void setBusy(Busy busy) { busy_ = std::move(busy); }
    // Presents `notice` now, or as soon as nothing holds it back. A notice
    // waiting here is dropped when it is closed or deleted meanwhile.
    void present(QWidget* notice);
    // Shows the held notice when nothing holds it back any more (checked
    // every 100 ms while one waits).
    void retry();

private:
    Busy busy_;
    QPointer<QWidget> waiting_;
    QTimer retry_;
};

} // namespace app::desktop
