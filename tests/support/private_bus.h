// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A session bus of the test's own, never the user's: dbus-daemon started on a socket in a
// temporary folder, with no service to start on demand; and on it the notification server a
// desktop runs, standing in, recording what it was sent.

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

class PrivateBus
{
public:
    PrivateBus() = default;
    ~PrivateBus();
    Q_DISABLE_COPY_MOVE(PrivateBus)

    // False, with why, when dbus-daemon cannot be started.
    bool start(QString *error);
    QString address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

// org.freedesktop.Notifications on a bus: answers GetCapabilities with the capabilities it is
// given, records each Notify with the time it came, and sends ActionInvoked and
// NotificationClosed when told to.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notification {
        QString appName;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int timeout = 0;
        uint id = 0;
        // Since the server was started.
        qint64 atMs = 0;
    };

    explicit FakeNotifications(QStringList capabilities = {QStringLiteral("actions"), QStringLiteral("body")});
    ~FakeNotifications() override;

    // Takes the service's name on the bus at `address`.
    bool start(const QString &address);
    const QList<Notification> &received() const { return m_received; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    // What the user's click on a notification's action, or its going away, sends.
    void invoke(uint id, const QString &key);
    void close(uint id, uint reason);

public slots:
    Q_SCRIPTABLE QStringList GetCapabilities();
    Q_SCRIPTABLE uint Notify(const QString &appName, uint replacesId, const QString &icon, const QString &summary,
                             const QString &body, const QStringList &actions, const QVariantMap &hints,
                             int timeout);
    Q_SCRIPTABLE void CloseNotification(uint id);
    Q_SCRIPTABLE QString GetServerInformation(QString &vendor, QString &version, QString &specVersion);

private:
    void signal(const char *name, const QVariantList &arguments);

    QStringList m_capabilities;
    QString m_connection;
    QDBusConnection m_bus;
    QList<Notification> m_received;
    QElapsedTimer m_clock;
    uint m_nextId = 1;
};
