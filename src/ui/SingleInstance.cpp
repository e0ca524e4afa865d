#include "ui/SingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

#include "platform/SpecialFolders.h"

namespace {

constexpr char kActivateRequest[] = "activate\n";
constexpr char kActivateReply[] = "ok\n";
// The first copy may hold the lock a moment before it listens; a later copy keeps trying that long.
constexpr int kConnectPatienceMs = 5000;
constexpr int kConnectAttemptMs = 250;
constexpr int kRetryPauseMs = 50;
constexpr int kReplyWaitMs = 3000;
constexpr int kDigestChars = 16;
constexpr qint64 kMaxRequestBytes = 64;

QString LockPath() {
    return SingleInstance::ServerName() + QStringLiteral(".lock");
}

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    // Only this user may connect; the folder is the user's own where XDG_RUNTIME_DIR exists.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::AnswerConnection);
}

QString SingleInstance::ServerName() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder) || !QFileInfo(folder).isDir())
        folder = QDir::tempPath();
    QByteArray settingsFolder = QByteArray::fromStdString(sarvo::GetConfigFolderPath());
    QString digest = QString::fromLatin1(
        QCryptographicHash::hash(settingsFolder, QCryptographicHash::Sha256).toHex().left(kDigestChars));
    return folder + QStringLiteral("/sarvo-%1-%2").arg(::getuid()).arg(digest);
}

bool SingleInstance::ActivateRunningCopy() {
    // Without a usable lock file nobody can be found either; this copy runs on its own.
    if (m_lock.TryAcquire(LockPath().toStdString()) != sarvo::InstanceLock::Result::HeldElsewhere)
        return false;
    QDeadlineTimer patience(kConnectPatienceMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(ServerName());
        if (socket.waitForConnected(kConnectAttemptMs))
            break;
        socket.abort();
        if (patience.hasExpired())
            return true;  // A copy holds the lock but does not answer; a second window would not help.
        QThread::msleep(kRetryPauseMs);
    }
    socket.write(kActivateRequest);
    socket.waitForBytesWritten(kReplyWaitMs);
    // Waiting for the reply keeps this copy alive until the first one has taken the request.
    socket.waitForReadyRead(kReplyWaitMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen() {
    if (m_server.isListening())
        return true;
    if (m_lock.TryAcquire(LockPath().toStdString()) != sarvo::InstanceLock::Result::Acquired)
        return false;
    // Holding the lock means no live copy owns the socket file: whatever is there is stale.
    QLocalServer::removeServer(ServerName());
    return m_server.listen(ServerName());
}

void SingleInstance::AnswerConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kMaxRequestBytes)
                    socket->abort();
                return;
            }
            QByteArray request = socket->readLine();
            if (request != kActivateRequest) {
                socket->abort();
                return;
            }
            socket->write(kActivateReply);
            socket->flush();
            emit activationRequested();
        });
    }
}
