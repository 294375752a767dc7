#include "app/desktop/SingleInstance.h"

#include "app/desktop/InstanceSocket.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <cstring>
#include <unistd.h>

namespace app::desktop {

QString SingleInstance::socketPathFor(const std::string& sessionName) {
    // Qt makes the runtime folder when it is missing.
    QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QString::fromStdString(instanceSocketPath(sessionName));
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
    while (socket.bytesAvailable() < qint64(std::strlen(kAnswer)))
        if (!socket.waitForReadyRead(timeout)) return false;
    return socket.readLine(kMaxRequest) == kAnswer;
}

bool SingleInstance::listen(std::function<void(Request)> handle) {
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Nobody answered handOverToRunning: a socket file left there belongs to
    // an instance that is gone.
    QLocalServer::removeServer(path_);
    if (!server_->listen(path_)) return false;
    auto callback = std::make_shared<std::function<void(Request)>>(std::move(handle));
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this, callback] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, callback] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > kMaxRequest) socket->abort();
                    return;
                }
                const QByteArray line = socket->readLine(kMaxRequest);
                Request request;
                if (line == kReopenRequest) request = Request::Reopen;
                else if (line == kShowRequest) request = Request::Show;
                else if (line == kShowReverseRequest) request = Request::ShowReverse;
                else {
                    socket->abort();
                    return;
                }
                socket->write(kAnswer);
                socket->flush();
                (*callback)(request);
            });
        }
    });
    return true;
}

} // namespace app::desktop
