// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/private_bus.h"

#include <QDBusMessage>
#include <QFile>
#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

PrivateBus::~PrivateBus()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000))
            m_daemon.kill();
        m_daemon.waitForFinished(3000);
    }
}

bool PrivateBus::start(QString *error)
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty() || !m_dir.isValid()) {
        *error = QStringLiteral("no dbus-daemon (tools/test installs it)");
        return false;
    }
    // A session bus that starts no service on demand: a notification server installed on the
    // machine must not stand in for the test's own, nor for none.
    const QString config = m_dir.filePath(QStringLiteral("session.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                              "<busconfig><type>session</type><listen>unix:path=%1</listen>"
                              "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                              "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n")
                   .arg(m_dir.filePath(QStringLiteral("bus")))
                   .toUtf8());
    file.close();
    // A test killed half way takes its bus along.
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_daemon.start(daemon, {QStringLiteral("--config-file=") + config, QStringLiteral("--print-address"),
                            QStringLiteral("--nofork")});
    if (!m_daemon.waitForStarted(5000)) {
        *error = m_daemon.errorString();
        return false;
    }
    while (!m_daemon.canReadLine()) {
        if (!m_daemon.waitForReadyRead(5000)) {
            *error = QStringLiteral("dbus-daemon gave no address: ") + QString::fromLocal8Bit(m_daemon.readAllStandardError());
            return false;
        }
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    return true;
}

FakeNotifications::FakeNotifications(QStringList capabilities)
    : m_capabilities(std::move(capabilities))
    , m_connection(QStringLiteral("fake-notifications-%1").arg(quintptr(this), 0, 16))
    , m_bus(QString())
{
    m_clock.start();
}

FakeNotifications::~FakeNotifications()
{
    if (m_bus.isConnected())
        QDBusConnection::disconnectFromBus(m_connection);
}

bool FakeNotifications::start(const QString &address)
{
    m_bus = QDBusConnection::connectToBus(address, m_connection);
    return m_bus.isConnected() && m_bus.registerObject(Path, this, QDBusConnection::ExportScriptableSlots)
           && m_bus.registerService(Service);
}

QStringList FakeNotifications::GetCapabilities()
{
    return m_capabilities;
}

uint FakeNotifications::Notify(const QString &appName, uint replacesId, const QString &icon, const QString &summary,
                               const QString &body, const QStringList &actions, const QVariantMap &hints, int timeout)
{
    Q_UNUSED(replacesId);
    const uint id = m_nextId++;
    m_received.append({appName, icon, summary, body, actions, hints, timeout, id, m_clock.elapsed()});
    return id;
}

void FakeNotifications::CloseNotification(uint id)
{
    close(id, 3);
}

QString FakeNotifications::GetServerInformation(QString &vendor, QString &version, QString &specVersion)
{
    vendor = QStringLiteral("test");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("fake");
}

void FakeNotifications::invoke(uint id, const QString &key)
{
    signal("ActionInvoked", {id, key});
}

void FakeNotifications::close(uint id, uint reason)
{
    signal("NotificationClosed", {id, reason});
}

void FakeNotifications::signal(const char *name, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createSignal(Path, Service, QLatin1String(name));
    message.setArguments(arguments);
    m_bus.send(message);
}
