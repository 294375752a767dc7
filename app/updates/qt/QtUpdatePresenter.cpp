#include "app/updates/qt/QtUpdatePresenter.h"

#include <QMessageBox>
#include <QPushButton>

namespace app {

QtUpdatePresenter::QtUpdatePresenter(OpenURL openURL) : openURL_(std::move(openURL)) {}

QtUpdatePresenter::~QtUpdatePresenter() {
    if (dialog_) delete dialog_.data();
}

QMessageBox* QtUpdatePresenter::present(int icon, const QString& text, const QString& informative) {
    if (dialog_) dialog_->close();
    auto* box = new QMessageBox();
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("Software Update"));
    box->setIcon(static_cast<QMessageBox::Icon>(icon));
    box->setText(text);
    box->setInformativeText(informative);
    dialog_ = box;
    return box;
}

void QtUpdatePresenter::showUpToDate(const std::string& currentVersion) {
    auto* box = present(QMessageBox::Information, QStringLiteral("You're up to date!"),
                        QStringLiteral("Zelvo %1 is currently the newest version available.")
                            .arg(QString::fromStdString(currentVersion)));
    box->setStandardButtons(QMessageBox::Ok);
    gate_.present(box);
}

void QtUpdatePresenter::showUpdateAvailable(const AppcastItem& item, const std::string& currentVersion) {
    auto* box = present(QMessageBox::Information, QStringLiteral("A new version of Zelvo is available!"),
                        QStringLiteral("Zelvo %1 is now available; you have %2. Would you like to download it now?")
                            .arg(QString::fromStdString(item.version), QString::fromStdString(currentVersion)));
    auto* download = box->addButton(QStringLiteral("Download"), QMessageBox::AcceptRole);
    box->addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    box->setDefaultButton(download);
    const std::string url = item.downloadURL;
    QObject::connect(download, &QPushButton::clicked, box, [open = openURL_, url] {
        if (open) open(url);
    });
    gate_.present(box);
}

void QtUpdatePresenter::showCheckFailed(const std::string& description) {
    auto* box = present(QMessageBox::Warning, QStringLiteral("Zelvo could not check for updates."),
                        QString::fromStdString(description) + QStringLiteral(" Please try again later."));
    box->setStandardButtons(QMessageBox::Ok);
    gate_.present(box);
}

} // namespace app
