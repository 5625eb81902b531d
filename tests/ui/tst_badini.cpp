// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ui/msgbox_answerer.h"
#include "support/ui/window_driver.h"
#include "support/ui/window_testmain.h"

#include "platform/codepage.h"
#include "platform/profile.h"

#include <QFile>
#include <QLabel>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>

#include <memory>

using driver::tree;

namespace {

// One entry of the list a damaged file was made from.
struct Entry {
    int n = 0;
    QString name;
    QString address;
    QString rule;
    int parent = 0;
};

// One line of a generated file, and the entry it belongs to (0: none).
struct Line {
    QByteArray bytes;
    int entry = 0;
    bool isValue = false; // a key line whose bytes after "=" are the value
};

enum class Damage {
    TruncatedMidLine,
    GarbageLines,
    RandomBytes,
    RandomTokens,
    InvalidCp932,
    Utf8BomCp932Body,
    Utf8BomUtf8Body,
    TenMegabytesOfKeys,
    ThousandsOfSections,
    LinesWithoutEquals,
    LongValues,
    QuotedValues,
    NotNumbers,
    NulBytes,
    CrOnly,
    LfOnly,
    MixedLineEnds,
    FlippedValueBytes,
};

// What the loaded program must show for a generated file.
struct Case {
    QByteArray bytes;
    QList<Entry> exact;     // damage left them alone: name, address and rule as written
    QList<Entry> named;     // only their name line is whole: they load under that name
    QSet<int> mayExist;     // entries the file may hold at all; empty: anything may
    bool quiet = false;     // nothing in the file needs telling
    bool checkParents = true;
};

const QStringList Words = {
    QStringLiteral("ニュース"), QStringLiteral("天気・東京"), QStringLiteral("ソ表示"),
    QStringLiteral("能力表"), QStringLiteral("ﾊﾝｶｸ"), QStringLiteral("予定"),
    QStringLiteral("blog"), QStringLiteral("Release notes"), QStringLiteral("nlニュース"),
    QStringLiteral("日記（旧）"), QStringLiteral("①番"), QStringLiteral("株価"),
};
// No "=", "[" or "]" in values: damage inside a value must not make a key or a section.
const QStringList Rules = {
    QString(), QStringLiteral("%0y%0m%0d.html"), QStringLiteral("news/%y/%m%d.htm"),
    QStringLiteral("100%"), QStringLiteral("%0Y"), QStringLiteral("頁%d"),
};

QByteArray ansi(const QString &s) { return codepage::toAnsi(s); }

QList<Entry> makeList(QRandomGenerator &rng)
{
    QList<Entry> list;
    const int last = 20 + int(rng.bounded(60));
    for (int n = 1; n <= last; ++n) {
        // Holes, as a list with deleted entries leaves them.
        if (n > 1 && rng.bounded(8) == 0)
            continue;
        Entry e;
        e.n = n;
        e.name = Words[rng.bounded(Words.size())] + QString::number(n);
        e.address = QStringLiteral("http://例%1.test/ページ/%2/").arg(n).arg(rng.bounded(1000));
        e.rule = Rules[rng.bounded(Rules.size())];
        if (!list.isEmpty() && rng.bounded(2) == 0)
            e.parent = list[rng.bounded(list.size())].n;
        list.append(e);
    }
    return list;
}

Line keyLine(const char *stem, int n, const QByteArray &value)
{
    return {QByteArray(stem) + QByteArray::number(n) + '=' + value, n, true};
}

QList<Line> render(const QList<Entry> &list, QByteArray (*encode)(const QString &) = ansi)
{
    QList<Line> lines{{"[DATA]", 0, false}};
    for (const Entry &e : list) {
        lines << keyLine("TEXT", e.n, encode(e.name)) << keyLine("NIP", e.n, encode(e.address))
              << keyLine("CIP", e.n, encode(e.rule))
              << keyLine("ROOT", e.n, QByteArray::number(e.parent))
              << keyLine("nname", e.n, "1");
    }
    lines << Line{"[Option]"} << Line{"dirname=/data/"} << Line{"dtime=60"};
    return lines;
}

QByteArray join(const QList<Line> &lines, const QByteArray &eol = "\r\n")
{
    QByteArray out;
    for (const Line &l : lines)
        out += l.bytes + eol;
    return out;
}

QByteArray randomBytes(QRandomGenerator &rng, qsizetype size, const QByteArray &excluded = {})
{
    QByteArray out;
    out.reserve(size);
    while (out.size() < size) {
        const char c = char(rng.bounded(256));
        if (!excluded.contains(c))
            out += c;
    }
    return out;
}

// Where a line's value starts, 0 when it has none.
qsizetype valueStart(const Line &l)
{
    return l.isValue ? l.bytes.indexOf('=') + 1 : 0;
}

// Between the "[DATA]" header and "[Option]".
qsizetype dataPosition(QRandomGenerator &rng, const QList<Line> &lines)
{
    qsizetype option = 0;
    while (lines[option].bytes != "[Option]")
        ++option;
    return 1 + qsizetype(rng.bounded(int(option)));
}

QSet<int> numbers(const QList<Entry> &list)
{
    QSet<int> s;
    for (const Entry &e : list)
        s.insert(e.n);
    return s;
}

Case intactCase(const QList<Entry> &list, const QByteArray &bytes)
{
    return Case{bytes, list, {}, numbers(list), true, true};
}

// Splits the list by the lines that damage touched.
Case splitByDamage(const QList<Entry> &list, const QSet<int> &damaged, const QSet<int> &nameLost,
                   const QByteArray &bytes)
{
    Case c{bytes, {}, {}, numbers(list), false, true};
    for (const Entry &e : list) {
        if (!damaged.contains(e.n))
            c.exact << e;
        else if (!nameLost.contains(e.n))
            c.named << e;
    }
    return c;
}

Case makeCase(Damage damage, quint32 seed)
{
    QRandomGenerator rng(seed);
    QList<Entry> list = makeList(rng);
    QList<Line> lines = render(list);

    switch (damage) {
    case Damage::TruncatedMidLine: {
        // Cut strictly inside one entry line: that line and all after it are lost or partial.
        qsizetype at;
        do
            at = 1 + qsizetype(rng.bounded(int(lines.size() - 4)));
        while (lines[at].bytes.size() < 2);
        QByteArray bytes = join(lines.first(at));
        bytes += lines[at].bytes.left(1 + rng.bounded(int(lines[at].bytes.size() - 1)));
        QList<Entry> before;
        QSet<int> damaged;
        QSet<int> nameLost;
        for (const Entry &e : list) {
            qsizetype lastLine = 0;
            qsizetype textLine = 0;
            for (qsizetype i = 0; i < lines.size(); ++i) {
                if (lines[i].entry == e.n) {
                    textLine = textLine ? textLine : i;
                    lastLine = i;
                }
            }
            if (textLine > at)
                continue;
            before << e;
            if (lastLine >= at)
                damaged << e.n;
            if (textLine == at)
                nameLost << e.n;
        }
        Case c = splitByDamage(before, damaged, nameLost, bytes);
        c.mayExist = numbers(before);
        return c;
    }
    case Damage::GarbageLines: {
        // Any byte but line ends and "[", which could open a section.
        for (int k = 1 + rng.bounded(20); k > 0; --k)
            lines.insert(dataPosition(rng, lines),
                         Line{randomBytes(rng, rng.bounded(200), QByteArray("\r\n[", 3))});
        Case c = intactCase(list, join(lines));
        return c;
    }
    case Damage::RandomBytes:
        return Case{randomBytes(rng, rng.bounded(32 * 1024)), {}, {}, {}, false, false};
    case Damage::RandomTokens: {
        // Pieces of real files in random order make entries, parents and sections appear.
        static const QList<QByteArray> tokens = {
            "[DATA]", "[Option]", "[data", "]", "TEXT", "text", "NIP", "cip", "ROOT", "root",
            "nname", "=", "=", "\r\n", "\r\n", "\r", "\n", " ", "\t", "\"", "'", "nl", "NL", ";",
            "-", "0", "1", "2", "3", "9", "17", "99", "100", "32768", "\x83\x5c", "\x95\x5c",
            "\x81", "\xff", QByteArray("\0", 1), "\xef\xbb\xbf", "http://a.test/", "%0y",
            "dirname", "logsw", "dtime"};
        QByteArray bytes;
        for (int k = rng.bounded(4000); k > 0; --k)
            bytes += tokens[rng.bounded(tokens.size())];
        return Case{bytes, {}, {}, {}, false, false};
    }
    case Damage::InvalidCp932: {
        static const QList<QByteArray> bad = {"\x81\x20", "\xff", "\x80", "\xa0", "\x85\x40",
                                              "\xfd\xfe", "\x81", "\xeb\x40", "\x81\x7f"};
        QSet<int> damaged;
        QSet<int> nameLost;
        for (int k = 1 + rng.bounded(5); k > 0; --k) {
            const qsizetype at = 1 + rng.bounded(int(list.size() * 5));
            Line &l = lines[at];
            const qsizetype from = valueStart(l);
            l.bytes.insert(from + rng.bounded(int(l.bytes.size() - from + 1)),
                           bad[rng.bounded(bad.size())]);
            damaged << l.entry;
            if (l.bytes.startsWith("TEXT"))
                nameLost << l.entry;
        }
        return splitByDamage(list, damaged, nameLost, join(lines));
    }
    case Damage::Utf8BomCp932Body:
        return intactCase(list, "\xef\xbb\xbf" + join(lines));
    case Damage::Utf8BomUtf8Body: {
        // What a text editor leaves after saving the file as "UTF-8 with BOM".
        const auto utf8 = [](const QString &s) { return s.toUtf8(); };
        return intactCase(list, "\xef\xbb\xbf" + join(render(list, utf8)));
    }
    case Damage::TenMegabytesOfKeys: {
        // Unknown keys between the entries, and later duplicates of their keys that must lose.
        QList<Line> grown;
        qsizetype size = 0;
        const qsizetype target = 10 * 1024 * 1024;
        const qsizetype perLine = target / lines.size() + 1;
        for (const Line &l : std::as_const(lines)) {
            grown << l;
            if (l.bytes == "[Option]")
                continue;
            for (qsizetype added = 0; added < perLine && size < target;) {
                Line junk{l.isValue ? l.bytes.left(valueStart(l)) + "dup" + randomBytes(rng, 60, "\r\n[]=;")
                                    : "k" + QByteArray::number(rng.generate(), 16) + '='
                                          + randomBytes(rng, 60, "\r\n[]=;")};
                added += junk.bytes.size() + 2;
                size += junk.bytes.size() + 2;
                grown << junk;
            }
        }
        return intactCase(list, join(grown));
    }
    case Damage::ThousandsOfSections: {
        // A later [DATA] never overrides the first one.
        QByteArray before;
        QByteArray after;
        for (int k = 0; k < 3000; ++k) {
            before += "[s" + QByteArray::number(k) + "]\r\nTEXT1=wrong\r\n";
            after += (k % 6 == 0 ? QByteArray("[data]") : "[t" + QByteArray::number(k) + "]")
                     + "\r\nTEXT" + QByteArray::number(k % 99 + 1) + "=wrong\r\n";
        }
        return intactCase(list, before + join(lines) + after);
    }
    case Damage::LinesWithoutEquals: {
        static const QList<QByteArray> stray = {
            "TEXT5 http://x.test/", "just text", "[", "]", "   ", "NIP", ";", "\t", "TEXT1",
            "[Option", "ソ表", "==="};
        for (int k = 1 + rng.bounded(30); k > 0; --k) {
            QByteArray s = stray[rng.bounded(stray.size())];
            // "===" has one: an empty key must not count as any entry's key.
            lines.insert(dataPosition(rng, lines), Line{s});
        }
        return intactCase(list, join(lines));
    }
    case Damage::LongValues: {
        const QString longText = QString(5000, u'x') + QString(5000, u'字');
        for (int k = 0; k < 4; ++k) {
            Entry &e = list[rng.bounded(list.size())];
            switch (k) {
            case 0: e.name = longText.right(9990) + QString::number(e.n); break;
            case 1: e.rule = longText; break;
            default: e.address = QStringLiteral("http://a.test/") + longText; break;
            }
        }
        return intactCase(list, join(render(list)));
    }
    case Damage::QuotedValues: {
        // Blanks inside quotes and quotes inside quotes are part of the value.
        static const QStringList quoted = {QStringLiteral("\"  padded  \""),
                                           QStringLiteral("\"\"doubled\"\""),
                                           QStringLiteral("''single''"),
                                           QStringLiteral("\" 頁%d \"")};
        QList<Entry> expected = list;
        for (int k = 0; k < 4; ++k) {
            const int i = rng.bounded(list.size());
            const QString &q = quoted[k];
            const QString inner = q.mid(1, q.size() - 2);
            if (k % 2) {
                list[i].rule = q;
                expected[i].rule = inner;
            } else {
                list[i].address = q;
                expected[i].address = inner;
            }
        }
        return intactCase(expected, join(render(list)));
    }
    case Damage::NotNumbers: {
        static const QList<QByteArray> junk = {"abc", "1.5", "0x3", "", "\x82\x50", "99999",
                                               "-40000", "3abc", "--1", "1 2", "\x81"};
        for (int k = 1 + rng.bounded(6); k > 0; --k) {
            const int i = rng.bounded(list.size());
            const int at = 1 + i * 5 + 3 + rng.bounded(2); // ROOT or nname
            lines[at].bytes = lines[at].bytes.left(valueStart(lines[at]))
                              + junk[rng.bounded(junk.size())];
        }
        Case c = intactCase(list, join(lines));
        c.quiet = false;
        c.checkParents = false;
        return c;
    }
    case Damage::NulBytes: {
        QSet<int> damaged;
        QSet<int> nameLost;
        for (int k = 1 + rng.bounded(5); k > 0; --k) {
            const qsizetype at = 1 + rng.bounded(int(list.size() * 5));
            Line &l = lines[at];
            const qsizetype from = valueStart(l);
            l.bytes.insert(from + rng.bounded(int(l.bytes.size() - from + 1)), '\0');
            damaged << l.entry;
            if (l.bytes.startsWith("TEXT"))
                nameLost << l.entry;
        }
        for (int k = rng.bounded(3); k > 0; --k)
            lines.insert(dataPosition(rng, lines), Line{QByteArray(1 + rng.bounded(9), '\0')});
        return splitByDamage(list, damaged, nameLost, join(lines));
    }
    case Damage::CrOnly:
        return intactCase(list, join(lines, "\r"));
    case Damage::LfOnly:
        return intactCase(list, join(lines, "\n"));
    case Damage::MixedLineEnds: {
        static const QList<QByteArray> ends = {"\r\n", "\r", "\n", "\n\r", "\r\n\r\n"};
        QByteArray bytes;
        for (const Line &l : std::as_const(lines))
            bytes += l.bytes + ends[rng.bounded(ends.size())];
        return intactCase(list, bytes);
    }
    case Damage::FlippedValueBytes: {
        QSet<int> damaged;
        QSet<int> nameLost;
        for (int k = 1 + rng.bounded(8); k > 0; --k) {
            const qsizetype at = 1 + rng.bounded(int(list.size() * 5));
            Line &l = lines[at];
            const qsizetype from = valueStart(l);
            if (from >= l.bytes.size())
                continue;
            l.bytes[from + rng.bounded(int(l.bytes.size() - from))] = char(rng.bounded(256));
            damaged << l.entry;
            if (l.bytes.startsWith("TEXT"))
                nameLost << l.entry;
        }
        return splitByDamage(list, damaged, nameLost, join(lines));
    }
    }
    return {};
}

const char *damageName(Damage d)
{
    switch (d) {
    case Damage::TruncatedMidLine: return "truncated mid-line";
    case Damage::GarbageLines: return "lines of random bytes";
    case Damage::RandomBytes: return "random bytes";
    case Damage::RandomTokens: return "random pieces of ini text";
    case Damage::InvalidCp932: return "invalid CP932";
    case Damage::Utf8BomCp932Body: return "UTF-8 BOM, CP932 body";
    case Damage::Utf8BomUtf8Body: return "UTF-8 BOM, UTF-8 body";
    case Damage::TenMegabytesOfKeys: return "10 MB of keys";
    case Damage::ThousandsOfSections: return "thousands of sections";
    case Damage::LinesWithoutEquals: return "lines without =";
    case Damage::LongValues: return "values of 10000 characters";
    case Damage::QuotedValues: return "quoted values";
    case Damage::NotNumbers: return "numbers that are not numbers";
    case Damage::NulBytes: return "NUL bytes";
    case Damage::CrOnly: return "CR line ends only";
    case Damage::LfOnly: return "LF line ends only";
    case Damage::MixedLineEnds: return "mixed line ends";
    case Damage::FlippedValueBytes: return "flipped value bytes";
    }
    return "?";
}

// How many seeds each kind of damage gets; the costly ones get one.
int seedsFor(Damage d)
{
    switch (d) {
    case Damage::RandomBytes:
    case Damage::RandomTokens:
    case Damage::FlippedValueBytes:
        return 16;
    case Damage::TruncatedMidLine:
    case Damage::GarbageLines:
    case Damage::InvalidCp932:
    case Damage::NulBytes:
        return 8;
    case Damage::TenMegabytesOfKeys:
    case Damage::ThousandsOfSections:
        return 1;
    default:
        return 3;
    }
}

// A stored value as the profile reader gives it, or nullopt for a missing key.
std::optional<QString> stored(Profile &ini, const QString &key)
{
    static const QString missing = QStringLiteral("\x01missing");
    QString value;
    ini.GetPrivateProfileString(QStringLiteral("DATA"), key, missing, value, 1 << 20);
    if (value == missing)
        return std::nullopt;
    return value;
}

// The whole list as it stands: table and tree.
QStringList snapshot(const frm_vekmain &w)
{
    QStringList out;
    const EntryTable &t = w.Entries();
    for (int n = 1; n <= EntryTable::Slots; ++n) {
        if (!t.isEmpty(n))
            out << QStringLiteral("%1|%2|%3|%4|%5|%6")
                       .arg(n)
                       .arg(t.EntryName(n), t.EntryAddress(n), t.EntryRule(n))
                       .arg(t.EntryParent(n))
                       .arg(t.EntryNname(n));
    }
    const TreeView *nodes = tree(w);
    for (int pos = 1; pos <= nodes->NodeCount(); ++pos)
        out << QStringLiteral("node %1 <%2> #%3").arg(pos).arg(nodes->ParentPosition(pos)).arg(
            nodes->EntryOf(pos));
    return out;
}

} // namespace

// Damaged settings files: loading finishes, keeps what it can read, tells the user once, and
// what it then saves loads back the same.
class TestBadIni : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MsgBoxAnswerer> m_boxes;
    QString m_iniPath;
    int m_files = 0;
    qint64 m_bytes = 0;
    int m_exactEntries = 0;
    int m_told = 0;

    std::unique_ptr<frm_vekmain> start()
    {
        auto w = std::make_unique<frm_vekmain>();
        w->Form_Load();
        return w;
    }
    void writeIni(const QByteArray &bytes)
    {
        QVERIFY(fixtures::writeFile(m_iniPath, bytes));
        ++m_files;
        m_bytes += bytes.size();
    }

    // What holds after any load, whatever the file was.
    void checkLoaded(frm_vekmain &w)
    {
        QVERIFY(w.isEnabled());
        QCOMPARE(driver::selected(w), QStringLiteral("1"));
        const EntryTable &t = w.Entries();
        const TreeView *nodes = tree(w);
        for (int pos = 1; pos <= nodes->NodeCount(); ++pos) {
            const int n = nodes->EntryOf(pos);
            QVERIFY2(EntryTable::isValid(n) && t.isOccupied(n), qPrintable(QString::number(pos)));
            QCOMPARE(nodes->NodeText(pos), t.EntryName(n));
        }
        int occupied = 0;
        for (int n = 1; n <= EntryTable::Slots; ++n) {
            if (t.isEmpty(n))
                continue;
            QVERIFY2(t.isOccupied(n), qPrintable(QStringLiteral("marker kept at %1").arg(n)));
            QVERIFY2(nodes->PositionOfEntry(n) != 0, qPrintable(QStringLiteral("no node for %1").arg(n)));
            ++occupied;
        }
        QCOMPARE(nodes->NodeCount(), occupied);
        QVERIFY(m_boxes->seen().size() <= 1);
    }

    // Every entry with a stored non-zero parent that ended at the top level is named in the
    // one message.
    void checkTold(const frm_vekmain &w)
    {
        static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+$"));
        Profile ini(m_iniPath);
        const EntryTable &t = w.Entries();
        const TreeView *nodes = tree(w);
        QStringList moved;
        for (int n = 1; n <= 99; ++n) {
            if (!t.isOccupied(n))
                continue;
            const std::optional<QString> root = stored(ini, QStringLiteral("root%1").arg(n));
            if (!root || !number.match(root->trimmed()).hasMatch())
                continue;
            const int parent = root->trimmed().toInt();
            if (parent != 0 && parent >= -32768 && parent <= 32767
                && nodes->ParentPosition(nodes->PositionOfEntry(n)) == 0)
                moved << t.EntryName(n);
        }
        if (moved.isEmpty())
            return;
        QCOMPARE(m_boxes->seen().size(), 1);
        for (const QString &name : std::as_const(moved))
            QVERIFY2(m_boxes->texts().constFirst().contains(name), qPrintable(name.left(80)));
    }

    void checkExpected(const frm_vekmain &w, const Case &c)
    {
        const EntryTable &t = w.Entries();
        for (const Entry &e : c.exact) {
            QCOMPARE(t.EntryName(e.n), e.name);
            QCOMPARE(t.EntryAddress(e.n), e.address);
            QCOMPARE(t.EntryRule(e.n), e.rule);
            ++m_exactEntries;
        }
        for (const Entry &e : c.named)
            QCOMPARE(t.EntryName(e.n), e.name);
        if (!c.mayExist.isEmpty()) {
            for (int n = 1; n <= EntryTable::Slots; ++n)
                QVERIFY2(t.isEmpty(n) || c.mayExist.contains(n), qPrintable(QString::number(n)));
        }
        if (c.quiet)
            QCOMPARE(m_boxes->texts(), QStringList());
        if (!c.checkParents)
            return;
        // An entry whose own line and whose parent survived keeps its place in the tree.
        QSet<int> whole;
        for (const Entry &e : c.exact)
            whole.insert(e.n);
        const TreeView *nodes = tree(w);
        for (const Entry &e : c.exact) {
            if (e.parent != 0 && !whole.contains(e.parent))
                continue;
            const int parentPos = nodes->ParentPosition(nodes->PositionOfEntry(e.n));
            QCOMPARE(parentPos ? nodes->EntryOf(parentPos) : 0, e.parent);
        }
    }

    // SAVE, then start again: the same list comes back, and nothing needs telling any more.
    void checkRoundTrip(std::unique_ptr<frm_vekmain> w)
    {
        m_boxes->clear();
        QVERIFY(w->SaveSettings());
        const QStringList saved = snapshot(*w);
        w.reset();
        w = start();
        QCOMPARE(snapshot(*w), saved);
        QCOMPARE(m_boxes->texts(), QStringList());
        checkLoaded(*w);
    }

private slots:
    void initTestCase()
    {
        m_boxes = std::make_unique<MsgBoxAnswerer>();
        m_iniPath = start()->SettingsPath();
    }
    void cleanupTestCase()
    {
        qInfo("damaged settings files tried: %d, %lld bytes in all, %d entries checked exactly, "
              "%d loads told the user",
              m_files, m_bytes, m_exactEntries, m_told);
        m_boxes.reset();
    }
    void init() { m_boxes->clear(); }

    void damagedFileLoads_data()
    {
        QTest::addColumn<int>("damage");
        QTest::addColumn<quint32>("seed");
        for (int d = int(Damage::TruncatedMidLine); d <= int(Damage::FlippedValueBytes); ++d) {
            for (int s = 1; s <= seedsFor(Damage(d)); ++s) {
                const quint32 seed = quint32(d * 1000 + s);
                QTest::addRow("%s, seed %u", damageName(Damage(d)), seed) << d << seed;
            }
        }
    }
    void damagedFileLoads()
    {
        QFETCH(int, damage);
        QFETCH(quint32, seed);
        const Case c = makeCase(Damage(damage), seed);
        writeIni(c.bytes);
        auto w = start();
        m_told += int(m_boxes->seen().size());
        checkLoaded(*w);
        checkTold(*w);
        checkExpected(*w, c);
        checkRoundTrip(std::move(w));
    }

    // Stored parents name entry numbers; only an entry already placed can take children.
    void parentsResolve_data()
    {
        QTest::addColumn<QStringList>("roots");  // ROOT1, ROOT2 ...
        QTest::addColumn<QList<int>>("parents"); // the parent entry each one ends under
        QTest::addColumn<int>("told");

        const auto row = [](const char *name, const QStringList &roots, const QList<int> &parents,
                            int told) { QTest::newRow(name) << roots << parents << told; };
        row("backward chain", {"0", "1", "2", "3", "1"}, {0, 1, 2, 3, 1}, 0);
        row("forward", {"3", "0", "0", "3"}, {0, 0, 0, 3}, 1);
        row("at itself", {"0", "2", "2"}, {0, 0, 2}, 1);
        row("two-cycle", {"0", "4", "0", "2"}, {0, 0, 0, 2}, 1);
        row("three-cycle", {"3", "1", "2"}, {0, 1, 2}, 1);
        row("every entry forward", {"2", "3", "4", "5", "6"}, {0, 0, 0, 0, 0}, 1);
        row("past the last slot", {"0", "100", "150", "32767", "-32768"}, {0, 0, 0, 0, 0}, 1);
        row("over 16 bits", {"0", "65537", "-1"}, {0, 0, 0}, 1);
        row("child of a moved entry stays under it", {"0", "2", "2", "3"}, {0, 0, 2, 3}, 1);
        row("blank-padded and signed", {"0", " 1 ", "+2", "-0"}, {0, 1, 2, 0}, 0);
    }
    void parentsResolve()
    {
        QFETCH(QStringList, roots);
        QFETCH(QList<int>, parents);
        QFETCH(int, told);
        QByteArray bytes = "[DATA]\r\n";
        for (int n = 1; n <= roots.size(); ++n)
            bytes += ansi(QStringLiteral("TEXT%1=項目%1\r\nNIP%1=http://p.test/%1\r\nROOT%1=%2\r\n")
                          .arg(n)
                          .arg(roots[n - 1]));
        writeIni(bytes);
        auto w = start();
        checkLoaded(*w);
        checkTold(*w);
        QCOMPARE(m_boxes->seen().size(), told);
        const TreeView *nodes = tree(*w);
        for (int n = 1; n <= roots.size(); ++n) {
            QCOMPARE(w->Entries().EntryName(n), QStringLiteral("項目%1").arg(n));
            const int parentPos = nodes->ParentPosition(nodes->PositionOfEntry(n));
            QCOMPARE(parentPos ? nodes->EntryOf(parentPos) : 0, parents[n - 1]);
        }
        checkRoundTrip(std::move(w));
    }
};

VEKANTO_TEST_MAIN(TestBadIni)
#include "tst_badini.moc"
