#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QLocalServer;

namespace app::desktop {

// One Zelvo per user and display session. The first process listens on a
// local socket in the user's runtime folder (see InstanceSocket.h); a later
// launch connects, asks the running one to re-open (it presents the switcher
// panel) and should exit. `zelvo --show` sends the hot key's press the same
// way.
class SingleInstance {
public:
    enum class Request { Reopen, Show, ShowReverse };

    // The socket path for this user and the display session `sessionName`.
    static QString socketPathFor(const std::string& sessionName);

    explicit SingleInstance(QString socketPath);
    ~SingleInstance();

    // True when another instance answered the hand-over: this process should
    // end now.
    bool handOverToRunning(int timeoutMilliseconds = 1000);
    // Starts listening; `handle` runs on the main thread for each request.
    bool listen(std::function<void(Request)> handle);
    const QString& socketPath() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QLocalServer> server_;
};

} // namespace app::desktop
