#include "app/frm_vekmain.h"

#include "app/main_texts.h"
#include "editor/frm_vekop1.h"
#include "platform/codepage.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/tree_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace {

const QString DataSection = QStringLiteral("DATA");
const QString OptionSection = QStringLiteral("Option");
const QString SdataSection = QStringLiteral("SDATA");

// The original's Trim takes off blanks (U+0020) only: an ideographic space typed at either end
// of a name is part of it, as it was when the name was stored.
QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.sliced(begin, end - begin);
}

QString key(const char *stem, int n)
{
    return QLatin1String(stem) + QString::number(n);
}

// Stored numbers are 16-bit; anything else reads as 0.
qint16 toInt16(const QString &text, bool *ok = nullptr)
{
    bool parsed = false;
    const int value = text.trimmed().toInt(&parsed);
    const bool fits = parsed && value >= -32768 && value <= 32767;
    if (ok)
        *ok = fits;
    return fits ? qint16(value) : qint16(0);
}

// The reader trims blanks and takes off one pair of outer quotes, so a value that begins or
// ends with a blank or a quote goes inside quotes of its own to read back whole.
QString storedForm(const QString &value)
{
    const auto special = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'"' || c == u'\'';
    };
    if (!value.isEmpty() && (special(value.front()) || special(value.back())))
        return u'"' + value + u'"';
    return value;
}

// No line can hold a line end, so this default never comes back for a stored key.
bool hasKey(Profile &ini, const QString &section, const QString &keyName)
{
    static const QString absent = QStringLiteral("\n");
    QString found;
    ini.GetPrivateProfileString(section, keyName, absent, found, 2);
    return found != absent;
}

} // namespace

// Reads one value whole. A missing key is told by asking twice with two different defaults,
// so that a stored value beginning with "NL" is not mistaken for a missing one.
bool frm_vekmain::readValue(Profile &ini, const QString &section, const QString &keyName,
                            QString &target)
{
    static const QString defaults[2] = {QStringLiteral("NL"), QStringLiteral("nl\t-")};
    QString found[2];
    for (int i = 0; i < 2; ++i) {
        qint32 size = 256;
        for (;;) {
            const qint32 copied = ini.GetPrivateProfileString(section, keyName, defaults[i],
                                                              found[i], size);
            if (copied < size - 1)
                break;
            size *= 4;
        }
        if (found[i] != defaults[i])
            break;
        if (i == 1)
            return false;
    }
    txt_buf->setText(found[0] != defaults[0] ? found[0] : found[1]);
    target = txt_buf->text();
    txt_buf->clear();
    return true;
}

// An open editor holds an entry number that loading or saving may give to another entry;
// it is closed as Cancel closes it.
void frm_vekmain::closeEditor()
{
    if (m_editor)
        m_editor->hide();
}

bool frm_vekmain::LoadSettings()
{
    closeEditor();
    setEnabled(false);
    const QString path = SettingsPath();
    Profile ini(path);
    QString failure;
    const QFileInfo info(path);
    if (info.exists() && (!info.isFile() || !QFile(path).open(QIODevice::ReadOnly)))
        failure = path;

    QStringList badNumbers;
    for (int n = 1; n <= 99; ++n) {
        Entries.clear(n);
        QString value;
        if (readValue(ini, DataSection, key("TEXT", n), value))
            Entries.EntryName(n) = trimBlanks(value);
        if (Entries.isFree(n)) {
            // A deleted marker or a blank name leaves the whole slot empty.
            Entries.clear(n);
            continue;
        }
        if (readValue(ini, DataSection, key("cip", n), value))
            Entries.EntryRule(n) = value;
        if (readValue(ini, DataSection, key("nip", n), value))
            Entries.EntryAddress(n) = value;
        bool ok = true;
        if (readValue(ini, DataSection, key("nname", n), value))
            Entries.EntryNname(n) = toInt16(value, &ok);
        if (readValue(ini, DataSection, key("root", n), value)) {
            bool rootOk = true;
            Entries.EntryParent(n) = toInt16(value, &rootOk);
            ok = ok && rootOk;
        }
        if (!ok)
            badNumbers << Entries.EntryName(n);
    }

    QString value;
    if (readValue(ini, OptionSection, QStringLiteral("dirname"), value))
        DirName->setText(value);
    if (readValue(ini, OptionSection, QStringLiteral("logpath"), value))
        Text3->setText(value);
    if (readValue(ini, OptionSection, QStringLiteral("logsw"), value)) {
        bool ok = false;
        const qint16 sw = toInt16(value, &ok);
        if (ok)
            Check1->setChecked(sw == 1);
    }
    if (readValue(ini, OptionSection, QStringLiteral("dtime"), value))
        Text4->setText(value);
    // The log switch governs its widgets also when the box did not change.
    Check1_Click();
    SeedLogFromFile();

    QStringList placedAtTop;
    rebuildTree(&placedAtTop);
    tree_cnt->setText(QStringLiteral("1"));
    setEnabled(true);

    if (!failure.isEmpty()) {
        msgbox::MsgBox(this, MainText::LoadFailed.arg(failure));
        return false;
    }
    placedAtTop.append(badNumbers);
    placedAtTop.removeDuplicates();
    if (!placedAtTop.isEmpty())
        msgbox::MsgBox(this, MainText::PlacedAtTop.arg(placedAtTop.join(QStringLiteral("\r\n"))));
    return true;
}

// Builds the tree from the table in entry order. A node whose parent has no node (yet) goes
// to the top level and its parent reference is dropped, so table and tree agree.
void frm_vekmain::rebuildTree(QStringList *placedAtTop)
{
    TreeView1->ClearNodes();
    Entries.EntryCount = 0;
    for (int n = 1; n <= 99; ++n) {
        if (Entries.isFree(n))
            continue;
        const int parent = Entries.EntryParent(n);
        int parentPosition = 0;
        if (parent != 0) {
            parentPosition = parent < n ? TreeView1->PositionOfEntry(parent) : 0;
            if (parentPosition == 0) {
                Entries.EntryParent(n) = 0;
                if (placedAtTop)
                    placedAtTop->append(Entries.EntryName(n));
            }
        }
        TreeView1->AddNode(parentPosition, Entries.EntryName(n), n);
        // Counting up to the last entry, not the entries seen, keeps a later add from
        // landing on an entry behind a hole.
        Entries.EntryCount = n;
    }
}

// One forward pass closes each run of free slots by one position. References to a removed
// entry are dropped; references to a moved entry move with it.
void frm_vekmain::compactEntries(int &followed)
{
    for (int n = 1; n <= 99; ++n) {
        if (Entries.isFree(n))
            Entries.retarget(n, 0);
    }
    for (int n = 1; n <= 99; ++n) {
        if (Entries.isFree(n)) {
            Entries.moveDown(n + 1, n);
            if (followed == n + 1)
                followed = n;
        }
    }
}

void frm_vekmain::sortEntries(int &followed)
{
    for (int i = 1; i <= 99; ++i) {
        for (int j = 1; j <= 99; ++j) {
            if (Entries.isFree(i) && Entries.EntryParent(i) > Entries.EntryParent(j)) {
                Entries.swap(i, j);
                if (followed == i || followed == j)
                    followed = followed == i ? j : i;
            }
        }
    }
}

bool frm_vekmain::SaveSettings()
{
    closeEditor();
    setEnabled(false);
    // The selection follows its entry through the moves; a deleted one is let go.
    int selected = SelectedEntry();
    if (!EntryTable::isValid(selected) || Entries.isFree(selected))
        selected = 0;
    compactEntries(selected);
    sortEntries(selected);

    Profile ini(SettingsPath());
    bool written = true;
    const auto write = [&](const QString &section, const QString &keyName,
                           const std::optional<QString> &value) {
        written = ini.WritePrivateProfileString(section, keyName, value) && written;
    };
    for (int n = 1; n <= 99; ++n) {
        if (Entries.isEmpty(n)) {
            // Keys of an earlier, longer list must not come back at the next load, nor the
            // duplicates that deleting the first of them uncovers.
            for (const char *stem : {"TEXT", "NIP", "CIP", "ROOT", "nname"}) {
                while (hasKey(ini, DataSection, key(stem, n)))
                    write(DataSection, key(stem, n), std::nullopt);
            }
            continue;
        }
        // Each text is kept as the code page stores it, so memory matches the file.
        for (auto [stem, column] : {std::pair{"TEXT", &Entries.EntryName},
                                    std::pair{"NIP", &Entries.EntryAddress},
                                    std::pair{"CIP", &Entries.EntryRule}}) {
            write(DataSection, key(stem, n), storedForm((*column)(n)));
            (*column)(n) = codepage::roundTrip((*column)(n));
        }
        write(DataSection, key("ROOT", n), QString::number(Entries.EntryParent(n)));
        write(DataSection, key("nname", n), QString::number(Entries.EntryNname(n)));
        // A marker is written as the original wrote it and reads back as an empty slot.
        if (Entries.isDeleted(n))
            Entries.clear(n);
    }

    const int items = Combo1(0)->count();
    for (int i = 1; i < items; ++i) {
        for (int c = 0; c <= 4; ++c)
            write(SdataSection, QStringLiteral("cmb%1%2").arg(c).arg(i), Combo1(c)->itemText(i));
    }
    write(SdataSection, QStringLiteral("cnt"), QString::number(items));

    write(OptionSection, QStringLiteral("dirname"), storedForm(DirName->text()));
    write(OptionSection, QStringLiteral("logpath"), storedForm(Text3->text()));
    write(OptionSection, QStringLiteral("logsw"),
          Check1->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    write(OptionSection, QStringLiteral("dtime"), storedForm(Text4->text()));
    written = written && ini.flush();

    // The tree is rebuilt from the compacted table, so every node leads to its own entry.
    rebuildTree(nullptr);
    tree_cnt->setText(QString::number(selected));
    TreeView1->SelectNode(TreeView1->PositionOfEntry(selected));
    setEnabled(true);

    if (!written) {
        msgbox::MsgBox(this, MainText::SaveFailed.arg(ini.errorString()));
        return false;
    }
    return true;
}

void frm_vekmain::btn_load_Click()
{
    LoadSettings();
}

void frm_vekmain::btn_save_Click()
{
    if (SaveSettings())
        msgbox::MsgBox(this, MainText::Saved);
}
