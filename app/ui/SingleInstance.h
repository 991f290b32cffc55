// One running program per model listens on a local socket. A second start
// with a file hands the file over as the open command and ends; a peer may
// also send the registered exit message's name, which ends the running
// program without powering the PC off. Each message is one line of UTF-8.
#pragma once

#include <QLocalServer>
#include <QObject>

#include <functional>
#include <string>

namespace app {

class CSingleInstance : public QObject
{
    Q_OBJECT
public:
    // The socket name of a model: $ZELVAR_INSTANCE_SOCKET when set, else
    // "zelvar-<model>-<user id>".
    static QString SocketName(const std::string& modelName);

    // Sends one line to a running program; false when none listens.
    static bool SendToRunning(const QString& socketName, const std::string& line, int timeoutMs = 2000);

    explicit CSingleInstance(QObject* parent = nullptr);
    // Starts listening; false when another program holds the name.
    bool Listen(const QString& socketName);

    std::function<void(const std::string& line)> onLine;

private:
    QLocalServer m_server;
};

}  // namespace app
