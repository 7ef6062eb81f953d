// The call from a second copy of Lumigal to the one that runs: the running
// copy listens on a local socket beside its lock in the user's runtime
// folder; a second copy, finding the lock held, connects and asks it to
// come to the front, then ends. The lock alone decides which copy runs.
#pragma once

#include <QObject>
#include <QString>
#include <string>

class QLocalServer;

namespace lumigal {

// The socket's path in `runtimeFolder` ("<folder>/Lumigal.socket").
QString runningCopySocketPath(const std::string& runtimeFolder);

// Listens for the calls of later copies; `called` is emitted for each.
class RunningCopyListener : public QObject {
    Q_OBJECT
public:
    // A socket left by a copy that was killed is replaced: the caller
    // holds the lock, so no other copy listens there.
    explicit RunningCopyListener(const QString& socketPath, QObject* parent = nullptr);
    bool listening() const;

signals:
    void called();

private:
    QLocalServer* server_;
};

// Asks the running copy to come to the front, waiting up to `timeoutMs`
// for it to listen (it may be starting). True when the call got through.
bool callRunningCopy(const QString& socketPath, int timeoutMs = 3000);

}  // namespace lumigal
