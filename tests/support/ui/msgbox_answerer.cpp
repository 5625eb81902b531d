// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ui/msgbox_answerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>

MsgBoxAnswerer::MsgBoxAnswerer()
{
    // Polling sees the box once its own event loop runs, whoever opened it.
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &MsgBoxAnswerer::poll);
    m_timer.start();
}

MsgBoxAnswerer::~MsgBoxAnswerer() = default;

QStringList MsgBoxAnswerer::texts() const
{
    QStringList result;
    for (const Seen &s : m_seen)
        result << s.text;
    return result;
}

void MsgBoxAnswerer::poll()
{
    const auto boxes = QApplication::topLevelWidgets();
    for (QWidget *w : boxes) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (!box || !box->isVisible() || box->property("answered").toBool())
            continue;
        box->setProperty("answered", true);
        QStringList buttons;
        for (const QAbstractButton *b : box->buttons())
            buttons << b->text();
        m_seen.append({box->windowTitle(), box->text(), buttons});
        QAbstractButton *button = nullptr;
        if (!m_answers.isEmpty())
            button = box->button(m_answers.takeFirst());
        if (!button)
            button = box->defaultButton();
        if (!button && !box->buttons().isEmpty())
            button = box->buttons().constFirst();
        if (button)
            QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
    }
}
