#include "engine/frm_VEKDL.h"

#include "app/frm_vekmain.h"
#include "engine/engine_texts.h"
#include "engine/run_log.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/vbtimer.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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

frm_VEKDL::frm_VEKDL(frm_vekmain *main)
    : QWidget(nullptr)
    , m_main(main)
{
    setObjectName(QStringLiteral("frm_VEKDL"));
    setWindowTitle(EngineText::Caption);

    Command1 = new QPushButton(EngineText::Stop, this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(EngineText::Ok, this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    tree_cnt = new QLabel(EngineText::CounterInitial, this);
    tree_cnt->setObjectName(QStringLiteral("tree_cnt"));
    Label2 = new QLabel(EngineText::CounterLabel, this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label4 = new QLabel(EngineText::Heading, this);
    Label4->setObjectName(QStringLiteral("Label4"));
    for (int i = 1; i <= 10; ++i) {
        Label3(i) = new QLabel(EngineText::Idle, this);
        Label3(i)->setObjectName(QStringLiteral("Label3(%1)").arg(i));
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
    resize(520, 560);

    connect(Command1, &QPushButton::clicked, this, &frm_VEKDL::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frm_VEKDL::Command2_Click);
}

void frm_VEKDL::AppendLog(const QString &text)
{
    m_log += text;
    // Appending at the end keeps a long log cheap: the box is not refilled per line.
    QTextCursor cursor(Text1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(forDisplay(text));
    Text1->moveCursor(QTextCursor::End);
}

void frm_VEKDL::SetLogText(const QString &text)
{
    m_log = text;
    Text1->setPlainText(forDisplay(text));
    Text1->moveCursor(QTextCursor::End);
}

void frm_VEKDL::SetStatus(int slot, const QString &text)
{
    Label3(slot)->setText(text);
    emit StatusChanged(slot, text);
}

void frm_VEKDL::Command1_Click()
{
    m_main->Timer1->setInterval(0);
    m_main->AllCancel();
    AppendLog(EngineText::CrLf + EngineText::RunStop + vclock::Time() + EngineText::RunClose);
    Command1->setEnabled(false);
    Command2->setEnabled(true);
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
    m_main->setEnabled(true);
    hide();
    m_main->btn_dlstart->setEnabled(true);
    if (m_main->Check1->isChecked()) {
        const QString path = m_main->Text3->text();
        QString error;
        if (!runlog::WriteLogFile(path, m_log, &error))
            msgbox::MsgBox(m_main, EngineText::LogWriteFailed.arg(path, error));
    }
    m_main->AllCancel();
}

void frm_VEKDL::closeEvent(QCloseEvent *event)
{
    event->ignore();
    Form_Unload();
}

// Created on first use as a window of its own: a child would be disabled with the main window.
frm_VEKDL *frm_vekmain::Progress()
{
    if (!m_progress)
        m_progress = new frm_VEKDL(this);
    return m_progress;
}
