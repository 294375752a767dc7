#pragma once

#include "app/desktop/Notice.h"
#include "app/updates/UpdatePresenter.h"

#include <QMessageBox>
#include <QPointer>

#include <functional>

namespace app {

// The update checker's dialogs as Qt message boxes. They are modal to
// nothing and shown without a nested event loop, so an answer arriving while
// the user works elsewhere never blocks Zelvo's keys; they show above Zelvo's
// own windows, and not before a switch in progress is over. A newer dialog
// replaces one still open.
class QtUpdatePresenter : public UpdatePresenter {
public:
    using OpenURL = std::function<bool(const std::string&)>;
    explicit QtUpdatePresenter(OpenURL openURL);
    ~QtUpdatePresenter() override;

    void showUpToDate(const std::string& currentVersion) override;
    void showUpdateAvailable(const AppcastItem& item, const std::string& currentVersion) override;
    void showCheckFailed(const std::string& description) override;

    // While `busy` answers true (a switch in progress), dialogs wait.
    void holdWhile(desktop::NoticeGate::Busy busy) { gate_.setBusy(std::move(busy)); }
    desktop::NoticeGate& gate() { return gate_; }

    // The dialog on screen or waiting to be, if any (for tests).
    QMessageBox* currentDialog() const { return dialog_; }

private:
    QMessageBox* present(int icon, const QString& text, const QString& informative);

    OpenURL openURL_;
    QPointer<QMessageBox> dialog_;
    desktop::NoticeGate gate_;
};

} // namespace app
