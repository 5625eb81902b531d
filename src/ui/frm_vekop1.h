#pragma once

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
// shown while adding, hidden while changing the entry numbered in Cindex.
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
    void OpenForChange(const QString &name, const QString &address, const QString &rule,
                       const QString &entry);
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
    // Refuses, with a message, what cannot be stored as entry `self` (0: a new entry); true
    // when the typed values may go on.
    bool acceptable(int self);
    void handOver();
    void setRuleBackground(bool ticked);
    // The rule's tool tip and preview for today's date, again at the next midnight.
    void showToday();

    frm_vekmain *m_main;

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
