// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frm_vekmain.h"

#include "core/list/entry_name.h"
#include "core/session.h"
#include "core/store/page_store.h"
#include "ui/frm_VEKDL.h"
#include "ui/frm_vekop1.h"
#include "ui/history/frm_history.h"
#include "ui/main_texts.h"
#include "ui/platform/msgbox.h"
#include "ui/progress_texts.h"

#include <QLineEdit>
#include <QPushButton>

frm_vekop1 *frm_vekmain::Editor()
{
    if (!m_editor)
        m_editor = new frm_vekop1(this);
    return m_editor;
}

// Created on first use as a window of its own: a child would be disabled with the main window.
frm_VEKDL *frm_vekmain::Progress()
{
    if (!m_progress) {
        m_progress = new frm_VEKDL(m_session->run(), m_session->log());
        connect(m_progress, &frm_VEKDL::Unloaded, this, &frm_vekmain::ProgressClosed);
    }
    return m_progress;
}

frm_VEKDL *frm_vekmain::BeginProgress()
{
    btn_dlstart->setEnabled(false);
    setEnabled(false);
    frm_VEKDL *dialog = Progress();
    dialog->ShowOver(this);
    dialog->SetRunning(true);
    return dialog;
}

// The box is answered before OK becomes usable; the main window stays disabled until OK.
void frm_vekmain::EndProgress(const QString &finalBox)
{
    frm_VEKDL *dialog = Progress();
    // The main window is disabled; the dialog carries the box.
    msgbox::MsgBox(dialog, finalBox);
    btn_dlstart->setEnabled(true);
    dialog->SetRunning(false);
}

void frm_vekmain::ProgressClosed()
{
    setEnabled(true);
    btn_dlstart->setEnabled(true);
    const RunSummary summary = m_session->finishRun();
    if (!summary.logFileError.isEmpty())
        msgbox::MsgBox(this, ProgressText::LogWriteFailed.arg(m_session->options().logPath, summary.logFileError));
    if (!summary.marksError.isEmpty())
        msgbox::MsgBox(this, MainText::MarksWriteFailed.arg(m_session->marks().path() + QLatin1String(": ")
                                                             + summary.marksError));
    showMarks();
    // Open histories show the pages the run stored.
    for (const QPointer<frm_history> &history : std::as_const(m_histories)) {
        if (history && history->isVisible())
            history->Reload(m_session->options().dirName);
    }
    AllCancel();
}

// The run lock is held from here until OK has ended the run.
bool frm_vekmain::LockRun()
{
    QString holder;
    if (m_session->beginRun(&holder))
        return true;
    msgbox::MsgBox(this, ProgressText::RunLocked.arg(holder));
    return false;
}

bool frm_vekmain::dataFolderUsable()
{
    const QString &dataDir = m_session->options().dirName;
    if (pagestore::IsUsableDataFolder(dataDir))
        return true;
    msgbox::MsgBox(this, MainText::BadDataFolder.arg(dataDir));
    return false;
}

void frm_vekmain::btn_dlstart_Click()
{
    if (!dataFolderUsable() || !LockRun())
        return;
    BeginProgress();
    m_session->startRun();
}

void frm_vekmain::Timer1_Timer()
{
    m_session->run().Timer1_Timer();
}

void frm_vekmain::Inet1_StateChanged(int Index, short State)
{
    m_session->run().Inet1_StateChanged(Index, State);
}

void frm_vekmain::AllCancel()
{
    m_session->run().AllCancel();
}

// The selected entry, fetched at once like a run of one: the window waits disabled, the
// progress window shows it and STOP cancels it. The run reports its end as a run's.
void frm_vekmain::Command4_Click()
{
    const int n = SelectedEntry();
    if (!EntryTable::isValid(n) || Entries().EntryAddress(n).isEmpty())
        return;
    const QString name = Entries().EntryName(n);
    if (!entryname::isSafeName(name)) {
        msgbox::MsgBox(this, ProgressText::BadName.arg(name));
        return;
    }
    if (!dataFolderUsable() || !LockRun())
        return;
    BeginProgress();
    m_session->startOne(n);
}
