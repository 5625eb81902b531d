// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Drives the windows the way a user does: widgets are found by objectName, buttons are
// clicked, text is typed, tree nodes are clicked in the viewport, message boxes are answered.

#include "support/fixtures.h"
#include "support/ui/msgbox_answerer.h"

#include "core/list/entry_table.h"
#include "core/run/download_run.h"
#include "core/session.h"
#include "ui/frm_VEKDL.h"
#include "ui/frm_vekmain.h"
#include "ui/platform/tree_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include <memory>

namespace driver {

using namespace fixtures;

template <typename T>
T *widget(QWidget *window, const QString &name)
{
    T *found = window->findChild<T *>(name);
    if (!found)
        qFatal("no widget %s", qPrintable(name));
    return found;
}

template <typename T>
T *widget(QWidget *window, const char *name)
{
    return widget<T>(window, QLatin1String(name));
}

inline TreeView *tree(const frm_vekmain &w)
{
    return widget<TreeView>(const_cast<frm_vekmain *>(&w), "TreeView1");
}

inline QLineEdit *field(frm_vekmain &w, const char *name)
{
    return widget<QLineEdit>(&w, name);
}

// Starts the program over the settings file as it is and shows it, as a user finds it.
inline void startShown(frm_vekmain &w)
{
    w.Form_Load();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

// The visible top-level windows of that objectName.
inline QList<QWidget *> shownWindows(const char *name)
{
    QList<QWidget *> found;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            found << w;
    }
    return found;
}

// The editor window, looked up among the top-level windows; nullptr while it was never made.
inline QWidget *editor()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("frm_vekop1"))
            return w;
    }
    return nullptr;
}

inline bool editorShown()
{
    QWidget *e = editor();
    return e && e->isVisible();
}

inline void click(QWidget *window, const char *button)
{
    QTest::mouseClick(widget<QPushButton>(window, button), Qt::LeftButton);
}

inline void clickEditor(const char *button)
{
    QVERIFY(editor());
    click(editor(), button);
}

// Replaces the text of a text box by typing, as a user selecting all and typing over it.
// Japanese text arrives as a user's input method delivers it: as committed strings.
inline void type(QLineEdit *box, const QString &text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    qsizetype i = 0;
    while (i < text.size()) {
        const bool latin = text.at(i).unicode() < 0x80;
        qsizetype j = i;
        while (j < text.size() && (text.at(j).unicode() < 0x80) == latin)
            ++j;
        const QString run = text.mid(i, j - i);
        if (latin) {
            QTest::keyClicks(box, run);
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(run);
            QApplication::sendEvent(box, &commit);
        }
        i = j;
    }
}

inline void typeIn(const char *box, const QString &text)
{
    QVERIFY(editor());
    type(widget<QLineEdit>(editor(), box), text);
}

inline QString editorText(const char *box)
{
    return widget<QLineEdit>(editor(), box)->text();
}

inline QTreeWidgetItem *nodeOf(const frm_vekmain &w, int entry)
{
    TreeView *t = tree(w);
    const int position = t->PositionOfEntry(entry);
    if (position == 0)
        return nullptr;
    // Node texts are unique in these tests; the tree is searched as it is drawn.
    const auto found = t->findItems(t->NodeText(position), Qt::MatchExactly | Qt::MatchRecursive);
    return found.size() == 1 ? found.first() : nullptr;
}

inline void clickNode(frm_vekmain &w, int entry)
{
    QTreeWidgetItem *node = nodeOf(w, entry);
    QVERIFY2(node, qPrintable(QStringLiteral("no node for entry %1").arg(entry)));
    TreeView *t = tree(w);
    t->scrollToItem(node);
    const QPoint at = t->visualItemRect(node).center();
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, at);
}

inline void doubleClickNode(frm_vekmain &w, int entry)
{
    clickNode(w, entry);
    QTreeWidgetItem *node = nodeOf(w, entry);
    TreeView *t = tree(w);
    const QPoint at = t->visualItemRect(node).center();
    QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, at);
}

inline QString selected(frm_vekmain &w)
{
    return widget<QLabel>(&w, "tree_cnt")->text();
}

// Adds an entry with 追加 and then OK (under the selected entry) or ルートに作成.
inline void add(frm_vekmain &w, const QString &name, const QString &address = QString(),
                const char *button = "btn_root")
{
    click(&w, "btn_add");
    QVERIFY(editorShown());
    typeIn("txtname", name);
    typeIn("txtip", address);
    clickEditor(button);
}

// The whole table, for comparing before and after an action that must change nothing.
inline QStringList table(const frm_vekmain &w)
{
    const EntryTable &t = w.Entries();
    QStringList rows;
    for (int n = 1; n <= EntryTable::Slots; ++n) {
        rows << QStringLiteral("%1|%2|%3|%4|%5")
                    .arg(t.EntryName(n), t.EntryAddress(n), t.EntryRule(n))
                    .arg(t.EntryParent(n))
                    .arg(t.EntryNname(n));
    }
    rows << QString::number(t.EntryCount);
    return rows;
}

// Node texts with their parents' texts, in the order nodes were added.
inline QStringList nodes(const frm_vekmain &w)
{
    const TreeView *t = tree(w);
    QStringList result;
    for (int p = 1; p <= t->NodeCount(); ++p) {
        const int parent = t->ParentPosition(p);
        result << (parent ? t->NodeText(parent) + QLatin1Char('>') : QString()) + t->NodeText(p);
    }
    return result;
}

// The program started over vek.ini, with its progress window watched: a run is clicked, its
// end box answered, and the progress window's widgets read by objectName.
class Program
{
public:
    Program()
        : window(std::make_unique<frm_vekmain>())
    {
        window->Form_Load();
        dialog = window->Progress();
        QObject::connect(dialog, &frm_VEKDL::StatusChanged, dialog,
                         [this](int slot, const QString &text) { statuses.append({slot, text}); });
    }

    QPushButton *button(const char *name) { return widget<QPushButton>(window.get(), name); }
    QPushButton *stop() { return widget<QPushButton>(dialog, "Command1"); }
    QPushButton *ok() { return widget<QPushButton>(dialog, "Command2"); }
    QString counter() { return widget<QLabel>(dialog, "tree_cnt")->text(); }
    QString status(int slot) { return widget<QLabel>(dialog, QStringLiteral("Label3(%1)").arg(slot))->text(); }
    QString log() const { return dialog->LogText(); }
    QString shownLog() { return widget<QPlainTextEdit>(dialog, "Text1")->toPlainText(); }
    const ConnectionSlots &connections() { return window->session().run().connections(); }

    // Clicks "全てダウンロード"; true once the run has ended and OK is usable.
    bool runAll(int timeoutMs)
    {
        button("btn_dlstart")->click();
        return QTest::qWaitFor([this] { return ok()->isEnabled(); }, timeoutMs);
    }

    std::unique_ptr<frm_vekmain> window;
    frm_VEKDL *dialog = nullptr;
    QList<Status> statuses;
};

} // namespace driver
