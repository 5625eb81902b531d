// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/platform/single_instance.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

constexpr int WaitMs = 2000;
const QByteArray ShowRequest = "show\n";

} // namespace

SingleInstance::SingleInstance(const QString &settingsPath, QObject *parent)
    : QObject(parent)
{
    // The runtime folder is the user's own; the settings file tells two lists apart.
    const QByteArray file = QFileInfo(settingsPath).absoluteFilePath().toUtf8();
    const QString key = QString::fromLatin1(
        QCryptographicHash::hash(file, QCryptographicHash::Sha256).toHex().left(16));
    m_name = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
             + QLatin1String("/vekanto-") + key;
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::answer);
}

bool SingleInstance::askRunningToShow()
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(WaitMs))
        return false;
    socket.write(ShowRequest);
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
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains(ShowRequest))
                emit showRequested();
        });
    }
}
