// SPDX-License-Identifier: GPL-3.0-or-later
// The history's core: stored pages read as text in their own charset, line diffs, the list of
// an entry's versions, and the changed marks.

#include "support/core_testmain.h"
#include "support/fixtures.h"

#include "core/history/changed_marks.h"
#include "core/history/line_diff.h"
#include "core/history/page_decoding.h"
#include "core/history/page_history.h"
#include "core/history/visible_text.h"
#include "core/history/word_diff.h"
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

// A line with its marked parts in brackets: "今日は[晴れ]です".
QString bracketed(const QString &line, const QList<history::Span> &marks)
{
    QString shown;
    qsizetype done = 0;
    for (const history::Span &mark : marks) {
        shown += line.mid(done, mark.start - done) + QLatin1Char('[') + line.mid(mark.start, mark.length) + QLatin1Char(']');
        done = mark.start + mark.length;
    }
    return shown + line.mid(done);
}

// A diff as unified lines: "+added", "-removed", " same", changed words in brackets.
QStringList unified(const history::LineDiff &diff)
{
    QStringList lines;
    for (const history::DiffLine &line : diff.lines) {
        const char mark = line.kind == history::LineKind::Added ? '+' : line.kind == history::LineKind::Removed ? '-' : ' ';
        lines << QLatin1Char(mark) + bracketed(line.text, line.marks);
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
    void wordMarks_data();
    void wordMarks();
    void visibleText_data();
    void visibleText();
    void readerSeesAChange_data();
    void readerSeesAChange();
    void sourceLineByLine_data();
    void sourceLineByLine();
    void sideBySidePairsAChange();
    void versionsNewestFirst();
    void storedCopyKeepsItsTimeAndTellsAChange();
    void versionsReadByTheirServersCharset();
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
    // Each removed line is marked against the added line beside it; the rest of a longer side
    // and lines with little in common stay whole.
    QTest::newRow("words marked in the lines of a change")
        << "見出し\n最高気温は25度です。\n午後は晴れます。\n終わり"
        << "見出し\n最高気温は26度です。\n明日も晴れます。\nお知らせはありません。\n終わり" << 3 << 2
        << QStringList{" 見出し", "-最高気温は[25]度です。", "-[午後は]晴れます。", "+最高気温は[26]度です。",
                       "+[明日も]晴れます。", "+お知らせはありません。", " 終わり"};
    QTest::newRow("a line replaced by another") << "雨が降ります。" << "電車は平常どおり運転しています。" << 1 << 1
                                                << QStringList{"-雨が降ります。", "+電車は平常どおり運転しています。"};
}

void TestHistory::diff()
{
    QFETCH(QString, older);
    QFETCH(QString, newer);
    QFETCH(int, added);
    QFETCH(int, removed);
    QFETCH(QStringList, lines);
    history::LineDiff diff = history::DiffLines(history::SplitLines(older), history::SplitLines(newer));
    history::MarkChangedWords(diff);
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

// The changed words of a line and the line that replaced it, in brackets.
void TestHistory::wordMarks_data()
{
    QTest::addColumn<QString>("older");
    QTest::addColumn<QString>("newer");

    QTest::newRow("a sentence changed at the end")
        << "今日の天気は晴れ、午後からは所により[雨]が降るでしょう。"
        << "今日の天気は晴れ、午後からは所により[雪]が降るでしょう。";
    QTest::newRow("a sentence added at the end")
        << "明日は全国的に晴れます。"
        << "明日は全国的に晴れます[が、朝晩は冷え込みますので体調管理にお気をつけください]。";
    QTest::newRow("a word changed in the middle")
        << "山手線は[平常どおり運転し]ています。ご利用ください。"
        << "山手線は[人身事故の影響で一部列車に遅れが出]ています。ご利用ください。";
    QTest::newRow("a number changed") << "東京都の人口は約[1400]万人です。" << "東京都の人口は約[1401]万人です。";
    QTest::newRow("two numbers changed") << "最高 [12]℃ / 最低 [6]℃" << "最高 [11]℃ / 最低 [7]℃";
    QTest::newRow("a price in a table row") << "特急券 [1,290]円 (税込)" << "特急券 [1,340]円 (税込)";
    QTest::newRow("words added with blanks between") << "曇り" << "曇り[ のち 雨]";
    QTest::newRow("English words") << "The quick [brown] fox jumps" << "The quick [red] fox jumps";
    QTest::newRow("two words apart, the blank between them not marked")
        << "Release [6.4] is out, download [now]" << "Release [6.5] is out, download [today]";
    QTest::newRow("two changed words with a kept blank between, marked as one")
        << "The [quick brown] fox jumps over the lazy dog" << "The [slow red] fox jumps over the lazy dog";
    QTest::newRow("only blanks changed") << "a[ ]b" << "a[   ]b";
    QTest::newRow("little in common: no marks") << "本日のお知らせはありません" << "本日は臨時休業いたします";
    QTest::newRow("nothing in common") << "晴れ" << "雨";
    QTest::newRow("from an empty line") << "" << "お知らせ";
    // Past a few thousand words between the first and the last change, the diff would take
    // too long: the whole line is the change.
    const QString middle = QStringLiteral("言葉 ").repeated(6000);
    QTest::newRow("changes far apart in a very long line")
        << "始め a " + middle + "b 終わり" << "始め A " + middle + "B 終わり";
}

void TestHistory::wordMarks()
{
    QFETCH(QString, older);
    QFETCH(QString, newer);
    const auto plain = [](QString text) { return text.remove(QLatin1Char('[')).remove(QLatin1Char(']')); };
    const history::WordMarks marks = history::MarkWords(plain(older), plain(newer));
    QCOMPARE(bracketed(plain(older), marks.older), older);
    QCOMPARE(bracketed(plain(newer), marks.newer), newer);
    // The same pair the other way round is marked the same.
    const history::WordMarks back = history::MarkWords(plain(newer), plain(older));
    QCOMPARE(back.older, marks.newer);
    QCOMPARE(back.newer, marks.older);
}

void TestHistory::visibleText_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("text");
    QTest::newRow("scripts, styles and the title left out")
        << "<html><head><title>題名</title><style>p > b { color: red }</style>"
           "<script>var s = '<p>no</p>'; if (a < b) f();</script></head>"
           "<body><p>見出し</p><script src=\"x.js\"></script><p>本文&amp;続き&nbsp;です</p>"
           "<style>.x{}</style></body></html>"
        << "見出し\n本文&続き です";
    QTest::newRow("blanks at line ends") << "<p>a </p>\n<p>b</p>  \n" << "a\nb";
    // The history read pages through QTextDocument before, which put an empty line after a
    // table that ends a page; the diff never showed it.
    QTest::newRow("lists and tables line by line") << "<ul><li>一</li><li>二</li></ul><table><tr><td>a</td></tr><tr><td>b</td></tr></table>"
                                                  << "一\n二\na\nb";
    QTest::newRow("plain text stays as it is") << "plain text\n  second line\n" << "plain text\n  second line\n";
    QTest::newRow("a page that begins with a comment")
        << "<!-- generated 2026-01-05 --><!DOCTYPE html><html><body><p>本文</p></body></html>" << "本文";
    QTest::newRow("a line of text before the markup") << "Warning: cache stale<br>\n<p>本文</p>" << "Warning: cache stale\n本文";
    QTest::newRow("comments of every form")
        << "<p>a<!-- <p>b</p> -->c<!---->d<!-->e<!--->f<!-- x --!>g<?php echo 1 ?>h<![CDATA[i]]>j</p>"
        << "acdefghj";
    QTest::newRow("a '>' in a quoted attribute") << "<p title=\"a > b\" data-x='<p>'>本文</p>" << "本文";
    QTest::newRow("a '<' that begins no tag") << "<p>a < b, 3<4, </ > x</p>" << "a < b, 3<4, x";
    QTest::newRow("tags in capitals") << "<HTML><BODY><P CLASS=x>一</P><DIV>二</DIV><SCRIPT>x()</SCRIPT></BODY></HTML>"
                                     << "一\n二";
    QTest::newRow("references") << "<p>&lt;b&gt; &quot;&apos; &copy; &#12354;&#x3044;&#X3046; &yen;100 &hellip;</p>"
                               << "<b> \"' © あいう ¥100 …";
    QTest::newRow("references as browsers read them")
        << "<p>&copy2026 &amp &notit; &#150; &#0; &#x110000; &#xD800; &unknown; &#; &#x; & AT&T</p>"
        << "©2026 & ¬it; – \uFFFD \uFFFD \uFFFD &unknown; &#; &#x; & AT&T";
    QTest::newRow("blanks run together, no-break spaces kept")
        << "<p>  一   二\n\t三 <b>四</b> </p><p>&nbsp;&nbsp;字下げ</p>" << "一 二 三 四\n  字下げ";
    QTest::newRow("an ideographic space is text") << "<p>　全角の字下げ</p>" << "　全角の字下げ";
    QTest::newRow("line breaks") << "<p>一<br>二<br/><br>三</br>四</p>" << "一\n二\n\n三\n四";
    QTest::newRow("preformatted text") << "<pre>\n  a  b\n\n\tc  </pre>d<pre>e</pre>" << "  a  b\n\n\tc\nd\ne";
    QTest::newRow("blocks of HTML5") << "<header>上</header><nav>案内</nav><main><article><section>一</section><section>二</section>"
                                       "</article></main><footer>下</footer>"
                                    << "上\n案内\n一\n二\n下";
    QTest::newRow("text after a nested block") << "<div>前<div>中</div>後</div>" << "前\n中\n後";
    QTest::newRow("inline elements stay in the line") << "<p>今日は<a href=\"/x\"><b>晴れ</b></a><img src=sun.png alt=\"太陽\">です</p>"
                                                     << "今日は晴れです";
    QTest::newRow("a template is never shown") << "<p>一</p><template><p>二<template>三</template>四</p></template><p>五</p>"
                                              << "一\n五";
    QTest::newRow("text in the head shows") << "<html><head><meta charset=\"utf-8\">お知らせ<title>題</title></head></html>"
                                           << "お知らせ";
    QTest::newRow("a script hidden in a comment writes a script")
        << "<script><!--\ndocument.write('<script src=\"a.js\"></script>');\n// --></script><p>本文</p>" << "本文";
    QTest::newRow("a script's end tag needs its name whole") << "<script>a = '</scripts>';</script>本文" << "本文";
    QTest::newRow("a text area keeps its text") << "<textarea>\n一  &amp;\n二</textarea>" << "一  &\n二";
    QTest::newRow("a script never ended hides the rest") << "<p>本文</p><script>var x = 1;<p>隠れる</p>" << "本文";
    QTest::newRow("a tag never ended") << "<p>本文</p><p class=\"x" << "本文";
    QTest::newRow("line ends of every kind") << "<pre>a\r\nb\rc\n</pre>" << "a\nb\nc";
    QTest::newRow("a CR written as a reference is a blank") << "<pre>a&#13;b&#x0D;</pre><p>c&#13;d</p>" << "a b\nc d";
}

void TestHistory::visibleText()
{
    QFETCH(QString, page);
    QFETCH(QString, text);
    QCOMPARE(history::VisibleText(page), text);
}

// Whether a reader sees two versions of a page differ: the collapsed visible texts.
void TestHistory::readerSeesAChange_data()
{
    QTest::addColumn<QString>("older");
    QTest::addColumn<QString>("newer");
    QTest::addColumn<bool>("changed");

    const QString page = QStringLiteral(
        "<!DOCTYPE html>\n<html><head><title>運行情報</title><style>p { color: #333 }</style>"
        "<script>var token = \"a1b2\";</script></head>\n<body>\n"
        "  <h1 class=\"title\">運行情報</h1>\n  <!-- rev 41 -->\n"
        "  <table><tr><td>山手線</td><td>平常運転</td></tr></table>\n"
        "  <p>最終更新 10:00</p>\n</body></html>\n");
    const auto with = [&page](const char *from, const char *to) {
        return QString(page).replace(QString::fromUtf8(from), QString::fromUtf8(to));
    };
    QTest::newRow("the same page") << page << page << false;
    QTest::newRow("only a script changed") << page << with("a1b2", "c3d4") << false;
    QTest::newRow("only a style changed") << page << with("#333", "#444") << false;
    QTest::newRow("only a comment changed") << page << with("rev 41", "rev 42") << false;
    QTest::newRow("only an attribute changed") << page << with("class=\"title\"", "class=\"title new\" id=\"t\"") << false;
    QTest::newRow("only whitespace changed") << page << with("\n  ", "\r\n\t\t") << false;
    QTest::newRow("the source on one line") << page << QString(page).remove(QLatin1Char('\n')) << false;
    QTest::newRow("a blank written as a reference") << page << with("最終更新 10:00", "最終更新&nbsp;10:00") << false;
    QTest::newRow("a character written as a reference") << page << with("平常運転", "平常&#36939;転") << false;
    QTest::newRow("only the title changed") << page << with("<title>運行情報", "<title>運行情報（臨時）") << false;
    QTest::newRow("the text changed") << page << with("平常運転", "遅延") << true;
    QTest::newRow("a time in the text changed") << page << with("最終更新 10:00", "最終更新 10:05") << true;
    QTest::newRow("words run together") << page << with("最終更新 10:00", "最終更新10:00") << true;
    QTest::newRow("text hidden in a comment") << page << with("<p>最終更新", "<!--<p>-->最終更新") << false;
    QTest::newRow("a script's text shown") << page << with("<script>", "<p>") << true;
}

void TestHistory::readerSeesAChange()
{
    QFETCH(QString, older);
    QFETCH(QString, newer);
    QFETCH(bool, changed);
    const QString before = history::CollapsedText(history::VisibleText(older));
    const QString after = history::CollapsedText(history::VisibleText(newer));
    QVERIFY2((before != after) == changed, qPrintable(before + QLatin1String(" | ") + after));
    QVERIFY(!before.contains(QLatin1String("  ")));
    QCOMPARE(history::CollapsedText(before), before);
}

// 「HTML のソースで比較」: a line before each block's tag and each <br>, so a page on one line
// compares line by line.
void TestHistory::sourceLineByLine_data()
{
    QTest::addColumn<QString>("older");
    QTest::addColumn<QString>("newer");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("a page on one line")
        << "<html><body><h1>お知らせ</h1><p>一つ目</p><ul><li>a</li><li>b</li></ul>二行目<br>三行目</body></html>"
        << "<html><body><h1>お知らせ</h1><p>一つ目です</p><ul><li>a</li><li>b</li></ul>二行目<br>三行目</body></html>"
        << QStringList{" <html>", " <body>", " <h1>お知らせ</h1>", "-<p>一つ目</p>", "+<p>一つ目[です]</p>",
                       " <ul>", " <li>a</li>", " <li>b</li></ul>二行目", " <br>三行目</body></html>"};
    QTest::newRow("tags that begin their lines stay")
        << "<div>\n  <p>a</p>\n  <P class=x>b</P>\n</div>" << "<div>\n  <p>a</p>\n  <P class=x>c</P>\n</div>"
        << QStringList{" <div>", "   <p>a</p>", "-  <P class=x>[b]</P>", "+  <P class=x>[c]</P>", " </div>"};
    QTest::newRow("inline tags, scripts and comments are not broken")
        << "<p>a <b>b</b> <a href=x>c</a><!-- <div> --><script>s = '<div>';</script><br/>d</p>"
        << "<p>a <b>b</b> <a href=x>c</a><!-- <div> --><script>s = '<div>';</script><br/>e</p>"
        << QStringList{" <p>a <b>b</b> <a href=x>c</a><!-- <div> --><script>s = '<div>';</script>", "-<br/>[d]</p>",
                       "+<br/>[e]</p>"};
    QTest::newRow("text that is no HTML") << "価格 < 100 円\n<p>a<p>b" << "価格 < 100 円\n<p>a<p>c"
                                          << QStringList{" 価格 < 100 円", "-<p>a<p>[b]", "+<p>a<p>[c]"};
}

void TestHistory::sourceLineByLine()
{
    QFETCH(QString, older);
    QFETCH(QString, newer);
    QFETCH(QStringList, lines);
    history::LineDiff diff = history::DiffLines(history::SplitLines(history::BreakBeforeBlocks(older)),
                                                history::SplitLines(history::BreakBeforeBlocks(newer)));
    history::MarkChangedWords(diff);
    QCOMPARE(unified(diff), lines);
    // Only line ends are put in.
    QCOMPARE(history::BreakBeforeBlocks(older).remove(QLatin1Char('\n')), QString(older).remove(QLatin1Char('\n')));
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

// Each stored version is read by the Content-Type its own server sent with it, which the page
// store keeps by the page's hash; a version it has none for is read as any page is.
void TestHistory::versionsReadByTheirServersCharset()
{
    QTemporaryDir data;
    // Half-width katakana and kanji without a kana: beyond a guess (see decode_data).
    const QString sale = QStringLiteral("<p>ﾃﾞｼﾞﾀﾙｶﾒﾗ新製品!</p>");
    const QByteArray sjis = encode(sale, "windows-31j");
    const QByteArray euc = encode(sale, "EUC-JP");
    const QString name = QStringLiteral("shop");
    pagestore::StorePage(data.path(), name, QDate(2026, 1, 4), {.body = sjis, .contentType = "text/html; charset=Shift_JIS"});
    pagestore::StorePage(data.path(), name, QDate(2026, 1, 5), {.body = euc, .contentType = "text/html; charset=EUC-JP"});
    // A copy from before its Content-Type was kept.
    touch(data.path() + "/shop/20260103/vek.htm", encode(QStringLiteral("<p>ﾃﾞｼﾞﾀﾙｶﾒﾗ新製品!!</p>"), "windows-31j"),
          QDateTime(QDate(2026, 1, 3), QTime(6, 0)));

    const QHash<QByteArray, QByteArray> types = pagestore::ServedTypes(data.path(), name);
    QStringList read;
    for (const history::Version &v : history::Versions(data.path(), name)) {
        const history::PageText page = history::DecodeVersion(readFile(v.path), types);
        read << v.label + u' '
                    + (page.text.contains(QStringLiteral("ﾃﾞｼﾞﾀﾙｶﾒﾗ新製品")) ? page.charset.toLower() : QStringLiteral("misread"));
    }
    QCOMPARE(read, (QStringList{"vek.htm euc-jp", "20260105/vek.htm windows-31j", "20260103/vek.htm misread"}));
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
