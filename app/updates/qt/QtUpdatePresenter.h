#pragma once

#include "app/updates/UpdatePresenter.h"

#include <QMessageBox>
#include <QPointer>

#include <functional>



namespace app {

// The update checker's dialogs as Qt message boxes. They are window-modal
// to nothing and shown without a nested event loop, so an answer arriving
// while the user works elsewhere never blocks Zelvo. A newer dialog replaces
// one still open.
class QtUpdatePresenter : public UpdatePresenter {
public:
    using OpenURL = std::function<bool(const std::string&)>;
    explicit QtUpdatePresenter(OpenURL openURL);
    ~QtUpdatePresenter() override;

    void showUpToDate(const std::string& currentVersion) override;
    void showUpdateAvailable(const AppcastItem& item, const std::string& currentVersion) override;
    void showCheckFailed(const std::string& description) override;

    // The dialog on screen, if any (for tests).
    QMessageBox* currentDialog() const { return dialog_; }

private:
    QMessageBox* present(int icon, const QString& text, const QString& informative);

    OpenURL openURL_;
    QPointer<QMessageBox> dialog_;
};

} // namespace app
