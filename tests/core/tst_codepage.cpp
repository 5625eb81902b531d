// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/codepage.h"

#include "support/core_testmain.h"

#include <QRandomGenerator>

class TestCodepage : public QObject
{
    Q_OBJECT

private slots:
    void encodes_data();
    void encodes();
    void decodesExtraBytes_data();
    void decodesExtraBytes();
    void substitutesOutsideCodepage_data();
    void substitutesOutsideCodepage();
    void invalidBytes_data();
    void invalidBytes();
    void controlCharacters();
    void empty();
    void everyDoubleByteDecodesAndRoundTrips();
    void randomBytesDoNotCrash();
};

void TestCodepage::encodes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ascii") << QStringLiteral("abc XYZ 019") << QByteArray("abc XYZ 019");
    // Windows' CP932 keeps 0x5C and 0x7E as backslash and tilde (not yen and overline).
    QTest::newRow("backslash and tilde") << QStringLiteral("C:\\dir\\~x") << QByteArray("C:\\dir\\~x");
    QTest::newRow("hiragana") << QStringLiteral("あいう") << QByteArray("\x82\xA0\x82\xA2\x82\xA4");
    QTest::newRow("trail byte 0x5C") << QStringLiteral("表ソ能")
                                     << QByteArray("\x95\x5C\x83\x5C\x94\x5C");
    QTest::newRow("trail bytes that look like letters")
        << QStringLiteral("アヂフト") << QByteArray("\x83\x41\x83\x61\x83\x74\x83\x67");
    QTest::newRow("trail bytes that look like brackets")
        << QStringLiteral("[ゾーン]") << QByteArray("[\x83\x5D\x81\x5B\x83\x93]");
    QTest::newRow("half-width katakana") << QStringLiteral("ｱｲｳﾞ") << QByteArray("\xB1\xB2\xB3\xDE");
    QTest::newRow("NEC row 13 characters") << QStringLiteral("①㈱№") << QByteArray("\x87\x40\x87\x8A\x87\x82");
    QTest::newRow("wave dash as Windows maps it") << QStringLiteral("～") << QByteArray("\x81\x60");
    QTest::newRow("full-width minus as Windows maps it") << QStringLiteral("－") << QByteArray("\x81\x7C");
    QTest::newRow("mixed") << QStringLiteral("[表示]ソフト=能力 abc")
                           << QByteArray("[\x95\x5C\x8E\xA6]\x83\x5C\x83\x74\x83\x67=\x94\x5C\x97\xCD abc");
}

void TestCodepage::encodes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(codepage::toAnsi(text), bytes);
    QCOMPARE(codepage::fromAnsi(bytes), text);
    QCOMPARE(codepage::roundTrip(text), text);
}

void TestCodepage::decodesExtraBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    // The same character sits in both the NEC-selected and the IBM extension rows.
    QTest::newRow("IBM extension") << QByteArray("\xFB\xFC") << QStringLiteral("髙");
    QTest::newRow("NEC-selected IBM extension") << QByteArray("\xEE\xE0") << QStringLiteral("髙");
    QTest::newRow("user-defined area") << QByteArray("\xF0\x40") << QString(QChar(0xE000));
}

void TestCodepage::decodesExtraBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(codepage::fromAnsi(bytes), text);
    QCOMPARE(codepage::roundTrip(text), text);
}

void TestCodepage::substitutesOutsideCodepage_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("back");

    QTest::newRow("emoji is one question mark, not two")
        << QStringLiteral("a\U0001F600b") << QByteArray("a?b") << QStringLiteral("a?b");
    QTest::newRow("hangul") << QStringLiteral("xㅎ한y") << QByteArray("x??y") << QStringLiteral("x??y");
    QTest::newRow("latin with accent") << QStringLiteral("café") << QByteArray("caf?")
                                       << QStringLiteral("caf?");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?") << QStringLiteral("?");
    QTest::newRow("replacement character") << QString(QChar(0xFFFD)) << QByteArray("?")
                                           << QStringLiteral("?");
    QTest::newRow("between Japanese") << QStringLiteral("表😀示") << QByteArray("\x95\x5C?\x8E\xA6")
                                      << QStringLiteral("表?示");
}

void TestCodepage::substitutesOutsideCodepage()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, back);
    QCOMPARE(codepage::toAnsi(text), bytes);
    QCOMPARE(codepage::roundTrip(text), back);
}

void TestCodepage::invalidBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    const QChar bad(0xFFFD);
    QTest::newRow("0x80") << QByteArray("a\x80" "b") << QStringLiteral("a") + bad + QStringLiteral("b");
    QTest::newRow("0xA0") << QByteArray("\xA0") << QString(bad);
    QTest::newRow("0xFD 0xFE 0xFF") << QByteArray("\xFD\xFE\xFF") << QString(3, bad);
    QTest::newRow("lead byte at the end") << QByteArray("a\x81") << QStringLiteral("a") + bad;
    QTest::newRow("lead byte before a blank keeps the blank")
        << QByteArray("\x81 x") << QString(bad) + QStringLiteral(" x");
    QTest::newRow("lead byte before CR LF keeps the line end")
        << QByteArray("\x81\r\nx") << QString(bad) + QStringLiteral("\r\nx");
    QTest::newRow("unassigned double byte") << QByteArray("\x85\x40") << QString(bad);
    QTest::newRow("NUL is a character") << QByteArray("a\0b", 3) << QString::fromUtf16(u"a\0b", 3);
}

void TestCodepage::invalidBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(codepage::fromAnsi(bytes), text);
}

// Windows maps every control character to itself; an IBM table swaps 0x1A, 0x1C and 0x7F.
void TestCodepage::controlCharacters()
{
    QByteArray bytes;
    QString text;
    for (int c = 0; c < 0x20; ++c) {
        bytes.append(char(c));
        text.append(QChar(c));
    }
    bytes.append('\x7F');
    text.append(QChar(0x7F));
    QCOMPARE(codepage::fromAnsi(bytes), text);
    QCOMPARE(codepage::toAnsi(text), bytes);
}

void TestCodepage::empty()
{
    QVERIFY(codepage::toAnsi(QString()).isEmpty());
    QVERIFY(codepage::toAnsi(QStringLiteral("")).isEmpty());
    QVERIFY(codepage::fromAnsi(QByteArray()).isEmpty());
}

// Every two-byte input decodes to something (nothing dropped), and every character the code
// page yields encodes to bytes that decode to that same character again.
void TestCodepage::everyDoubleByteDecodesAndRoundTrips()
{
    int characters = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0; trail <= 0xFF; ++trail) {
            QByteArray bytes;
            bytes.append(char(lead)).append(char(trail));
            const QString text = codepage::fromAnsi(bytes);
            QVERIFY2(!text.isEmpty() && text.size() <= 2, bytes.toHex().constData());
            if (text.size() != 1 || text.at(0) == QChar(0xFFFD))
                continue;
            ++characters;
            const QByteArray again = codepage::toAnsi(text);
            QVERIFY2(again != "?", bytes.toHex().constData());
            QVERIFY2(codepage::fromAnsi(again) == text, bytes.toHex().constData());
        }
    }
    // JIS X 0208, the NEC and IBM rows and the user-defined area: well over 9000.
    QVERIFY2(characters > 9000, QByteArray::number(characters).constData());
}

void TestCodepage::randomBytesDoNotCrash()
{
    QRandomGenerator rng(932);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(1 + int(rng.bounded(4000)), Qt::Uninitialized);
        for (char &b : bytes)
            b = char(rng.bounded(256));
        const QString text = codepage::fromAnsi(bytes);
        QVERIFY(!text.isEmpty());
        QVERIFY(text.size() <= bytes.size());
        const QByteArray back = codepage::toAnsi(text);
        QVERIFY(!back.isEmpty());
    }
}

VEKANTO_CORE_TEST_MAIN(TestCodepage)
#include "tst_codepage.moc"
