// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One window per user and settings file: the first start listens on a local socket in the
// user's runtime folder, named after the settings file; a later start finds it there and asks
// it to show its window (and, when asked for one, an entry's history) instead of opening a
// second one over the same vek.ini. A request is a line: "show", or "history" and the name.
class SingleInstance : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    explicit SingleInstance(const QString &settingsPath, QObject *parent = nullptr);

    // True when a start over the same settings file is running; it has been asked to show
    // its window, and the history of the entry named `history` when one is named.
    bool askRunningToShow(const QString &history = {});
    // Answers later starts from now on; false when the socket cannot be made.
    bool listen();
    QString serverName() const { return m_name; }

signals:
    void showRequested();
    void historyRequested(const QString &name);

private:
    void answer();
    void request(const QByteArray &line);

    QString m_name;
    QLocalServer m_server;
};
