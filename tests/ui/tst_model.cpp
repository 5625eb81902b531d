// SPDX-License-Identifier: GPL-3.0-or-later
// Random use against a model: seeded sessions of adds, changes, deletes, clicks, SAVE, LOAD
// and restarts, driven through the real windows and checked after every step against a small
// model of the list that knows entries by identity, not by number.
//
// A deleted entry takes every entry under it along, at every level: their nodes go with its
// node, and their entries are deleted too, so SAVE drops them all.
//
// Replay a failure with VEKANTO_MODEL_SEED=<seed> VEKANTO_MODEL_STEPS=<steps>.

#include "core/list/entry_name.h"
#include "support/ui/window_driver.h"
#include "support/ui/window_testmain.h"
#include "ui/editor_texts.h"
#include "ui/main_texts.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <memory>
#include <random>
#include <utility>

using namespace driver;

namespace {

// Answers every message box the moment it is shown and records its text, so each step can
// say exactly which boxes it expects (none, most of the time). MsgBoxAnswerer polls, which
// would add a wait to each of the thousands of boxes a session shows.
class BoxWatcher : public QObject
{
public:
    BoxWatcher() { qApp->installEventFilter(this); }
    ~BoxWatcher() override { qApp->removeEventFilter(this); }

    void answerNext(QMessageBox::StandardButton b) { m_answers.append(b); }
    QStringList take()
    {
        m_answers.clear();
        return std::exchange(m_seen, {});
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *box = qobject_cast<QMessageBox *>(watched)) {
                m_seen.append(box->text());
                QAbstractButton *button = nullptr;
                if (!m_answers.isEmpty())
                    button = box->button(m_answers.takeFirst());
                if (!button)
                    button = box->defaultButton() ? box->defaultButton()
                                                  : box->buttons().value(0);
                QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
            }
        }
        return false;
    }

private:
    QList<QMessageBox::StandardButton> m_answers;
    QStringList m_seen;
};

// A name as loading reads it back: without blanks (U+0020 only) at either end.
QString folderName(const QString &name)
{
    static const QRegularExpression blanksAtEnds(QStringLiteral("^ +| +$"));
    return QString(name).remove(blanksAtEnds);
}

// Control characters would break the settings file's lines.
bool hasControlCharacters(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

struct ModelEntry {
    QString name;
    QString address;
    QString rule;
    int parent = 0; // id of the parent entry, 0 at the top level
};

// The list as a user sees it, plus where each entry sits, which only matters for how many
// adds fit and which entry "tree_cnt" names after a SAVE or LOAD.
struct Model {
    QHash<int, ModelEntry> live;
    QSet<int> dead;
    QList<int> place = QList<int>(EntryTable::Slots + 1, 0); // entry number -> id, 0 empty
    int count = 0;
    int selected = 0; // entry number in tree_cnt
    bool unsaved = false; // added, changed or deleted since the last SAVE or LOAD

    int numberOf(int id) const { return int(place.indexOf(id)); }
    int liveAt(int n) const
    {
        return n >= 1 && n <= EntryTable::Slots && live.contains(place[n]) ? place[n] : 0;
    }
    // Two names share a folder when they match, letter case aside, once blanks are trimmed
    // at both ends as loading trims them. Entry `except` may keep its own folder.
    bool nameTaken(const QString &name, int except = 0) const
    {
        const QString folder = folderName(name);
        for (auto it = live.cbegin(); it != live.cend(); ++it) {
            if (it.key() != except
                && folderName(it->name).compare(folder, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }
    // The live entries under entry id, at every level.
    QList<int> below(int id) const
    {
        QList<int> found;
        QSet<int> under{id};
        for (bool grew = true; grew;) {
            grew = false;
            for (auto it = live.cbegin(); it != live.cend(); ++it) {
                if (!under.contains(it.key()) && under.contains(it->parent)) {
                    under.insert(it.key());
                    found << it.key();
                    grew = true;
                }
            }
        }
        return found;
    }
    void remove(int id)
    {
        QList<int> gone = below(id);
        gone << id;
        for (const int g : gone) {
            live.remove(g);
            dead.insert(g);
        }
    }
    // SAVE: one forward pass pulls the entry after each free slot down by one, deleted markers
    // go, and the tree is built again.
    void save()
    {
        const int selectedId = liveAt(selected);
        for (int n = 1; n < EntryTable::Slots; ++n) {
            if (!live.contains(place[n])) {
                place[n] = place[n + 1];
                place[n + 1] = 0;
            }
        }
        count = 0;
        for (int n = 1; n <= EntryTable::Slots; ++n) {
            if (!live.contains(place[n]))
                place[n] = 0;
            else
                count = n;
        }
        dead.clear();
        selected = selectedId ? numberOf(selectedId) : 0;
        unsaved = false;
    }
};

const char *const Words[] = {
    "ニュース", "天気", "株価", "日記", "テスト", "東京", "大阪", "ブログ", "掲示板", "新着",
    "漫画", "音楽", "野球", "ｶﾀｶﾅ", "ＡＢＣ", "ａｂｃ", "漢字表", "お知らせ", "page", "News",
    "index", "Top", "ドル円", "速報", "週刊", "図書館", "①番", "～波～", "α版",
};

struct Figures {
    qint64 steps = 0;
    qint64 saves = 0;
    qint64 loads = 0;
    qint64 restarts = 0;
    qint64 refusals = 0;
    qint64 questions = 0;
    QStringList seeds;
};
Figures figures;

class RandomSession
{
public:
    RandomSession(quint32 seed, int steps)
        : m_seed(seed)
        , m_steps(steps)
        , m_rng(seed)
    {
    }

    // Runs the session; returns an empty text or what went wrong.
    QString run()
    {
        QFile::remove(iniPath());
        if (QString e = start(); !e.isEmpty())
            return where(QStringLiteral("start")) + e;
        m_model.selected = 1;
        for (m_step = 1; m_step <= m_steps; ++m_step) {
            QString action;
            QString e = step(action);
            if (e.isEmpty())
                e = checkBoxes();
            if (e.isEmpty())
                e = check();
            ++figures.steps;
            if (!e.isEmpty())
                return where(action) + e;
        }
        m_window.reset();
        return {};
    }

private:
    QString where(const QString &action) const
    {
        const QString at = QStringLiteral("seed %1 step %2 (%3): ").arg(m_seed).arg(m_step).arg(action);
        qInfo().noquote() << "model failure at" << at << "replay with VEKANTO_MODEL_SEED=" + QString::number(m_seed)
                          << "VEKANTO_MODEL_STEPS=" + QString::number(m_step);
        return at;
    }

    int pick(int n) { return int(m_rng() % quint32(n)); }
    bool chance(int percent) { return pick(100) < percent; }

    QString start()
    {
        m_window.reset(); // the old window goes first, with its editor
        m_window = std::make_unique<frm_vekmain>();
        startShown(*m_window);
        if (QTest::currentTestFailed())
            return QStringLiteral("main window not shown");
        return {};
    }

    QString word() { return QString::fromUtf8(Words[pick(int(std::size(Words)))]); }

    QString newName()
    {
        const int kind = pick(100);
        if (kind < 4)
            return QStringLiteral("nl"); // the deleted marker, refused
        if (kind < 6)
            return chance(50) ? QStringLiteral("NL") : QStringLiteral("nL  ");
        if (kind < 9) {
            const char *const bad[] = {"a/b", "x\\y", ".", "..", "   ", ".. "};
            return QString::fromLatin1(bad[pick(6)]);
        }
        if (kind < 15 && !m_model.live.isEmpty()) {
            // An existing name in other letter case, perhaps with blanks around it: the same
            // folder, so a duplicate for every path but a change of that entry itself.
            const auto ids = m_model.live.keys();
            return otherCase(m_model.live.value(ids[pick(int(ids.size()))]).name);
        }
        if (kind < 17) {
            // Around the longest folder name: 255 bytes in UTF-8 are 85 three-byte kanji.
            return QString(84 + pick(3), u'字') + (chance(50) ? QStringLiteral("a") : QString());
        }
        QString name;
        if (kind < 30) {
            const char *const prefix[] = {"nl", "NL", "Nl", "nL"};
            name = QString::fromLatin1(prefix[pick(4)]);
            if (chance(30))
                name += QStringLiteral("x");
        }
        name += word();
        if (chance(40))
            name += QString::number(pick(1000));
        if (chance(10))
            name += word() + word() + word();
        if (chance(8))
            name += QStringLiteral(" =;[x]#%");
        if (chance(15))
            name += QString(1 + pick(3), u' ');
        if (chance(10))
            name = QString(1 + pick(2), u' ') + name;
        if (chance(6))
            name += QStringLiteral("\u3000");
        if (chance(3))
            name = QStringLiteral("\u3000") + name;
        if (chance(5))
            name.insert(pick(int(name.size()) + 1), controlText());
        return name;
    }

    QString newAddress()
    {
        const int kind = pick(100);
        if (kind < 8)
            return {};
        QString address = QStringLiteral("http://example.com/") + QString::number(pick(100000));
        if (kind < 25) {
            // Long addresses, 300 to 2000 characters.
            const int length = 300 + pick(1701);
            while (address.size() < length)
                address += QStringLiteral("/seg") + QString::number(pick(10));
            address.truncate(length);
        }
        if (chance(5))
            address = QStringLiteral("nlhttp://x/");
        if (chance(5))
            address += QStringLiteral("?q=日本語");
        if (chance(5))
            address += QStringLiteral("  ");
        if (chance(3))
            address = QLatin1Char('"') + address + QLatin1Char('"');
        if (chance(3))
            address.insert(pick(int(address.size()) + 1), controlText());
        return address;
    }

    QString newRule()
    {
        const char *const rules[] = {"", "%0y%0m%0d", "/%d.html", "?date=%y-%m-%d", "NLrule", " sp ",
                                     "%0y\t"};
        return QString::fromLatin1(rules[pick(int(std::size(rules)))]);
    }

    QString otherCase(const QString &name)
    {
        const QString changed = chance(50) ? name.toUpper() : name.toLower();
        return chance(30) ? QString(1 + pick(2), u' ') + changed + QString(pick(2), u' ') : changed;
    }

    // Pasted line breaks and tabs.
    QString controlText()
    {
        const char *const texts[] = {"\n", "\r\n", "\t", "\x7f"};
        return QString::fromLatin1(texts[pick(int(std::size(texts)))]);
    }

    // The message the editor gives for these values as entry `self` (0: a new entry), or none.
    QString editorRefusal(const QString &name, const QString &address, const QString &rule,
                          int self) const
    {
        if (hasControlCharacters(name) || hasControlCharacters(address)
            || hasControlCharacters(rule))
            return EditorText::ControlCharacters;
        const QString stored = folderName(name);
        if (!entryname::isSafeName(stored))
            return EditorText::NotFolderName;
        if (entryname::isDeletedName(stored))
            return EditorText::Duplicate;
        if (stored.toUtf8().size() > 255)
            return EditorText::TooLong;
        if (m_model.nameTaken(stored, self))
            return EditorText::Duplicate;
        return {};
    }

    // Typing; long texts, and texts with a tab or line break, arrive in one piece, as pasted.
    static void enter(QLineEdit *box, const QString &text)
    {
        if (text.size() <= 40 && !hasControlCharacters(text)) {
            type(box, text);
            return;
        }
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(box, &commit);
    }

    QLineEdit *box(const char *name) { return widget<QLineEdit>(editor(), name); }

    QString step(QString &action)
    {
        const int r = pick(1000);
        if (r < 260)
            return addStep(action, true);
        if (r < 440)
            return addStep(action, false);
        if (r < 560)
            return changeStep(action);
        if (r < 700)
            return deleteStep(action);
        if (r < 960) {
            action = clickStep();
            return {};
        }
        if (r < 980)
            return saveStep(action);
        if (r < 992)
            return loadStep(action);
        return restartStep(action);
    }

    // Clicks a node; returns what it did.
    QString clickStep()
    {
        QString action = QStringLiteral("click");
        QList<int> shown = m_model.live.keys();
        if (shown.isEmpty())
            return action;
        std::sort(shown.begin(), shown.end());
        const int id = shown[pick(int(shown.size()))];
        const int n = m_model.numberOf(id);
        action += QStringLiteral(" entry %1").arg(n);
        clickEntry(n);
        m_model.selected = n;
        return action;
    }

    // Clicks the node of entry n where it is drawn; names may repeat, so it is found by entry.
    void clickEntry(int n)
    {
        TreeView *tree = driver::tree(*m_window);
        tree->SelectNode(tree->PositionOfEntry(n));
        QTreeWidgetItem *node = tree->currentItem();
        if (!node)
            return;
        // A user clicks the part of the node that can be seen. Scrolling just far enough can
        // leave a node at the bottom edge hidden under the scroll bar; centring it cannot.
        tree->scrollToItem(node);
        QRect visible = tree->visualItemRect(node).intersected(tree->viewport()->rect());
        if (visible.height() < 6) {
            tree->scrollToItem(node, QAbstractItemView::PositionAtCenter);
            visible = tree->visualItemRect(node).intersected(tree->viewport()->rect());
        }
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, visible.center());
    }

    QString addStep(QString &action, bool atRoot)
    {
        action = atRoot ? QStringLiteral("add at root") : QStringLiteral("add under selected");
        const int k = m_model.selected;
        click(m_window.get(), "btn_add");
        // Also with nothing selected: the entry then goes to the top level.
        if (!editorShown())
            return QStringLiteral("editor not shown");
        const int selectedId = m_model.liveAt(k);
        QString rule = selectedId ? m_model.live.value(selectedId).rule : QString();
        if (box("cip")->text() != rule)
            return QStringLiteral("rule box holds %1, not the selected entry's %2")
                .arg(box("cip")->text(), rule);
        const QString name = newName();
        const QString address = newAddress();
        action += QStringLiteral(" \"%1\"").arg(name);
        enter(box("txtname"), name);
        enter(box("txtip"), address);
        if (chance(30)) {
            rule = newRule();
            enter(box("cip"), rule);
        }
        // The editor is not modal: the selection may change before OK.
        if (!atRoot && chance(15))
            action += QStringLiteral(", ") + clickStep();

        bool refused = true;
        if (const QString refusal = editorRefusal(name, address, rule, 0); !refusal.isEmpty())
            m_expected << refusal;
        else if (m_model.count + 1 >= EntryTable::Slots)
            m_expected << MainText::ListFull;
        else
            refused = false;
        clickEditor(atRoot ? "btn_root" : "btn_ok");
        if (refused) {
            ++figures.refusals;
            if (!editorShown())
                return QStringLiteral("editor closed after a refusal");
            clickEditor("btn_cancel");
            return {};
        }
        // OK with no live entry selected adds at the top level too.
        const int id = ++m_nextId;
        m_model.count += 1;
        m_model.place[m_model.count] = id;
        const int parent = atRoot ? 0 : m_model.liveAt(m_model.selected);
        m_model.live.insert(id, {folderName(name), entryname::rtrim(address), rule, parent});
        m_model.unsaved = true;
        return {};
    }

    QString changeStep(QString &action)
    {
        action = QStringLiteral("change");
        const int k = m_model.selected;
        const int id = k <= 99 ? m_model.liveAt(k) : 0;
        click(m_window.get(), "btn_cng");
        if (!id)
            return editorShown() ? QStringLiteral("editor opened for no entry") : QString();
        if (!editorShown())
            return QStringLiteral("editor not shown for entry %1").arg(k);
        ModelEntry &e = m_model.live[id];
        if (box("txtname")->text() != e.name || box("txtip")->text() != e.address
            || box("cip")->text() != e.rule)
            return QStringLiteral("editor shows another entry's values");
        QString name = e.name;
        if (chance(70)) {
            // Its own name in another letter case is still its own folder.
            name = chance(10) ? otherCase(e.name) : newName();
            enter(box("txtname"), name);
        }
        QString address = e.address;
        if (chance(50)) {
            address = newAddress();
            enter(box("txtip"), address);
        }
        QString rule = e.rule;
        if (chance(30)) {
            rule = newRule();
            enter(box("cip"), rule);
        }
        action += QStringLiteral(" entry %1 to \"%2\"").arg(k).arg(name);
        // The change still goes to the entry the editor was opened for.
        if (chance(10))
            action += QStringLiteral(", ") + clickStep();
        if (chance(10)) {
            clickEditor("btn_cancel");
            return editorShown() ? QStringLiteral("Cancel left the editor open") : QString();
        }
        const QString refusal = editorRefusal(name, address, rule, id);
        if (!refusal.isEmpty())
            m_expected << refusal;
        clickEditor("btn_ok");
        if (!refusal.isEmpty()) {
            ++figures.refusals;
            if (!editorShown())
                return QStringLiteral("editor closed after a refusal");
            clickEditor("btn_cancel");
            return {};
        }
        e.name = folderName(name);
        e.address = entryname::rtrim(address);
        e.rule = rule;
        m_model.unsaved = true;
        return {};
    }

    QString deleteStep(QString &action)
    {
        const bool yes = chance(80);
        action = yes ? QStringLiteral("delete, Yes") : QStringLiteral("delete, No");
        const int id = m_model.liveAt(m_model.selected);
        if (id) {
            // The question names the entry when others go with it.
            const qsizetype below = m_model.below(id).size();
            m_expected << (below == 0 ? MainText::DeleteQuestion
                                      : MainText::DeleteWithBelow.arg(m_model.live.value(id).name,
                                                                      QString::number(below)));
            m_boxes.answerNext(yes ? QMessageBox::Yes : QMessageBox::No);
        }
        click(m_window.get(), "btn_del");
        if (id && yes) {
            m_model.remove(id);
            m_model.unsaved = true;
        }
        return {};
    }

    QString saveStep(QString &action)
    {
        action = QStringLiteral("SAVE");
        ++figures.saves;
        m_expected << MainText::Saved;
        click(m_window.get(), "btn_save");
        saved();
        return {};
    }

    void saved()
    {
        m_model.save();
        m_saved = m_model;
    }

    void reloaded()
    {
        m_model = m_saved;
        m_model.selected = 1;
        m_model.unsaved = false;
    }

    // Unsaved changes make LOAD and closing ask first: Yes saves and goes on, No goes on,
    // Cancel stays. True when the program goes on.
    bool answerUnsaved(QString &action)
    {
        if (!m_model.unsaved)
            return true;
        ++figures.questions;
        const std::pair<QMessageBox::StandardButton, const char *> answers[] = {
            {QMessageBox::Yes, "Yes"}, {QMessageBox::No, "No"}, {QMessageBox::Cancel, "Cancel"}};
        const auto [answer, answerName] = answers[pick(3)];
        action += QStringLiteral(", save: ") + QLatin1String(answerName);
        m_expected << MainText::UnsavedQuestion;
        m_boxes.answerNext(answer);
        if (answer == QMessageBox::Yes)
            saved();
        return answer != QMessageBox::Cancel;
    }

    QString loadStep(QString &action)
    {
        action = QStringLiteral("LOAD");
        ++figures.loads;
        const bool goesOn = answerUnsaved(action);
        click(m_window.get(), "btn_load");
        if (goesOn)
            reloaded();
        return {};
    }

    // Closes the window and starts the program again.
    QString restartStep(QString &action)
    {
        action = QStringLiteral("restart");
        const bool goesOn = answerUnsaved(action);
        const bool closed = m_window->close();
        if (closed != goesOn)
            return closed ? QStringLiteral("closed on Cancel") : QStringLiteral("stayed open");
        if (!closed)
            return {};
        ++figures.restarts;
        // Start-up selects entry 1 as LOAD does, also when it is a hole that has no node.
        reloaded();
        return start();
    }

    QString checkBoxes()
    {
        const QStringList seen = m_boxes.take();
        const QStringList expected = std::exchange(m_expected, {});
        if (seen != expected)
            return QStringLiteral("message boxes [%1], expected [%2]")
                .arg(seen.join(QStringLiteral(" | ")), expected.join(QStringLiteral(" | ")));
        return {};
    }

    // Concatenated, since names and rules may hold "%1"-like text.
    static QString describe(const QString &name, const QString &address, const QString &rule,
                            int parent)
    {
        return u'"' + name + QStringLiteral("\" \"") + address.left(60) + QStringLiteral("\" \"")
               + rule + QStringLiteral("\" parent ") + QString::number(parent);
    }

    // The program against the model, and the tree against the table.
    QString check()
    {
        const EntryTable &t = m_window->Entries();
        const TreeView &tree = *driver::tree(*m_window);
        if (editorShown())
            return QStringLiteral("editor left open");
        if (t.EntryCount != m_model.count)
            return QStringLiteral("EntryCount %1, model %2").arg(t.EntryCount).arg(m_model.count);
        if (selected(*m_window) != QString::number(m_model.selected))
            return QStringLiteral("tree_cnt %1, model %2").arg(selected(*m_window)).arg(m_model.selected);

        int shown = 0;
        for (int n = 1; n <= EntryTable::Slots; ++n) {
            const int id = m_model.place[n];
            if (m_model.live.contains(id)) {
                const ModelEntry &e = m_model.live.value(id);
                const int parent = e.parent ? m_model.numberOf(e.parent) : 0;
                if (t.EntryName(n) != e.name || t.EntryAddress(n) != e.address
                    || t.EntryRule(n) != e.rule || t.EntryParent(n) != parent)
                    return QStringLiteral("entry %1 is ").arg(n)
                           + describe(t.EntryName(n), t.EntryAddress(n), t.EntryRule(n), t.EntryParent(n))
                           + QStringLiteral("; model ") + describe(e.name, e.address, e.rule, parent);
                if (tree.PositionOfEntry(n) == 0)
                    return QStringLiteral("entry %1 \"%2\" lacks a node").arg(n).arg(e.name);
                ++shown;
            } else if (m_model.dead.contains(id)) {
                if (!entryname::isDeletedName(t.EntryName(n)))
                    return QStringLiteral("deleted entry %1 is \"%2\"").arg(n).arg(t.EntryName(n));
            } else if (!t.EntryName(n).isEmpty()) {
                return QStringLiteral("entry %1 \"%2\" came back").arg(n).arg(t.EntryName(n));
            }
        }

        if (tree.NodeCount() != shown)
            return QStringLiteral("%1 nodes, model shows %2").arg(tree.NodeCount()).arg(shown);
        QSet<int> seen;
        for (int p = 1; p <= tree.NodeCount(); ++p) {
            const int n = tree.EntryOf(p);
            if (!EntryTable::isValid(n) || t.isFree(n) || seen.contains(n))
                return QStringLiteral("node %1 leads to entry %2").arg(p).arg(n);
            seen.insert(n);
            // The node shows the name as the entry holds it, as loading reads it.
            if (tree.NodeText(p) != t.EntryName(n))
                return QStringLiteral("node %1 \"%2\" leads to entry %3 \"%4\"")
                    .arg(QString::number(p), tree.NodeText(p), QString::number(n), t.EntryName(n));
            const int parentEntry = t.EntryParent(n);
            const int parentNode = parentEntry ? tree.PositionOfEntry(parentEntry) : 0;
            if (tree.ParentPosition(p) != parentNode || (parentEntry && !parentNode))
                return QStringLiteral("node %1 hangs under node %2, its entry's parent has node %3")
                    .arg(p).arg(tree.ParentPosition(p)).arg(parentNode);
        }

        // The node drawn as current is the one of the entry the buttons act on.
        const int k = m_model.selected;
        const bool hasNode = EntryTable::isValid(k) && tree.PositionOfEntry(k) != 0;
        QTreeWidgetItem *node = hasNode ? nodeOf(*m_window, k) : nullptr;
        if (hasNode && !node)
            return QStringLiteral("entry %1 has no node of its own text").arg(k);
        if (QTreeWidgetItem *current = tree.currentItem(); current != node)
            return QStringLiteral("current node \"%1\", selected entry %2")
                .arg(current ? current->text(0) : QString())
                .arg(k);
        if (tree.selectedItems() != (node ? QList{node} : QList<QTreeWidgetItem *>{}))
            return QStringLiteral("%1 nodes highlighted, selected entry %2")
                .arg(tree.selectedItems().size())
                .arg(k);
        return {};
    }

    quint32 m_seed;
    int m_steps;
    int m_step = 0;
    std::mt19937 m_rng;
    std::unique_ptr<frm_vekmain> m_window;
    BoxWatcher m_boxes;
    QStringList m_expected;
    Model m_model;
    Model m_saved;
    int m_nextId = 0;
};

} // namespace

class tst_model : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void randomSessions_data();
    void randomSessions();

    // Faults the random sessions found, kept as short fixed scenarios.
    void ideographicSpaceSurvivesRestart_data();
    void ideographicSpaceSurvivesRestart();
};

void tst_model::ideographicSpaceSurvivesRestart_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("ideographic space at the end") << u"テスト\u3000"_qs << u"テスト\u3000"_qs;
    QTest::newRow("ideographic space at the start") << u"\u3000テスト"_qs << u"\u3000テスト"_qs;
    QTest::newRow("only an ideographic space") << u"\u3000"_qs << u"\u3000"_qs;
    QTest::newRow("blanks still go") << u"テスト  "_qs << u"テスト"_qs;
}

// Loading trimmed every kind of white space off names, so a name typed with an ideographic
// space changed its folder at the next start, or vanished when that was all it was.
void tst_model::ideographicSpaceSurvivesRestart()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFile::remove(iniPath());
    BoxWatcher boxes;
    {
        frm_vekmain w;
        driver::startShown(w);
        add(w, QStringLiteral("親"));
        add(w, typed, QStringLiteral("http://example.com/"));
        QCOMPARE(w.Entries().EntryName(2), stored);
        click(&w, "btn_save");
    }
    QCOMPARE(boxes.take(), QStringList{MainText::Saved});
    frm_vekmain w;
    w.Form_Load();
    QCOMPARE(boxes.take(), QStringList());
    QCOMPARE(w.Entries().EntryCount, 2);
    QCOMPARE(w.Entries().EntryName(2), stored);
    QCOMPARE(w.Entries().EntryAddress(2), QStringLiteral("http://example.com/"));
    QCOMPARE(tree(w)->NodeCount(), 2);
    QCOMPARE(tree(w)->EntryOf(2), 2);
}

// The offscreen platform warns about every window it cannot raise; thousands of those would
// push the test's own messages out of the log.
static QtMessageHandler previousHandler = nullptr;

static void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg && text.startsWith(QLatin1String("This plugin does not support")))
        return;
    previousHandler(type, context, text);
}

void tst_model::initTestCase()
{
    previousHandler = qInstallMessageHandler(quietHandler);
}

void tst_model::randomSessions_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("steps");
    bool stepsOk = false;
    const int steps = qEnvironmentVariableIntValue("VEKANTO_MODEL_STEPS", &stepsOk);
    if (qEnvironmentVariableIsSet("VEKANTO_MODEL_SEED")) {
        const quint32 seed = qEnvironmentVariable("VEKANTO_MODEL_SEED").toUInt();
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed)))
            << seed << (stepsOk ? steps : 2500);
        return;
    }
    // Fixed seeds for CI; the steps are split among them.
    const quint32 seeds[] = {1, 2024, 65537, 900001};
    const int each = (stepsOk ? steps : 10000) / int(std::size(seeds));
    for (quint32 seed : seeds)
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed << each;
}

void tst_model::randomSessions()
{
    QFETCH(quint32, seed);
    QFETCH(int, steps);
    QElapsedTimer clock;
    clock.start();
    figures.seeds << QString::number(seed);
    const QString failure = RandomSession(seed, steps).run();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    qInfo("seed %u: %d steps in %lld ms", seed, steps, qint64(clock.elapsed()));
}

void tst_model::cleanupTestCase()
{
    qInfo("model test: %lld steps over seeds %s; %lld SAVE, %lld LOAD, %lld restarts, %lld refused "
          "edits, %lld questions about unsaved changes",
          figures.steps, qPrintable(figures.seeds.join(QStringLiteral(", "))), figures.saves,
          figures.loads, figures.restarts, figures.refusals, figures.questions);
}

VEKANTO_TEST_MAIN(tst_model)
#include "tst_model.moc"
