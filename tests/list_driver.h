#pragma once

// Drives the main window and the entry editor the way a user does: widgets are found by
// objectName, buttons are clicked, text is typed, tree nodes are clicked in the viewport.

#include "app/frm_vekmain.h"
#include "editor/frm_vekop1.h"
#include "platform/tree_view.h"
#include "platform/windir.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidgetItemIterator>

namespace driver {

inline QString iniPath()
{
    return GetWindowsDirectory() + QLatin1String("/vek.ini");
}

// A settings file with root entries e1 .. eCount, entry n with the address http://h/n and the
// rule r<n>, plus any extra lines for the [Option] section.
inline void writeList(int count, const QStringList &options = {})
{
    QByteArray text = "[DATA]\r\n";
    for (int n = 1; n <= count; ++n) {
        text += QStringLiteral("TEXT%1=e%1\r\nNIP%1=http://h/%1\r\nCIP%1=r%1\r\nROOT%1=0\r\nnname%1=1\r\n")
                    .arg(n)
                    .toLatin1();
    }
    if (!options.isEmpty())
        text += "[Option]\r\n" + options.join(QLatin1String("\r\n")).toLatin1() + "\r\n";
    QFile file(iniPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

// Starts the program over the settings file as it is and shows it, as a user finds it.
inline void startShown(frm_vekmain &w)
{
    w.Form_Load();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

template <typename T>
T *widget(QWidget *window, const char *name)
{
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no widget %s", name);
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

inline QTreeWidgetItem *nodeOf(frm_vekmain &w, int entry)
{
    const int position = w.TreeView1->PositionOfEntry(entry);
    if (position == 0)
        return nullptr;
    // Node texts are unique in these tests; the tree is searched as it is drawn.
    const auto found = w.TreeView1->findItems(w.TreeView1->NodeText(position),
                                              Qt::MatchExactly | Qt::MatchRecursive);
    return found.size() == 1 ? found.first() : nullptr;
}

inline void clickNode(frm_vekmain &w, int entry)
{
    QTreeWidgetItem *node = nodeOf(w, entry);
    QVERIFY2(node, qPrintable(QStringLiteral("no node for entry %1").arg(entry)));
    w.TreeView1->scrollToItem(node);
    const QPoint at = w.TreeView1->visualItemRect(node).center();
    QTest::mouseClick(w.TreeView1->viewport(), Qt::LeftButton, {}, at);
}

inline void doubleClickNode(frm_vekmain &w, int entry)
{
    clickNode(w, entry);
    QTreeWidgetItem *node = nodeOf(w, entry);
    const QPoint at = w.TreeView1->visualItemRect(node).center();
    QTest::mouseDClick(w.TreeView1->viewport(), Qt::LeftButton, {}, at);
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
    QStringList rows;
    for (int n = 1; n <= EntryTable::Slots; ++n) {
        rows << QStringLiteral("%1|%2|%3|%4|%5")
                    .arg(w.Entries.EntryName(n), w.Entries.EntryAddress(n), w.Entries.EntryRule(n))
                    .arg(w.Entries.EntryParent(n))
                    .arg(w.Entries.EntryNname(n));
    }
    rows << QString::number(w.Entries.EntryCount);
    return rows;
}

// Node texts with their parents' texts, in the order nodes were added.
inline QStringList tree(const frm_vekmain &w)
{
    QStringList nodes;
    for (int p = 1; p <= w.TreeView1->NodeCount(); ++p) {
        const int parent = w.TreeView1->ParentPosition(p);
        nodes << (parent ? w.TreeView1->NodeText(parent) + QLatin1Char('>') : QString())
                     + w.TreeView1->NodeText(p);
    }
    return nodes;
}

} // namespace driver
