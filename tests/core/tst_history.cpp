// The history's core: stored pages read as text in their own charset, line diffs, the list of
// an entry's versions, and the changed marks.

#include "support/core_testmain.h"
#include "support/fixtures.h"

#include "core/history/changed_marks.h"
#include "core/history/line_diff.h"
#include "core/history/page_decoding.h"
#include "core/history/page_history.h"
#include "core/store/page_store.h"

#include <unicode/ucnv.h>

#include <QDir>
#include <QTemporaryDir>

using namespace fixtures;

namespace {

// Enough Japanese for the charset detector to tell the encodings apart.
const QString Body = QStringLiteral(
    "今日の天気は晴れのち曇り、午後からは所により雨が降るでしょう。"
    "最高気温は二十五度、最低気温は十八度の見込みです。"
    "明日は全国的に晴れますが、朝晩は冷え込みますので体調管理にお気をつけください。");

QByteArray encode(const QString &text, const char *charset)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out(utf8.size() * 4 + 16, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_convert(charset, "UTF-8", out.data(), int32_t(out.size()), utf8.constData(),
                                   int32_t(utf8.size()), &status);
    if (U_FAILURE(status))
        qFatal("cannot encode in %s", charset);
    out.truncate(n);
    return out;
}

QByteArray page(const QString &head, const QString &body, const char *charset)
{
    return encode(QStringLiteral("<html><head>%1<title>天気</title></head><body><p>%2</p></body></html>\n")
                      .arg(head, body),
                  charset);
}

// A diff as unified lines: "+added", "-removed", " same".
QStringList unified(const history::LineDiff &diff)
{
    QStringList lines;
    for (const history::DiffLine &line : diff.lines) {
        const char mark = line.kind == history::LineKind::Added ? '+' : line.kind == history::LineKind::Removed ? '-' : ' ';
        lines << QLatin1Char(mark) + line.text;
    }
    return lines;
}

void touch(const QString &path, const QByteArray &bytes, const QDateTime &when)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(writeFile(path, bytes));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void diff_data();
    void diff();
    void sideBySidePairsAChange();
    void versionsNewestFirst();
    void storedCopyKeepsItsTimeAndTellsAChange();
    void marksByNameAcrossFaces();
};

void TestHistory::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("contentType"); // as the server sent it; empty: unknown
    QTest::addColumn<QString>("charset");
    QTest::addColumn<QString>("text"); // found in the decoded text
    const auto row = [](const QString &name, const QByteArray &bytes, const QString &charset, const QString &text,
                        const QByteArray &contentType = {}) {
        QTest::newRow(qPrintable(name)) << bytes << contentType << charset << text;
    };

    const QString metaCharset = QStringLiteral("<meta charset=\"%1\">");
    const QString httpEquiv = QStringLiteral("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=%1\">");
    row("Shift_JIS, meta charset", page(metaCharset.arg("Shift_JIS"), Body, "windows-31j"), "windows-31j", Body);
    row("Shift_JIS, http-equiv", page(httpEquiv.arg("x-sjis"), Body, "windows-31j"), "windows-31j", Body);
    row("Shift_JIS, no meta", page({}, Body, "windows-31j"), "windows-31j", Body);
    // Read as browsers read Shift_JIS: with Microsoft's extensions.
    row("Shift_JIS with NEC characters", page(metaCharset.arg("shift_jis"), QStringLiteral("①㈱～") + Body, "windows-31j"),
        "windows-31j", QStringLiteral("①㈱～"));
    row("EUC-JP, meta charset", page(metaCharset.arg("EUC-JP"), Body, "EUC-JP"), "EUC-JP", Body);
    row("EUC-JP, http-equiv", page(httpEquiv.arg("euc-jp"), Body, "EUC-JP"), "euc-jp", Body);
    row("EUC-JP, no meta", page({}, Body, "EUC-JP"), "EUC-JP", Body);
    row("ISO-2022-JP, http-equiv", page(httpEquiv.arg("iso-2022-jp"), Body, "ISO-2022-JP"), "iso-2022-jp", Body);
    row("ISO-2022-JP, no meta", page({}, Body, "ISO-2022-JP"), "ISO-2022-JP", Body);
    row("UTF-8, meta charset", page(metaCharset.arg("utf-8"), Body, "UTF-8"), "utf-8", Body);
    row("UTF-8, no meta", page({}, Body, "UTF-8"), "UTF-8", Body);
    row("UTF-8, meta after a long head", page(QString(3000, u' ') + metaCharset.arg("UTF-8"), Body, "UTF-8"), "UTF-8", Body);
    // The byte-order mark outweighs what the page says.
    row("UTF-8 with BOM, meta says Shift_JIS", "\xEF\xBB\xBF" + page(metaCharset.arg("Shift_JIS"), Body, "UTF-8"), "UTF-8",
        QStringLiteral("<html>"));
    // NUL bytes throughout, yet text: the mark says so before any look for binary bytes.
    row("UTF-16LE with BOM", "\xFF\xFE" + page(metaCharset.arg("utf-16"), Body, "UTF-16LE"), "UTF-16LE", Body);
    row("UTF-16BE with BOM", "\xFE\xFF" + page({}, Body, "UTF-16BE"), "UTF-16BE", Body);
    row("unknown charset named: guessed", page(metaCharset.arg("x-no-such"), Body, "EUC-JP"), "EUC-JP", Body);
    row("PNG image", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), QString(), QString());

    // What the server said counts where the page says nothing. These 42 bytes, half-width katakana
    // and kanji without a kana, are beyond a guess.
    const QString sale = QStringLiteral("ﾃﾞｼﾞﾀﾙｶﾒﾗ新製品!");
    const QString tiny = QStringLiteral("<html><body>%1</body></html>");
    row("Shift_JIS, charset in Content-Type", encode(tiny.arg(sale), "windows-31j"), "windows-31j", sale,
        "text/html; charset=Shift_JIS");
    row("Content-Type charset quoted, after another parameter", encode(QStringLiteral("<p>%1</p>").arg(sale), "EUC-JP"),
        "euc-jp", sale, "Text/HTML; q=0.9; Charset=\"euc-jp\"");
    row("meta outweighs Content-Type", page(metaCharset.arg("EUC-JP"), Body, "EUC-JP"), "EUC-JP", Body,
        "text/html; charset=Shift_JIS");
    row("BOM outweighs meta and Content-Type", "\xEF\xBB\xBF" + page(metaCharset.arg("Shift_JIS"), Body, "UTF-8"), "UTF-8",
        Body, "text/html; charset=EUC-JP");
    row("unknown charset in Content-Type: guessed", page({}, Body, "EUC-JP"), "EUC-JP", Body,
        "text/html; charset=x-no-such");

    // Short paragraphs with no charset named anywhere, too short for the detector's statistics:
    // a Japanese reading in which the bytes are valid wins over a Western guess.
    const QStringList paragraphs{
        QStringLiteral("Ctrl+C で処理を中断できます。"),
        QStringLiteral("終了コードは 0 です。"),
        QStringLiteral("詳しくは man 1 ls を参照。"),
        QStringLiteral("円相場は 1 ドル 150 円台。"),
        QStringLiteral("最新版は Version 2.3 です。"),
        QStringLiteral("本日10時、新製品発表。"),
        QStringLiteral("台風5号は沖縄の南を北上中です。"),
        QStringLiteral("明日は全国的に雨でしょう。"),
    };
    for (const char *charset : {"windows-31j", "EUC-JP", "ISO-2022-JP", "UTF-8"}) {
        for (const QString &text : paragraphs)
            row(QStringLiteral("%1: %2").arg(QLatin1String(charset), text), encode(text, charset), QLatin1String(charset),
                text);
    }
    // Kanji alone: a heading, or figures the detector has no better guess for.
    const QString heading = QStringLiteral("東京都議会議員選挙");
    const QString figures = QStringLiteral("東京25度大阪27度");
    row("Shift_JIS, a heading of kanji", encode(tiny.arg(heading), "windows-31j"), "windows-31j", heading);
    row("EUC-JP, kanji and figures", encode(tiny.arg(figures), "EUC-JP"), "EUC-JP", figures);
    // Half-width katakana: in Shift_JIS they are what a Western page's capitals become, yet the
    // kana tell; EUC-JP writes them with a byte of its own, and read as Shift_JIS they are kanji.
    const QString campaign = QStringLiteral("ｷｬﾝﾍﾟｰﾝ実施中です");
    const QString maintenance = QStringLiteral("ﾒﾝﾃﾅﾝｽ 10:00-12:00");
    row("Shift_JIS, half-width katakana", encode(campaign, "windows-31j"), "windows-31j", campaign);
    row("EUC-JP, half-width katakana", encode(maintenance, "EUC-JP"), "EUC-JP", maintenance);
    // A long English page in UTF-8 with an accent here and there, one of them cut where the guess
    // stops reading (256 KB in).
    QByteArray english = QByteArrayLiteral("<p>The caf\xC3\xA9 opens at nine.</p>\n");
    while (english.size() < 256 * 1024 - 1)
        english += "<p>The shop opens at nine and closes at six.</p>\n";
    english = english.left(256 * 1024 - 1) + "\xC3\xA9</p>\n<p>Caf\xC3\xA9 cr\xC3\xA8me.</p>\n";
    row("UTF-8, long page, a character cut by the guess", english, "UTF-8", QStringLiteral("Café crème."));
    // Mostly English, a word of Japanese: its escapes make it ISO-2022-JP.
    const QString fox = QStringLiteral("The quick brown fox jumps over the lazy dog and runs into the forest: 狐");
    row("ISO-2022-JP, mostly English", encode(fox, "ISO-2022-JP"), "ISO-2022-JP", fox);

    // Other text stays what it is, though most of these bytes are valid Shift_JIS or EUC-JP too,
    // and UTF-8 with few accents is no Latin-1.
    const struct {
        const char *encodedAs;
        QString text;
        const char *charset;
    } others[] = {
        {"windows-1252", QStringLiteral("Le garçon préfère la fenêtre."), "windows-1252"},
        {"windows-1252", QStringLiteral("Das Mädchen hört gern Musik."), "windows-1252"},
        {"windows-1252", QStringLiteral("Klicken Sie auf ‚Öffnen‘ und dann auf ‚Übernehmen‘."), "windows-1252"},
        {"ISO-8859-1", QStringLiteral("¿Cuántos niños hay en la clase?"), "windows-1252"},
        {"windows-1252", QStringLiteral("It’s Tom’s car."), "windows-1252"},
        {"ISO-8859-2", QStringLiteral("Łódź leży w centrum Polski."), "ISO-8859-2"},
        {"windows-1250", QStringLiteral("Świętokrzyskie góry są piękne."), "windows-1250"},
        {"KOI8-R", QStringLiteral("данные описания получены"), "KOI8-R"},
        {"EUC-KR", QStringLiteral("내일은 전국에 비가 내리겠습니다."), "EUC-KR"},
        {"UTF-8", QStringLiteral("La réunion de demain est annulée."), "UTF-8"},
        {"UTF-8", QStringLiteral("El museo está cerrado los lunes."), "UTF-8"},
    };
    for (const auto &other : others) {
        row(QStringLiteral("%1: %2").arg(QLatin1String(other.encodedAs), other.text), encode(other.text, other.encodedAs),
            QLatin1String(other.charset), other.text);
    }
}

void TestHistory::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, charset);
    QFETCH(QString, text);
    const history::PageText page = history::DecodePage(bytes, contentType);
    QCOMPARE(page.binary, charset.isEmpty());
    QCOMPARE(page.charset, charset);
    QVERIFY2(page.text.contains(text), qPrintable(page.text.left(200)));
    QVERIFY(!page.text.startsWith(QChar(0xFEFF)));
}

void TestHistory::diff_data()
{
    QTest::addColumn<QString>("older");
    QTest::addColumn<QString>("newer");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("removed");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("same") << "a\nb\n" << "a\nb\n" << 0 << 0 << QStringList{" a", " b"};
    QTest::newRow("other line ends only") << "a\r\nb\r\n" << "a\nb" << 0 << 0 << QStringList{" a", " b"};
    QTest::newRow("one line changed") << "a\nb\nc\n" << "a\nB\nc\n" << 1 << 1 << QStringList{" a", "-b", "+B", " c"};
    QTest::newRow("line added at the end") << "a\nb" << "a\nb\nc" << 1 << 0 << QStringList{" a", " b", "+c"};
    QTest::newRow("line removed at the start") << "x\na\nb" << "a\nb" << 0 << 1 << QStringList{"-x", " a", " b"};
    QTest::newRow("from nothing") << "" << "a\nb" << 2 << 0 << QStringList{"+a", "+b"};
    QTest::newRow("to nothing") << "a\nb" << "" << 0 << 2 << QStringList{"-a", "-b"};
    QTest::newRow("both empty") << "" << "" << 0 << 0 << QStringList{};
    QTest::newRow("repeated lines") << "x\nx\ny\nx" << "x\ny\nx\nx" << 1 << 1
                                    << QStringList{" x", "-x", " y", " x", "+x"};
    QTest::newRow("two changes") << "1\n2\n3\n4\n5\n6" << "1\n2b\n3\n4\n5\n6b\n7" << 3 << 2
                                 << QStringList{" 1", "-2", "+2b", " 3", " 4", " 5", "-6", "+6b", "+7"};
}

void TestHistory::diff()
{
    QFETCH(QString, older);
    QFETCH(QString, newer);
    QFETCH(int, added);
    QFETCH(int, removed);
    QFETCH(QStringList, lines);
    const history::LineDiff diff = history::DiffLines(history::SplitLines(older), history::SplitLines(newer));
    QCOMPARE(unified(diff), lines);
    QCOMPARE(diff.added, added);
    QCOMPARE(diff.removed, removed);
    // Every line keeps its number in the text it comes from.
    for (const history::DiffLine &line : diff.lines) {
        if (line.oldNumber)
            QCOMPARE(history::SplitLines(older).at(line.oldNumber - 1), line.text);
        if (line.newNumber)
            QCOMPARE(history::SplitLines(newer).at(line.newNumber - 1), line.text);
    }
}

// Removed and added lines of one change sit side by side; the longer side runs on alone.
void TestHistory::sideBySidePairsAChange()
{
    const history::LineDiff diff =
        history::DiffLines({"a", "b", "c", "d"}, {"a", "B", "C", "X", "d"});
    QStringList rows;
    for (const history::SideBySideRow &row : history::SideBySide(diff)) {
        rows << (row.left < 0 ? QString() : diff.lines.at(row.left).text) + QLatin1Char('|')
                    + (row.right < 0 ? QString() : diff.lines.at(row.right).text);
    }
    QCOMPARE(rows, (QStringList{"a|a", "b|B", "c|C", "|X", "d|d"}));
}

// An entry folder in another letter case, with same-day copies numbered as they were made and
// folders and files that are no versions.
void TestHistory::versionsNewestFirst()
{
    QTemporaryDir data;
    const QString folder = data.path() + QLatin1String("/Weather");
    const QDateTime t0(QDate(2026, 1, 4), QTime(6, 0));
    touch(folder + "/20260104/vek.htm", "one", t0);
    touch(folder + "/20260105/vek-1.htm", "two", t0.addDays(1));
    touch(folder + "/20260105/vek-2.htm", "two", t0.addDays(1).addSecs(3600));
    touch(folder + "/20260105/vek.htm", "three!", t0.addDays(1).addSecs(7200));
    touch(folder + "/vek.htm", "three?", t0.addDays(2));
    touch(folder + "/20260105/vek-01.htm", "not ours", t0);
    touch(folder + "/20260105/notes.htm", "not ours", t0);
    touch(folder + "/20261399/vek.htm", "no date", t0);
    touch(folder + "/backup/vek.htm", "not dated", t0);

    QStringList seen;
    for (const history::Version &v : history::Versions(data.path(), QStringLiteral("weather"))) {
        seen << QStringLiteral("%1 %2 %3 %4").arg(v.label, v.stored.toString(QStringLiteral("dd hh")))
                    .arg(v.size)
                    .arg(v.sameAsOlder ? "same" : "-");
    }
    QCOMPARE(seen, (QStringList{"vek.htm 06 06 6 -", "20260105/vek.htm 05 08 6 -", "20260105/vek-2.htm 05 07 3 same",
                                "20260105/vek-1.htm 05 06 3 -", "20260104/vek.htm 04 06 3 -"}));
    QVERIFY(history::Versions(data.path(), QStringLiteral("rain")).isEmpty());
}

// The dated copy keeps the time its page was stored; the store tells whether the page it
// replaced held other bytes.
void TestHistory::storedCopyKeepsItsTimeAndTellsAChange()
{
    QTemporaryDir data;
    const QString page = data.path() + QLatin1String("/news/vek.htm");
    const QDate today(2026, 1, 5);
    const QString dated = data.path() + QLatin1String("/news/20260105/");
    const QDateTime stored(QDate(2026, 1, 4), QTime(6, 0, 0));
    touch(page, "first", stored);

    pagestore::Stored result = pagestore::StorePage(data.path(), QStringLiteral("news"), today, "second");
    QCOMPARE(result.failure, pagestore::Failure::None);
    QVERIFY(result.changed);
    QCOMPARE(QFileInfo(dated + "vek.htm").lastModified(), stored);

    result = pagestore::StorePage(data.path(), QStringLiteral("news"), today, "second");
    QVERIFY(!result.changed);
    QCOMPARE(readFile(dated + "vek-1.htm"), QByteArray("first"));
    // The same length is no proof of the same page.
    QVERIFY(pagestore::StorePage(data.path(), QStringLiteral("news"), today, "secont").changed);
    QVERIFY(pagestore::StorePage(data.path(), QStringLiteral("news"), today, "secont!").changed);
    QVERIFY(!pagestore::StorePage(data.path(), QStringLiteral("fresh"), today, "new").changed);
}

// Marks are names: two faces over one settings file share them, neither loses the other's,
// and a name in another letter case is the same entry.
void TestHistory::marksByNameAcrossFaces()
{
    QTemporaryDir folder;
    const QString settings = folder.path() + QLatin1String("/vek.ini");
    ChangedMarks window(settings);
    ChangedMarks unattended(settings);
    QCOMPARE(window.path(), folder.path() + QLatin1String("/vek-changed.txt"));

    window.mark(QStringLiteral("ニュース"));
    QString error;
    unattended.mark(QStringLiteral("Weather"));
    QVERIFY(unattended.write(&error));
    QVERIFY(window.isMarked(QStringLiteral("ニュース")));
    QVERIFY(window.write(&error));
    QCOMPARE(readFile(window.path()), QStringLiteral("Weather\nニュース\n").toUtf8());

    QVERIFY(unattended.clear(QStringLiteral("WEATHER"), &error));
    window.reload();
    QVERIFY(!window.isMarked(QStringLiteral("weather")));
    QVERIFY(window.isMarked(QStringLiteral("ニュース")));
    QVERIFY(!window.isMarked(QStringLiteral("ニュース2")));
}

VEKANTO_CORE_TEST_MAIN(TestHistory)
#include "tst_history.moc"
