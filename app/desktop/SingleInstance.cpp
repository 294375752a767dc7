#include "app/desktop/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <cstring>
#include <unistd.h>

namespace app::desktop {

namespace {
// A request line longer than this is not ours: the connection is dropped.
constexpr qint64 kMaxRequest = 64;
} // namespace

QString SingleInstance::defaultSocketPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    QString display = qEnvironmentVariable("DISPLAY");
    for (auto& c : display)
        if (!c.isLetterOrNumber()) c = QLatin1Char('_');
    return dir + QStringLiteral("/zelvo-%1-%2.socket").arg(getuid()).arg(display);
}

SingleInstance::SingleInstance(QString socketPath) : path_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

bool SingleInstance::handOverToRunning(int timeout) {
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(timeout)) return false;
    socket.write(kReopenRequest);
    if (!socket.waitForBytesWritten(timeout)) return false;
    // The answer says the running instance took the request.
    while (socket.bytesAvailable() < qint64(std::strlen(kReopenAnswer)))
        if (!socket.waitForReadyRead(timeout)) return false;
    return socket.readLine(kMaxRequest) == kReopenAnswer;
}

bool SingleInstance::listen(std::function<void()> reopen) {
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Nobody answered handOverToRunning: a socket file left there belongs to
    // an instance that is gone.
    QLocalServer::removeServer(path_);
    if (!server_->listen(path_)) return false;
    auto callback = std::make_shared<std::function<void()>>(std::move(reopen));
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this, callback] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, callback] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > kMaxRequest) socket->abort();
                    return;
                }
                QByteArray line = socket->readLine(kMaxRequest);
                if (line != kReopenRequest) {
                    socket->abort();
                    return;
                }
                socket->write(kReopenAnswer);
                socket->flush();
                (*callback)();
            });
        }
    });
    return true;
}

} // namespace app::desktop
