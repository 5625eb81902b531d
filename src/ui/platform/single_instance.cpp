// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/platform/single_instance.h"

#include "platform/windir.h"

#include <QLocalSocket>

namespace {

constexpr int WaitMs = 2000;
const QByteArray ShowRequest = "show";
const QByteArray HistoryRequest = "history ";
// A name takes at most 255 bytes; more is no request of ours.
constexpr qsizetype MaxRequest = 1024;

} // namespace

SingleInstance::SingleInstance(const QString &settingsPath, QObject *parent)
    : QObject(parent)
    , m_name(InstanceSocketName(settingsPath))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::answer);
}

bool SingleInstance::askRunningToShow(const QString &history)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(WaitMs))
        return false;
    // A window of an earlier version knows "show" alone and still comes to the front.
    socket.write(ShowRequest + '\n');
    if (!history.isEmpty())
        socket.write(HistoryRequest + history.toUtf8() + '\n');
    const bool sent = socket.waitForBytesWritten(WaitMs);
    socket.disconnectFromServer();
    return sent;
}

bool SingleInstance::listen()
{
    if (m_server.listen(m_name))
        return true;
    // A socket left by a start that did not end cleanly: nobody answers on it any more.
    if (m_server.serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(m_name);
        return m_server.listen(m_name);
    }
    return false;
}

void SingleInstance::answer()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A request may arrive in pieces; each is one line.
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine(MaxRequest);
                if (!line.endsWith('\n')) {
                    socket->abort();
                    return;
                }
                request(line.chopped(1));
            }
            if (socket->bytesAvailable() > MaxRequest)
                socket->abort();
        });
    }
}

void SingleInstance::request(const QByteArray &line)
{
    if (line == ShowRequest)
        emit showRequested();
    else if (line.startsWith(HistoryRequest) && line.size() > HistoryRequest.size())
        emit historyRequested(QString::fromUtf8(line.mid(HistoryRequest.size())));
}
