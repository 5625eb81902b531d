// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One window per user and settings file: the first start listens on a local socket in the
// user's runtime folder, named after the settings file; a later start finds it there and asks
// it to show its window instead of opening a second one over the same vek.ini.
class SingleInstance : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    explicit SingleInstance(const QString &settingsPath, QObject *parent = nullptr);

    // True when a start over the same settings file is running; it has been asked to show
    // its window.
    bool askRunningToShow();
    // Answers later starts from now on; false when the socket cannot be made.
    bool listen();
    QString serverName() const { return m_name; }

signals:
    void showRequested();

private:
    void answer();

    QString m_name;
    QLocalServer m_server;
};
