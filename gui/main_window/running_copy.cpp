#include "main_window/running_copy.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <algorithm>

namespace lumigal {

namespace {
constexpr char kFrontRequest[] = "front\n";
}

QString runningCopySocketPath(const std::string& runtimeFolder) {
    return QDir(QString::fromStdString(runtimeFolder)).filePath(QStringLiteral("Lumigal.socket"));
}

RunningCopyListener::RunningCopyListener(const QString& socketPath, QObject* parent)
    : QObject(parent), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath);
    server_->listen(socketPath);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) return;
                if (socket->readLine() == kFrontRequest) emit called();
                socket->disconnectFromServer();
            });
        }
    });
}

bool RunningCopyListener::listening() const { return server_->isListening(); }

bool callRunningCopy(const QString& socketPath, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    do {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
            socket.write(kFrontRequest);
            const bool sent = socket.waitForBytesWritten(
                static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

}  // namespace lumigal
