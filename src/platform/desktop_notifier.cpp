// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
// The key of the action a click on the notification chooses; a second key shows it as a button
// on servers that do not draw the default one.
const QString DefaultAction = QStringLiteral("default");
const QString NamedAction = QStringLiteral("open");
// A server that does not answer in this time is taken for none.
constexpr int CallTimeoutMs = 5000;

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent)
    : QObject(parent)
    , m_connectionName(QStringLiteral("vekanto-notify-%1").arg(quintptr(this), 0, 16))
    , m_bus(QString())
{
}

DesktopNotifier::~DesktopNotifier()
{
    if (m_bus.isConnected())
        QDBusConnection::disconnectFromBus(m_connectionName);
}

bool DesktopNotifier::connectBus()
{
    if (m_bus.isConnected())
        return true;
    // The address is read each time, so a bus that came or went since is found; libdbus reads
    // it once per process. Without one, libdbus looks where the desktop puts it.
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    QDBusConnection::disconnectFromBus(m_connectionName);
    m_bus = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName)
                              : QDBusConnection::connectToBus(address, m_connectionName);
    if (!m_bus.isConnected()) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        return false;
    }
    // QtDBus connects a bus signal to a slot by its name only.
    m_bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onClosed(uint, uint)));
    return true;
}

bool DesktopNotifier::notify(const Message &message)
{
    if (!connectBus())
        return false;
    ++m_sending;
    // What the server can do decides how the body is written and whether an action is offered.
    const QDBusMessage ask = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, message](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<QStringList> reply = *call;
        if (reply.isError())
            sent();
        else
            send(message, reply.value());
    });
    return true;
}

void DesktopNotifier::send(const Message &message, const QStringList &capabilities)
{
    QString body = message.body;
    if (capabilities.contains(QLatin1String("body-markup")))
        body = body.toHtmlEscaped();
    const bool withAction = !message.action.isEmpty() && capabilities.contains(QLatin1String("actions"));
    QStringList actions;
    if (withAction)
        actions = {DefaultAction, message.action, NamedAction, message.action};
    QVariantMap hints;
    if (!message.desktopEntry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), message.desktopEntry);
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    // The server decides how long it is shown.
    constexpr int ServerDefault = -1;
    call << message.appName << uint(0) << message.icon << message.summary << body << actions << hints
         << ServerDefault;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, withAction, context = message.context](QDBusPendingCallWatcher *pending) {
                pending->deleteLater();
                const QDBusPendingReply<uint> reply = *pending;
                if (!reply.isError()) {
                    if (withAction)
                        m_shown.insert(reply.value(), context);
                    emit shown(reply.value());
                }
                sent();
            });
}

void DesktopNotifier::sent()
{
    --m_sending;
    if (!awaitsAction())
        emit finished();
}

void DesktopNotifier::forget(uint id)
{
    if (m_shown.remove(id) && !awaitsAction())
        emit finished();
}

void DesktopNotifier::onActionInvoked(uint id, const QString &key)
{
    if (!m_shown.contains(id) || (key != DefaultAction && key != NamedAction))
        return;
    emit actionInvoked(m_shown.value(id));
    forget(id);
}

void DesktopNotifier::onClosed(uint id, uint reason)
{
    Q_UNUSED(reason);
    forget(id);
}
