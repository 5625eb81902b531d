// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

// A desktop notification through the freedesktop notification service on the session bus
// (org.freedesktop.Notifications), as every Linux desktop shows them. Without a session bus or
// a notification server nothing is shown and nothing else changes. The server tells the user's
// choice of an action only to the connection that sent the notification, so that connection
// stays open for as long as this object lives or the notification is shown.
class DesktopNotifier : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopNotifier)

public:
    struct Message {
        // The application's name and icon (a themed icon name, or a file path).
        QString appName{};
        QString icon{};
        // The desktop file (without ".desktop") the notification belongs to.
        QString desktopEntry{};
        QString summary{};
        // Plain text; escaped here for a server that reads markup.
        QString body{};
        // The label of the one action the notification offers; empty for none. Clicking the
        // notification itself chooses it too.
        QString action{};
        // Handed back by actionInvoked.
        QString context{};
    };

    explicit DesktopNotifier(QObject *parent = nullptr);
    ~DesktopNotifier() override;

    // Sends the message and returns at once; false when there is no session bus. The server's
    // answers come through the event loop.
    bool notify(const Message &message);
    // A notification is on its way, or shown with an action the user may still choose.
    bool awaitsAction() const { return m_sending > 0 || !m_shown.isEmpty(); }

signals:
    // The user chose the action of a notification; its message's context.
    void actionInvoked(const QString &context);
    // A notification was shown; its server gave it this id.
    void shown(uint id);
    // No notification can lead to its action any more: each was closed by its server, chosen,
    // could not be shown, or was shown by a server that offers no actions.
    void finished();

private:
    bool connectBus();
    void send(const Message &message, const QStringList &capabilities);
    // One notification less on its way.
    void sent();
    void forget(uint id);
    // Slots named for QtDBus, which connects bus signals by name.
    Q_SLOT void onActionInvoked(uint id, const QString &key);
    Q_SLOT void onClosed(uint id, uint reason);

    QString m_connectionName;
    QDBusConnection m_bus;
    int m_sending = 0;
    // The notifications shown with an action, by id, with their contexts.
    QHash<uint, QString> m_shown;
};
