// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frm_VEKDL.h"

#include "core/run/download_run.h"
#include "core/run/run_log.h"
#include "core/run/run_texts.h"
#include "ui/button.h"
#include "ui/elided_label.h"
#include "ui/platform/window_state.h"
#include "ui/progress_texts.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

// The text box shows lines; the log keeps the CR LF pairs the log file carries.
QString forDisplay(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

frm_VEKDL::frm_VEKDL(DownloadRun &run, RunLog &log)
    : QWidget(nullptr)
    , m_run(run)
    , m_log(log)
{
    setObjectName(QStringLiteral("frm_VEKDL"));
    setWindowTitle(ProgressText::Caption);

    Command1 = makeButton(this, "Command1", ProgressText::Stop);
    Command2 = makeButton(this, "Command2", ProgressText::Ok);
    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(ProgressText::LogName);
    Text1->setReadOnly(true);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A few lines of the log at least, however small the window is made.
    Text1->setMinimumHeight(Text1->fontMetrics().lineSpacing() * 4);
    tree_cnt = new QLabel(ProgressText::CounterInitial, this);
    tree_cnt->setObjectName(QStringLiteral("tree_cnt"));
    Label2 = new QLabel(ProgressText::CounterLabel, this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label4 = new QLabel(ProgressText::Heading, this);
    Label4->setObjectName(QStringLiteral("Label4"));
    for (int i = 1; i <= 10; ++i) {
        Label3(i) = new ElidedLabel(RunText::Idle, this);
        Label3(i)->setObjectName(QStringLiteral("Label3(%1)").arg(i));
        // A name holding "<b>" is shown as typed.
        Label3(i)->setTextFormat(Qt::PlainText);
    }

    auto *counter = new QHBoxLayout;
    counter->addWidget(tree_cnt);
    counter->addWidget(Label2);
    counter->addStretch();
    auto *statusLines = new QGridLayout;
    for (int i = 1; i <= 10; ++i) {
        statusLines->addWidget(new QLabel(QString::number(i), this), i - 1, 0);
        statusLines->addWidget(Label3(i), i - 1, 1);
    }
    statusLines->setColumnStretch(1, 1);
    statusLines->setVerticalSpacing(2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(Text1, 1);
    outer->addLayout(counter);
    outer->addWidget(Label4);
    outer->addLayout(statusLines);
    outer->addLayout(buttons);
    resize(520, 460);
    windowstate::restoreSize(this);

    setShown(m_log.text());
    connect(&m_log, &RunLog::appended, this, &frm_VEKDL::appendShown);
    connect(&m_log, &RunLog::textReset, this, &frm_VEKDL::setShown);
    connect(&m_run, &DownloadRun::statusChanged, this, &frm_VEKDL::setStatus);
    connect(&m_run, &DownloadRun::counterChanged, tree_cnt, &QLabel::setText);
    connect(Command1, &QPushButton::clicked, this, &frm_VEKDL::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frm_VEKDL::Command2_Click);
}

QString frm_VEKDL::LogText() const
{
    return m_log.text();
}

void frm_VEKDL::ShowOver(const QWidget *owner)
{
    windowstate::showOver(this, owner);
}

void frm_VEKDL::SetRunning(bool running)
{
    Command1->setEnabled(running);
    Command2->setEnabled(!running);
    if (!running)
        Command2->setFocus();
}

// Appending at the end keeps a long log cheap: the box is not refilled per line.
void frm_VEKDL::appendShown(const QString &text)
{
    QTextCursor cursor(Text1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(forDisplay(text));
    Text1->moveCursor(QTextCursor::End);
}

void frm_VEKDL::setShown(const QString &text)
{
    Text1->setPlainText(forDisplay(text));
    Text1->moveCursor(QTextCursor::End);
}

void frm_VEKDL::setStatus(int slot, const QString &text)
{
    Label3(slot)->setText(text);
    emit StatusChanged(slot, text);
}

void frm_VEKDL::Command1_Click()
{
    m_run.stop();
    SetRunning(false);
}

void frm_VEKDL::Command2_Click()
{
    Form_Unload();
}

void frm_VEKDL::Form_Unload()
{
    // OK disabled means a run is active: the window stays.
    if (!Command2->isEnabled())
        return;
    windowstate::saveSize(this);
    hide();
    emit Unloaded();
}

void frm_VEKDL::closeEvent(QCloseEvent *event)
{
    event->ignore();
    Form_Unload();
}

void frm_VEKDL::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        Form_Unload();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
