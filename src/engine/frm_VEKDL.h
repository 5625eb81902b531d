#pragma once

#include "platform/widget_array.h"

#include <QString>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class frm_vekmain;

// The progress dialog of a run: log, counter, one status line per connection slot, STOP and
// OK. Created once and only hidden afterwards, so its log grows for the whole program run.
class frm_VEKDL : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frm_VEKDL)

public:
    explicit frm_VEKDL(frm_vekmain *main);

    // The run log exactly as logged (lines joined by CR LF); Text1 shows it.
    QString LogText() const { return m_log; }
    void AppendLog(const QString &text);
    void SetLogText(const QString &text);

    // Sets the status line Label3(slot) and tells observers.
    void SetStatus(int slot, const QString &text);

    // Handlers, connected in the constructor.
    void Command1_Click();
    void Command2_Click();
    // The unload request (closing the window, or OK): never destroys, hides once no run is active.
    void Form_Unload();

    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPlainTextEdit *Text1 = nullptr;
    QLabel *tree_cnt = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label4 = nullptr;
    IndexedArray<QLabel *, 1, 10> Label3;

signals:
    void StatusChanged(int slot, const QString &text);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    frm_vekmain *m_main;
    QString m_log;
};
