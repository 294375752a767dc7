#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

namespace app::desktop {

// One Zelvo per user and display. The first process listens on a local
// socket in the user's runtime folder; a later launch connects, asks the
// running one to re-open (it presents the switcher panel) and should exit.
class SingleInstance {
public:
    // The socket path for this user and display.
    static QString defaultSocketPath();

    explicit SingleInstance(QString socketPath = defaultSocketPath());
    ~SingleInstance();

    // True when another instance answered the hand-over: this process should
    // end now.
    bool handOverToRunning(int timeoutMilliseconds = 1000);
    // Starts listening; `reopen` runs on the main thread for each hand-over.
    bool listen(std::function<void()> reopen);
    const QString& socketPath() const { return path_; }

    static constexpr const char* kReopenRequest = "reopen\n";
    static constexpr const char* kReopenAnswer = "ok\n";

private:
    QString path_;
    std::unique_ptr<QLocalServer> server_;
};

} // namespace app::desktop
