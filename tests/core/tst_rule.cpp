// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/core_testmain.h"

#include "core/run/address_rule.h"
#include "platform/clock.h"

class TestRule : public QObject
{
    Q_OBJECT

private slots:
    void init() { vclock::setNow(QDateTime(QDate(2002, 3, 5), QTime(12, 0))); }
    void cleanup() { vclock::reset(); }

    void expand_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("expected");

        struct Row {
            const char *name;
            const char16_t *rule;
            const char16_t *expected;
        };
        const Row rows[] = {
            {"padded date file", u"%0y%0m%0d.html", u"20020305.html"},
            {"short tokens", u"%y%m%d", u"0235"},
            {"tokens in a path", u"news/%0y/%0m%0d.htm", u"news/2002/0305.htm"},
            {"letters outside tokens stay", u"d%dm%m", u"d5m3"},
            {"zero outside token stays", u"0%d0", u"050"},
            {"trailing percent", u"100%", u"100"},
            {"double percent drops both", u"a%%b", u"ab"},
            {"percent zero unknown letter", u"%0x1", u"1"},
            {"unknown then percent zero at end", u"%x%0", u""},
            {"percent percent d", u"%%d", u"d"},
            {"percent zero percent d", u"%0%d", u"d"},
            {"empty rule", u"", u""},
            {"blank after percent dropped", u"a% b", u"ab"},
            {"blanks pass through", u" %d ", u" 5 "},
            {"japanese passes through", u"ニュース/%0m月%0d日", u"ニュース/03月05日"},
            {"japanese after percent dropped", u"%日%d", u"5"},
            {"japanese after percent zero dropped", u"%0日x", u"x"},
            {"surrogate pair after percent dropped whole", u"%\U00020BB7x", u"x"},
            {"surrogate pair passes through", u"\U00020BB7%d", u"\U00020BB75"},
            {"full-width letter is no token", u"%ｄ", u""},
            {"full-width upper letter is no token", u"%0Ｙx", u"x"},
            {"query string", u"http://e.jp/?d=%0d&m=%m", u"http://e.jp/?d=05&m=3"},
            // Upper-case letters are tokens too, for the download and the preview alike.
            {"upper D", u"%D", u"5"},
            {"upper M", u"%M", u"3"},
            {"upper Y", u"%Y", u"02"},
            {"upper 0D", u"%0D", u"05"},
            {"upper 0M", u"%0M", u"03"},
            {"upper 0Y", u"%0Y", u"2002"},
            {"mixed case path", u"a/%0Y%0m/%D.htm", u"a/200203/5.htm"},
            {"upper letters outside tokens stay", u"D%0YM", u"D2002M"},
            {"upper unknown letter dropped", u"%X%0Xa", u"a"},
        };
        for (const Row &row : rows)
            QTest::newRow(row.name) << QString::fromUtf16(row.rule) << QString::fromUtf16(row.expected);
    }

    void expand()
    {
        QFETCH(QString, rule);
        QFETCH(QString, expected);
        QCOMPARE(ExpandRule(rule), expected);
    }

    void dateValues_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("expected");
        QTest::newRow("single digits") << QDate(2009, 1, 2) << "09 1 2 / 2009 01 02";
        QTest::newRow("double digits") << QDate(2024, 12, 31) << "24 12 31 / 2024 12 31";
        QTest::newRow("year 2000") << QDate(2000, 10, 10) << "00 10 10 / 2000 10 10";
    }

    void dateValues()
    {
        QFETCH(QDate, date);
        QFETCH(QString, expected);
        vclock::setNow(QDateTime(date, QTime(9, 0)));
        QCOMPARE(ExpandRule(QStringLiteral("%y %m %d / %0y %0m %0d")), expected);
    }

    // Positions once were 16-bit and broke on rules of 32,767 characters and more.
    void veryLongRule()
    {
        const QString filler(40000, QLatin1Char('a'));
        const QString rule = filler + QStringLiteral("%0d") + filler + QStringLiteral("%y");
        const QString expected = filler + QStringLiteral("05") + filler + QStringLiteral("02");
        QCOMPARE(ExpandRule(rule), expected);
    }
};

VEKANTO_CORE_TEST_MAIN(TestRule)
#include "tst_rule.moc"
