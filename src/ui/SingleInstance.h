#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include "platform/InstanceLock.h"

// One running copy per user and settings folder. The first copy holds a lock file and listens on a
// local socket beside it; a later copy finds the lock taken, asks the first over the socket to show
// its window, and ends. The lock, not the socket file, decides who is first: the system drops it
// when a copy crashes, and the socket file that copy leaves behind is then replaced.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(QObject* parent = nullptr);

    // True when another copy runs; it has then been asked to show, raise and activate its window
    // (also when hidden) and the caller ends with exit code 0 without creating a window. False when
    // this is the first copy, which then holds the lock.
    bool ActivateRunningCopy();

    // Starts answering later copies; false when another copy holds the lock or the socket cannot
    // be made.
    bool Listen();

    // The socket's full path: XDG_RUNTIME_DIR (or the temporary folder), the user id and a digest of
    // the settings folder, so that two settings folders run side by side.
    static QString ServerName();

signals:
    void activationRequested();

private:
    void AnswerConnection();

    sarvo::InstanceLock m_lock;
    QLocalServer m_server;
};
