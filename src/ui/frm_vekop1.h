// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/list/entry_table.h"
#include "core/session.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class frm_vekmain;

// The entry editor: one entry's name, address and rule. Not modal; created once by the main
// window and afterwards only hidden and shown. The visibility of "ルートに作成" is its mode:
// shown while adding, hidden while changing the entry that Cindex shows. What the user typed
// goes to the main window's list operations in one hand-over; the list judges it, and a
// refusal comes back to be told here.
class frm_vekop1 : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frm_vekop1)

public:
    explicit frm_vekop1(frm_vekmain *main);

    bool isAdding() const;
    // Shown in front, ready for typing: for an add under `entry` (name and address empty,
    // the rule that entry has), or for a change of `entry` with its stored values.
    void OpenForAdd(const QString &rule, int entry);
    void OpenForChange(const QString &name, const QString &address, const QString &rule, int entry);
    // The rule switch "ファイル名生成", set as a click would set it.
    void SetRuleSwitch(bool on);

    // Event handlers, connected in the constructor.
    void btn_ok_Click();
    void btn_root_Click();
    void btn_cancel_Click();
    void Check1_Click();
    void cip_Change();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildWidgets();
    void present();
    void setEntry(int entry);
    // Hands the typed entry over to be added (Bindex as OpAdd takes it) or changed; true when
    // it was stored, else the user has been told why not.
    bool handOver(bool adding, qint32 Bindex);
    void tellRefusal(const Session::Changed &changed);
    void setRuleBackground(bool ticked);
    // The rule's tool tip and preview for today's date, again at the next midnight.
    void showToday();

    frm_vekmain *m_main;
    // The entry the editor was opened for: the one to change, or the selection of an add.
    int m_entry = 0;

    // Widgets, named as the program's forms name them.
    QLineEdit *txtname = nullptr;
    QLineEdit *txtip = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLineEdit *cip = nullptr;
    QLabel *Label4 = nullptr;
    QCheckBox *Check1 = nullptr;
    QPushButton *btn_root = nullptr;
    QPushButton *btn_ok = nullptr;
    QPushButton *btn_cancel = nullptr;
    QLabel *Cindex = nullptr;

    QTimer *m_midnight = nullptr;
};
