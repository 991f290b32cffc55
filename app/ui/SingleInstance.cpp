#include "app/ui/SingleInstance.h"

#include <QLocalSocket>

#include <cstdlib>
#include <unistd.h>

namespace app {

namespace {
// Longest line taken from a peer; anything longer is dropped.
constexpr qint64 kMaxLine = 64 * 1024;
}  // namespace

QString CSingleInstance::SocketName(const std::string& modelName)
{
    if (const char* env = std::getenv("ZELVAR_INSTANCE_SOCKET"); env && *env)
        return QString::fromUtf8(env);
    return QString("zelvar-%1-%2").arg(QString::fromStdString(modelName)).arg(getuid());
}

bool CSingleInstance::SendToRunning(const QString& socketName, const std::string& line, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(QByteArray::fromStdString(line + "\n"));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

CSingleInstance::CSingleInstance(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server.nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                while (peer->canReadLine()) {
                    QByteArray line = peer->readLine(kMaxLine);
                    while (line.endsWith('\n') || line.endsWith('\r'))
                        line.chop(1);
                    if (onLine)
                        onLine(line.toStdString());
                }
                if (peer->bytesAvailable() > kMaxLine)
                    peer->abort();  // no line end in sight: not a peer of ours
            });
        }
    });
}

bool CSingleInstance::Listen(const QString& socketName)
{
    if (m_server.listen(socketName))
        return true;
    // A name left behind by a program that crashed: nobody answers on it.
    QLocalSocket probe;
    probe.connectToServer(socketName);
    if (probe.waitForConnected(500))
        return false;
    QLocalServer::removeServer(socketName);
    return m_server.listen(socketName);
}

}  // namespace app
