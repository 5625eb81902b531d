// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/indexed_array.h"

#include <QString>
#include <QWidget>

class DownloadRun;
class ElidedLabel;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class RunLog;

// The progress window of a run: log, counter, one status line per connection slot, STOP and
// OK. Created once and only hidden afterwards; it shows the run log, which lives for the
// whole program run.
class frm_VEKDL : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frm_VEKDL)

public:
    frm_VEKDL(DownloadRun &run, RunLog &log);

    // The run log exactly as logged (lines joined by CR LF); Text1 shows it.
    QString LogText() const;
    // Shows the window in front, centred over `owner` when it opens.
    void ShowOver(const QWidget *owner);
    // STOP usable and OK not while a run or a single download is under way; the other way
    // round once it has ended, with the focus on OK.
    void SetRunning(bool running);

    // Handlers, connected in the constructor.
    void Command1_Click();
    void Command2_Click();
    // The unload request (closing the window, or OK): never destroys, hides once no run is
    // active and then tells Unloaded.
    void Form_Unload();

signals:
    void StatusChanged(int slot, const QString &text);
    void Unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    // Return and Escape close the window once the run has ended, as OK does.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void appendShown(const QString &text);
    void setShown(const QString &text);
    void setStatus(int slot, const QString &text);

    DownloadRun &m_run;
    RunLog &m_log;

    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPlainTextEdit *Text1 = nullptr;
    QLabel *tree_cnt = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label4 = nullptr;
    IndexedArray<ElidedLabel *, 1, 10> Label3;
};
