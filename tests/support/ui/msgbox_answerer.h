// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

// Answers the real modal message boxes a test provokes: every box that comes up is recorded
// (title and text) and answered with the next queued button, or with its default button.
class MsgBoxAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Seen {
        QString title;
        QString text;
        QStringList buttons; // their texts, in the box's order
    };

    MsgBoxAnswerer();
    ~MsgBoxAnswerer() override;

    // Queue the answers for the next boxes, in order (QMessageBox::Yes, No, Ok ...).
    void queue(QMessageBox::StandardButton button) { m_answers.append(button); }

    const QList<Seen> &seen() const { return m_seen; }
    QStringList texts() const;
    void clear() { m_seen.clear(); }

private:
    void poll();

    QTimer m_timer;
    QList<QMessageBox::StandardButton> m_answers;
    QList<Seen> m_seen;
};
