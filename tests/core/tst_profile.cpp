// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/profile.h"

#include "support/core_testmain.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <optional>
#include <unistd.h>

using OptString = std::optional<QString>;
Q_DECLARE_METATYPE(OptString)

namespace {

const QByteArray kMissing = QByteArrayLiteral("<missing>");

} // namespace

class TestProfile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void read_data();
    void read();
    void readMissingFile();
    void readTruncation_data();
    void readTruncation();
    void readFromFolderIsDefault();
    void valueTellsAMissingKey_data();
    void valueTellsAMissingKey();

    void write_data();
    void write();
    void writeNothingChangedLeavesFileAlone_data();
    void writeNothingChangedLeavesFileAlone();
    void writeThenReadInOneProfile();
    void writeKeysInOrder();
    void writeToFolderFails();

    void flushFailureKeepsOldFile_data();
    void flushFailureKeepsOldFile();

    void junkDoesNotCrash_data();
    void junkDoesNotCrash();

    void largeFileBatch();

private:
    QString path(const QString &name = QStringLiteral("vek.ini")) const;
    QString put(const QByteArray &bytes, const QString &name = QStringLiteral("vek.ini")) const;
    static QByteArray contents(const QString &fileName);

    std::optional<QTemporaryDir> m_dir;
};

void TestProfile::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

void TestProfile::cleanup()
{
    m_dir.reset();
}

QString TestProfile::path(const QString &name) const
{
    return m_dir->filePath(name);
}

QString TestProfile::put(const QByteArray &bytes, const QString &name) const
{
    const QString fileName = path(name);
    if (bytes == kMissing)
        return fileName;
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("can't write the test file");
    return fileName;
}

QByteArray TestProfile::contents(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return kMissing;
    return file.readAll();
}

void TestProfile::read_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QString def = QStringLiteral("DEF");
    const QString s = QStringLiteral("s");
    const QString k = QStringLiteral("k");

    QTest::newRow("plain") << QByteArray("[s]\r\nk=v\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("second section")
        << QByteArray("[a]\r\nk=1\r\n[s]\r\nk=2\r\n") << s << k << QStringLiteral("2");
    QTest::newRow("key of another section is not found")
        << QByteArray("[a]\r\nk=1\r\n[s]\r\nx=2\r\n") << s << k << def;
    QTest::newRow("section ignores case")
        << QByteArray("[SecTion]\r\nk=v\r\n") << QStringLiteral("sECtION") << k << QStringLiteral("v");
    QTest::newRow("key ignores case")
        << QByteArray("[s]\r\nKeY=v\r\n") << s << QStringLiteral("kEy") << QStringLiteral("v");
    QTest::newRow("blanks and tabs inside the brackets")
        << QByteArray("[ \t s \t]\r\nk=v\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("blanks before the bracket")
        << QByteArray("  [s]\r\nk=v\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("blanks in the section name kept")
        << QByteArray("[my  sec]\r\nk=v\r\n") << QStringLiteral("my  sec") << k << QStringLiteral("v");
    QTest::newRow("blanks and tabs around key, = and value")
        << QByteArray("[s]\r\n \t k \t = \t v \t \r\n") << s << k << QStringLiteral("v");
    QTest::newRow("blanks inside the value kept")
        << QByteArray("[s]\r\nk=a  b\tc\r\n") << s << k << QStringLiteral("a  b\tc");
    QTest::newRow("empty value") << QByteArray("[s]\r\nk=\r\n") << s << k << QString();
    QTest::newRow("blank value") << QByteArray("[s]\r\nk=  \t\r\n") << s << k << QString();
    QTest::newRow("double quotes removed")
        << QByteArray("[s]\r\nk=\"v\"\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("single quotes removed")
        << QByteArray("[s]\r\nk='v'\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("quotes removed after trimming, blanks inside kept")
        << QByteArray("[s]\r\nk =  \" v \"  \r\n") << s << k << QStringLiteral(" v ");
    QTest::newRow("empty quotes") << QByteArray("[s]\r\nk=\"\"\r\n") << s << k << QString();
    QTest::newRow("only the outer pair removed")
        << QByteArray("[s]\r\nk=\"\"v\"\"\r\n") << s << k << QStringLiteral("\"v\"");
    QTest::newRow("mismatched quotes kept")
        << QByteArray("[s]\r\nk=\"v'\r\n") << s << k << QStringLiteral("\"v'");
    QTest::newRow("opening quote only kept")
        << QByteArray("[s]\r\nk=\"v\r\n") << s << k << QStringLiteral("\"v");
    QTest::newRow("closing quote only kept")
        << QByteArray("[s]\r\nk=v'\r\n") << s << k << QStringLiteral("v'");
    QTest::newRow("a lone quote kept") << QByteArray("[s]\r\nk=\"\r\n") << s << k << QStringLiteral("\"");
    QTest::newRow("quotes in the middle kept")
        << QByteArray("[s]\r\nk=a\"b\"c\r\n") << s << k << QStringLiteral("a\"b\"c");
    QTest::newRow("first key wins") << QByteArray("[s]\r\nk=1\r\nk=2\r\n") << s << k << QStringLiteral("1");
    QTest::newRow("first key wins whatever its case")
        << QByteArray("[s]\r\nK=1\r\nk=2\r\n") << s << k << QStringLiteral("1");
    QTest::newRow("only the first block of a section counts")
        << QByteArray("[s]\r\na=1\r\n[t]\r\n[S]\r\nk=2\r\n") << s << k << def;
    QTest::newRow("first block of a section wins")
        << QByteArray("[s]\r\nk=1\r\n[S]\r\nk=2\r\n") << s << k << QStringLiteral("1");
    QTest::newRow("comment line") << QByteArray("[s]\r\n;k=v\r\n") << s << k << def;
    QTest::newRow("comment after blanks") << QByteArray("[s]\r\n \t;k=v\r\n") << s << k << def;
    QTest::newRow("comment before the key")
        << QByteArray("[s]\r\n;k=1\r\nk=2\r\n") << s << k << QStringLiteral("2");
    QTest::newRow("semicolon inside a value kept")
        << QByteArray("[s]\r\nk=v ; not a comment\r\n") << s << k << QStringLiteral("v ; not a comment");
    QTest::newRow("semicolon inside a key")
        << QByteArray("[s]\r\nk;x=v\r\n") << s << QStringLiteral("k;x") << QStringLiteral("v");
    QTest::newRow("commented section header")
        << QByteArray(";[s]\r\nk=v\r\n") << s << k << def;
    QTest::newRow("key ends at the first =")
        << QByteArray("[s]\r\nk=a=b\r\n") << s << k << QStringLiteral("a=b");
    QTest::newRow("no key containing =")
        << QByteArray("[s]\r\nk=a=b\r\n") << s << QStringLiteral("k=a") << def;
    QTest::newRow("line without = is not a key") << QByteArray("[s]\r\nk\r\n") << s << k << def;
    QTest::newRow("line without = before the key")
        << QByteArray("[s]\r\nk\r\nk=v\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("lines before the first section can't be read")
        << QByteArray("k=v\r\n[s]\r\n") << s << k << def;
    QTest::newRow("lines before the first section, empty name")
        << QByteArray("k=v\r\n[s]\r\n") << QString() << k << def;
    QTest::newRow("text after the closing bracket ignored")
        << QByteArray("[s] ; note\r\nk=v\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("LF line ends") << QByteArray("[a]\nk=1\n[s]\nk=v\n") << s << k << QStringLiteral("v");
    QTest::newRow("CR line ends") << QByteArray("[a]\rk=1\r[s]\rk=v\r") << s << k << QStringLiteral("v");
    QTest::newRow("mixed line ends")
        << QByteArray("[a]\r\nk=1\r[s]\nx=2\r\nk=v\r") << s << k << QStringLiteral("v");
    QTest::newRow("CR LF not part of the value")
        << QByteArray("[s]\r\nk=v\r\nz=1\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("no line end at the end") << QByteArray("[s]\r\nk=v") << s << k << QStringLiteral("v");
    QTest::newRow("empty file") << QByteArray() << s << k << def;
    QTest::newRow("missing section") << QByteArray("[a]\r\nk=v\r\n") << s << k << def;
    QTest::newRow("missing key") << QByteArray("[s]\r\nx=v\r\n") << s << k << def;
    QTest::newRow("blanks around the asked names ignored")
        << QByteArray("[s]\r\nk=v\r\n") << QStringLiteral(" \ts ") << QStringLiteral("\t k ")
        << QStringLiteral("v");
    QTest::newRow("section header is not a key")
        << QByteArray("[s]\r\n[k]\r\n") << s << QStringLiteral("[k]") << def;

    // CP932: the text is decoded before anything is compared.
    QTest::newRow("Japanese section, key and value with 0x5C trail bytes")
        << QByteArray("[\x95\x5C\x8E\xA6]\r\n\x83\x5C\x83\x74\x83\x67=\x94\x5C\x97\xCD\r\n")
        << QStringLiteral("表示") << QStringLiteral("ソフト") << QStringLiteral("能力");
    QTest::newRow("trail byte 0x5D is no closing bracket")
        << QByteArray("[\x83\x5D\x81\x5B\x83\x93]\r\nk=v\r\n")
        << QStringLiteral("ゾーン") << k << QStringLiteral("v");
    QTest::newRow("trail byte letter doesn't fold: key")
        << QByteArray("[s]\r\n\x83\x41=1\r\n") << s << QStringLiteral("ヂ") << def;
    QTest::newRow("trail byte letter doesn't fold: later key found")
        << QByteArray("[s]\r\n\x83\x61=1\r\n\x83\x41=2\r\n") << s << QStringLiteral("ア") << QStringLiteral("2");
    QTest::newRow("trail byte letter doesn't fold: section")
        << QByteArray("[\x83\x74]\r\nk=1\r\n") << QStringLiteral("サ") << k << def;
    QTest::newRow("trail byte letter doesn't fold: later section found")
        << QByteArray("[\x83\x54]\r\nk=1\r\n[\x83\x74]\r\nk=2\r\n") << QStringLiteral("フ") << k
        << QStringLiteral("2");
    QTest::newRow("Japanese value in quotes")
        << QByteArray("[s]\r\nk=\"\x94\x5C\x97\xCD\"\r\n") << s << k << QStringLiteral("能力");
    QTest::newRow("half-width katakana key")
        << QByteArray("[s]\r\n\xB1\xB2=v\r\n") << s << QStringLiteral("ｱｲ") << QStringLiteral("v");
    QTest::newRow("full-width letters ignore case")
        << QByteArray("[s]\r\n\x82\x60=v\r\n") << s << QStringLiteral("ａ") << QStringLiteral("v");
    QTest::newRow("full-width blank is not trimmed")
        << QByteArray("[s]\r\nk=\x81\x40v\r\n") << s << k << QStringLiteral("\u3000v");
    QTest::newRow("broken bytes on another line")
        << QByteArray("[s]\r\n\x80\xFF\x81=\r\nk=v\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("UTF-8 BOM before a later section")
        << QByteArray("\xEF\xBB\xBF[a]\r\nk=1\r\n[s]\r\nk=v\r\n") << s << k << QStringLiteral("v");
    QTest::newRow("NUL byte on another line")
        << QByteArray("[s]\r\nx=\0\r\nk=v\r\n", 15) << s << k << QStringLiteral("v");
}

void TestProfile::read()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    const QString fileName = put(file);
    QString returned = QStringLiteral("stale");
    const qint32 n = GetPrivateProfileStringA(section, key, QStringLiteral("DEF"), returned, 256,
                                              fileName);
    QCOMPARE(returned, expected);
    QCOMPARE(n, qint32(expected.size()));
    // The lookup finds what the Windows call finds, and nothing where it gives the default.
    QCOMPARE(Profile(fileName).value(section, key).value_or(QStringLiteral("DEF")), expected);
    // Reading never touches the file.
    QCOMPARE(contents(fileName), file);
}

void TestProfile::readMissingFile()
{
    QString returned;
    const QString fileName = path();
    QCOMPARE(GetPrivateProfileStringA(QStringLiteral("s"), QStringLiteral("k"),
                                      QStringLiteral("def  "), returned, 256, fileName),
             3);
    QCOMPARE(returned, QStringLiteral("def"));
    Profile profile(fileName);
    QCOMPARE(profile.GetPrivateProfileString(QStringLiteral("s"), QStringLiteral("k"),
                                             QStringLiteral("x"), returned, 256),
             1);
    QVERIFY(profile.flush());
    QVERIFY(!QFileInfo::exists(fileName));
}

void TestProfile::readTruncation_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("def");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("expected");

    const QString k = QStringLiteral("k");
    const QString none = QStringLiteral("none");
    QTest::newRow("value fits") << k << QString() << 7 << QStringLiteral("abcdef");
    QTest::newRow("value one too long") << k << QString() << 6 << QStringLiteral("abcde");
    QTest::newRow("value cut short") << k << QString() << 3 << QStringLiteral("ab");
    QTest::newRow("size 1 copies nothing") << k << QString() << 1 << QString();
    QTest::newRow("size 0 copies nothing") << k << QString() << 0 << QString();
    QTest::newRow("negative size copies nothing") << k << QString() << -5 << QString();
    QTest::newRow("Japanese counted in characters, not bytes")
        << QStringLiteral("j") << QString() << 3 << QStringLiteral("表示");
    QTest::newRow("quotes removed before the cut")
        << QStringLiteral("q") << QString() << 3 << QStringLiteral("xy");
    QTest::newRow("default: trailing blanks dropped")
        << QStringLiteral("missing") << QStringLiteral("d e  ") << 256 << QStringLiteral("d e");
    QTest::newRow("default: leading blanks kept")
        << QStringLiteral("missing") << QStringLiteral("  d") << 256 << QStringLiteral("  d");
    QTest::newRow("default: only blanks")
        << QStringLiteral("missing") << QStringLiteral("   ") << 256 << QString();
    QTest::newRow("default: cut after dropping blanks")
        << QStringLiteral("missing") << QStringLiteral("abc   ") << 3 << QStringLiteral("ab");
    QTest::newRow("default: blanks dropped, then it fits")
        << QStringLiteral("missing") << QStringLiteral("abc   ") << 4 << QStringLiteral("abc");
    QTest::newRow("default: empty") << QStringLiteral("missing") << QString() << 256 << QString();
    QTest::newRow("default: size 0") << QStringLiteral("missing") << none << 0 << QString();
}

void TestProfile::readTruncation()
{
    QFETCH(QString, key);
    QFETCH(QString, def);
    QFETCH(int, size);
    QFETCH(QString, expected);

    const QString fileName =
        put(QByteArray("[s]\r\nk=abcdef\r\nj=\x95\x5C\x8E\xA6\x83\x5C\x83\x74\x83\x67\r\nq=\"xyz\"\r\n"));
    QString returned = QStringLiteral("stale");
    QCOMPARE(GetPrivateProfileStringA(QStringLiteral("s"), key, def, returned, size, fileName),
             qint32(expected.size()));
    QCOMPARE(returned, expected);
}

void TestProfile::readFromFolderIsDefault()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    QString returned;
    QCOMPARE(GetPrivateProfileStringA(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("d"),
                                      returned, 256, path(QStringLiteral("folder"))),
             1);
    QCOMPARE(returned, QStringLiteral("d"));
}

// Unlike the Windows call, the lookup tells a missing key from any value, and gives a value
// whole, however long.
void TestProfile::valueTellsAMissingKey_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<OptString>("value");

    const QByteArray file("[s]\r\nempty=\r\nnl=NL\r\ntab=nl\t-\r\nlf=\"\"\r\n");
    QTest::newRow("missing key") << file << QStringLiteral("other") << OptString();
    QTest::newRow("empty value") << file << QStringLiteral("empty") << OptString(QString());
    QTest::newRow("value NL") << file << QStringLiteral("NL") << OptString(QStringLiteral("NL"));
    QTest::newRow("value with a tab inside")
        << file << QStringLiteral("tab") << OptString(QStringLiteral("nl\t-"));
    QTest::newRow("empty quotes") << file << QStringLiteral("lf") << OptString(QString());
    QTest::newRow("missing section") << QByteArray("[t]\r\nk=v\r\n") << QStringLiteral("k")
                                     << OptString();
    QTest::newRow("no file") << QByteArray() << QStringLiteral("k") << OptString();
    const QString longValue(5000, QLatin1Char('x'));
    QTest::newRow("long value whole") << QByteArray("[s]\r\nk=" + longValue.toLatin1() + "\r\n")
                                      << QStringLiteral("k") << OptString(longValue);
}

void TestProfile::valueTellsAMissingKey()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, key);
    QFETCH(OptString, value);
    const QString fileName = file.isEmpty() ? path() : put(file);
    QCOMPARE(Profile(fileName).value(QStringLiteral("S"), key), value);
}

void TestProfile::write_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<OptString>("key");
    QTest::addColumn<OptString>("value");
    QTest::addColumn<QByteArray>("after");

    const QString s = QStringLiteral("s");
    const OptString k = QStringLiteral("k");
    const OptString v = QStringLiteral("v");
    const OptString none;

    QTest::newRow("missing file is created") << kMissing << s << k << v << QByteArray("[s]\r\nk=v\r\n");
    QTest::newRow("empty file") << QByteArray() << s << k << v << QByteArray("[s]\r\nk=v\r\n");
    QTest::newRow("missing section appended at the end")
        << QByteArray("[a]\r\nx=1\r\n") << s << k << v << QByteArray("[a]\r\nx=1\r\n[s]\r\nk=v\r\n");
    QTest::newRow("missing section after a last line without line end")
        << QByteArray("[a]\r\nx=1") << s << k << v << QByteArray("[a]\r\nx=1\r\n[s]\r\nk=v\r\n");
    QTest::newRow("missing section after trailing blank line and comment")
        << QByteArray("[a]\r\nx=1\r\n\r\n;end\r\n") << s << k << v
        << QByteArray("[a]\r\nx=1\r\n\r\n;end\r\n[s]\r\nk=v\r\n");
    QTest::newRow("missing section after lines without a section")
        << QByteArray("; top\r\nk=0\r\n") << s << k << v << QByteArray("; top\r\nk=0\r\n[s]\r\nk=v\r\n");
    QTest::newRow("missing section keeps the given spelling")
        << QByteArray() << QStringLiteral("My Sec") << OptString(QStringLiteral("My Key")) << v
        << QByteArray("[My Sec]\r\nMy Key=v\r\n");
    QTest::newRow("blanks around the given names dropped")
        << QByteArray("[s]\r\nk=1\r\n") << QStringLiteral(" t\t") << OptString(QStringLiteral(" x "))
        << OptString(QStringLiteral(" y ")) << QByteArray("[s]\r\nk=1\r\n[t]\r\nx= y \r\n");
    QTest::newRow("blanks around the given names: existing key found")
        << QByteArray("[s]\r\nk=1\r\n") << QStringLiteral(" s ") << OptString(QStringLiteral("\tk "))
        << v << QByteArray("[s]\r\nk=v\r\n");
    QTest::newRow("missing key after the last key, before blank and comment lines")
        << QByteArray("[s]\r\na=1\r\n;c\r\n\r\n[t]\r\nz=9\r\n") << s << k << v
        << QByteArray("[s]\r\na=1\r\nk=v\r\n;c\r\n\r\n[t]\r\nz=9\r\n");
    QTest::newRow("missing key after a key that follows a comment")
        << QByteArray("[s]\r\na=1\r\n;c\r\nb=2\r\n\r\n") << s << k << v
        << QByteArray("[s]\r\na=1\r\n;c\r\nb=2\r\nk=v\r\n\r\n");
    QTest::newRow("missing key before a line without =")
        << QByteArray("[s]\r\na=1\r\nstray\r\n") << s << k << v << QByteArray("[s]\r\na=1\r\nk=v\r\nstray\r\n");
    QTest::newRow("missing key in a section without keys goes under the header")
        << QByteArray("[s]\r\n;c\r\n\r\n[t]\r\nk=0\r\n") << s << k << v
        << QByteArray("[s]\r\nk=v\r\n;c\r\n\r\n[t]\r\nk=0\r\n");
    QTest::newRow("missing key in the last section, no line end")
        << QByteArray("[s]\r\na=1") << s << k << v << QByteArray("[s]\r\na=1\r\nk=v\r\n");
    QTest::newRow("existing key: value replaced in place")
        << QByteArray("[s]\r\na=1\r\nk=old\r\nb=2\r\n") << s << k << v
        << QByteArray("[s]\r\na=1\r\nk=v\r\nb=2\r\n");
    QTest::newRow("existing key keeps its spelling")
        << QByteArray("[s]\r\n  KeY = old\r\n") << s << OptString(QStringLiteral("key")) << v << QByteArray("[s]\r\nKeY=v\r\n");
    QTest::newRow("existing quoted value replaced verbatim")
        << QByteArray("[s]\r\nk=\"old\"\r\n") << s << k << v << QByteArray("[s]\r\nk=v\r\n");
    QTest::newRow("value written verbatim: quotes and blanks")
        << QByteArray("[s]\r\nk=1\r\n") << s << k << OptString(QStringLiteral(" \"a b\" "))
        << QByteArray("[s]\r\nk= \"a b\" \r\n");
    QTest::newRow("empty value") << QByteArray("[s]\r\nk=1\r\n") << s << k << OptString(QString())
                                 << QByteArray("[s]\r\nk=\r\n");
    QTest::newRow("section found ignoring case")
        << QByteArray("[Sec]\r\nk=1\r\n") << QStringLiteral("sEC") << k << v << QByteArray("[Sec]\r\nk=v\r\n");
    QTest::newRow("first block of a duplicate section written")
        << QByteArray("[s]\r\na=1\r\n[S]\r\nk=old\r\n") << s << k << v
        << QByteArray("[s]\r\na=1\r\nk=v\r\n[S]\r\nk=old\r\n");
    QTest::newRow("first of duplicate keys written")
        << QByteArray("[s]\r\nk=1\r\nK=2\r\n") << s << k << v << QByteArray("[s]\r\nk=v\r\nK=2\r\n");
    QTest::newRow("commented key is not replaced")
        << QByteArray("[s]\r\n;k=1\r\n") << s << k << v << QByteArray("[s]\r\nk=v\r\n;k=1\r\n");
    QTest::newRow("key before the first section is not replaced")
        << QByteArray("k=0\r\n[s]\r\na=1\r\n") << s << k << v << QByteArray("k=0\r\n[s]\r\na=1\r\nk=v\r\n");
    QTest::newRow("other lines kept, line ends become CR LF")
        << QByteArray("; head\n[a]\rx = 1 \n\n[s]\r\nk=1\n;tail") << s << k << v
        << QByteArray("; head\r\n[a]\r\nx = 1 \r\n\r\n[s]\r\nk=v\r\n;tail\r\n");
    QTest::newRow("undecodable bytes on untouched lines kept")
        << QByteArray("\x80\xA0\r\n[s]\r\n\xFD\xFE\xFF=\x81\r\nk=1\r\n\x85\x40\x1A\x7F\r\n") << s << k << v
        << QByteArray("\x80\xA0\r\n[s]\r\n\xFD\xFE\xFF=\x81\r\nk=v\r\n\x85\x40\x1A\x7F\r\n");
    QTest::newRow("UTF-8 BOM kept")
        << QByteArray("\xEF\xBB\xBF;c\r\n[s]\r\nk=1\r\n") << s << k << v
        << QByteArray("\xEF\xBB\xBF;c\r\n[s]\r\nk=v\r\n");
    QTest::newRow("Japanese written as CP932")
        << kMissing << QStringLiteral("表示") << OptString(QStringLiteral("ソフト"))
        << OptString(QStringLiteral("能力"))
        << QByteArray("[\x95\x5C\x8E\xA6]\r\n\x83\x5C\x83\x74\x83\x67=\x94\x5C\x97\xCD\r\n");
    QTest::newRow("Japanese key found in CP932")
        << QByteArray("[\x95\x5C\x8E\xA6]\r\n\x83\x5C=1\r\n") << QStringLiteral("表示")
        << OptString(QStringLiteral("ソ")) << OptString(QStringLiteral("ソ"))
        << QByteArray("[\x95\x5C\x8E\xA6]\r\n\x83\x5C=\x83\x5C\r\n");
    QTest::newRow("trail byte letter doesn't fold: key added")
        << QByteArray("[s]\r\n\x83\x41=1\r\n") << s << OptString(QStringLiteral("ヂ")) << v
        << QByteArray("[s]\r\n\x83\x41=1\r\n\x83\x61=v\r\n");
    QTest::newRow("trail byte letter doesn't fold: section added")
        << QByteArray("[\x83\x74]\r\nk=1\r\n") << QStringLiteral("サ") << k << v
        << QByteArray("[\x83\x74]\r\nk=1\r\n[\x83\x54]\r\nk=v\r\n");
    QTest::newRow("character outside CP932 written as ?")
        << kMissing << s << k << OptString(QStringLiteral("a😀b")) << QByteArray("[s]\r\nk=a?b\r\n");

    QTest::newRow("delete key")
        << QByteArray("[s]\r\na=1\r\nk=2\r\nb=3\r\n") << s << k << none << QByteArray("[s]\r\na=1\r\nb=3\r\n");
    QTest::newRow("delete key ignoring case")
        << QByteArray("[s]\r\nK=2\r\n[t]\r\nk=3\r\n") << s << k << none << QByteArray("[s]\r\n[t]\r\nk=3\r\n");
    QTest::newRow("delete key deletes only the first of duplicates")
        << QByteArray("[s]\r\nk=1\r\nk=2\r\n") << s << k << none << QByteArray("[s]\r\nk=2\r\n");
    QTest::newRow("delete key only in the first block of a section")
        << QByteArray("[s]\r\nk=1\r\n[s]\r\nk=2\r\n") << s << k << none << QByteArray("[s]\r\n[s]\r\nk=2\r\n");
    QTest::newRow("delete section")
        << QByteArray("[a]\r\nx=1\r\n[s]\r\nk=1\r\n;c\r\n\r\n[b]\r\ny=2\r\n") << s << none << none
        << QByteArray("[a]\r\nx=1\r\n[b]\r\ny=2\r\n");
    QTest::newRow("delete section ignores the value")
        << QByteArray("[s]\r\nk=1\r\n[b]\r\n") << s << none << v << QByteArray("[b]\r\n");
    QTest::newRow("delete section ignoring case")
        << QByteArray("[S]\r\nk=1\r\n") << s << none << none << QByteArray();
    QTest::newRow("delete section deletes only its first block")
        << QByteArray("[s]\r\nk=1\r\n[a]\r\n[s]\r\nk=2\r\n") << s << none << none
        << QByteArray("[a]\r\n[s]\r\nk=2\r\n");
    QTest::newRow("delete section keeps lines before the first section")
        << QByteArray(";top\r\n[s]\r\nk=1\r\n") << s << none << none << QByteArray(";top\r\n");
}

void TestProfile::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(OptString, key);
    QFETCH(OptString, value);
    QFETCH(QByteArray, after);

    const QString fileName = put(before);
    QVERIFY(WritePrivateProfileStringA(section, key, value, fileName));
    QCOMPARE(contents(fileName), after);

    // The same through one Profile, flushed once.
    put(before, QStringLiteral("other.ini"));
    Profile profile(path(QStringLiteral("other.ini")));
    QVERIFY(profile.WritePrivateProfileString(section, key, value));
    QVERIFY(profile.flush());
    QCOMPARE(contents(path(QStringLiteral("other.ini"))), after);
}

void TestProfile::writeNothingChangedLeavesFileAlone_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<OptString>("key");
    QTest::addColumn<OptString>("value");

    const QByteArray file("[s]\r\nk = 1\r\nq=\"x\"\r\n");
    QTest::newRow("same value") << file << OptString(QStringLiteral("k")) << OptString(QStringLiteral("1"));
    QTest::newRow("same value in quotes")
        << file << OptString(QStringLiteral("q")) << OptString(QStringLiteral("\"x\""));
    QTest::newRow("delete missing key") << file << OptString(QStringLiteral("x")) << OptString();
    QTest::newRow("delete key of missing section")
        << QByteArray("[a]\r\nk=1\r\n") << OptString(QStringLiteral("k")) << OptString();
    QTest::newRow("delete missing section") << QByteArray("[a]\r\nk=1\r\n") << OptString() << OptString();
    QTest::newRow("delete in missing file") << kMissing << OptString(QStringLiteral("k")) << OptString();
    QTest::newRow("delete section of missing file") << kMissing << OptString() << OptString();
}

void TestProfile::writeNothingChangedLeavesFileAlone()
{
    QFETCH(QByteArray, before);
    QFETCH(OptString, key);
    QFETCH(OptString, value);

    const QString fileName = put(before);
    const QDateTime old(QDate(2001, 2, 3), QTime(4, 5, 6));
    if (before != kMissing) {
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    QVERIFY(WritePrivateProfileStringA(QStringLiteral("s"), key, value, fileName));
    QCOMPARE(contents(fileName), before);
    if (before != kMissing)
        QCOMPARE(QFileInfo(fileName).lastModified(), old);
}

void TestProfile::writeThenReadInOneProfile()
{
    const QString fileName = put(QByteArray("[s]\r\nk=1\r\nk=2\r\n;c\r\n[t]\r\nx=1\r\n[S]\r\nk=3\r\n"));
    Profile profile(fileName);
    const QString s = QStringLiteral("s");
    const QString k = QStringLiteral("k");
    const auto read = [&profile](const QString &section, const QString &key) {
        QString returned;
        profile.GetPrivateProfileString(section, key, QStringLiteral("DEF"), returned, 256);
        return returned;
    };

    QCOMPARE(read(s, k), QStringLiteral("1"));
    QVERIFY(profile.WritePrivateProfileString(s, k, QStringLiteral("one")));
    QCOMPARE(read(s, k), QStringLiteral("one"));
    QVERIFY(profile.WritePrivateProfileString(s, k, std::nullopt));
    QCOMPARE(read(s, k), QStringLiteral("2")); // the duplicate behind it shows now
    QVERIFY(profile.WritePrivateProfileString(s, QStringLiteral("new"), QStringLiteral("n")));
    QCOMPARE(read(s, QStringLiteral("NEW")), QStringLiteral("n"));
    QVERIFY(profile.WritePrivateProfileString(s, k, std::nullopt));
    QCOMPARE(read(s, k), QStringLiteral("DEF"));
    QCOMPARE(read(s, QStringLiteral("new")), QStringLiteral("n"));
    QVERIFY(profile.WritePrivateProfileString(s, std::nullopt, std::nullopt));
    QCOMPARE(read(s, QStringLiteral("new")), QStringLiteral("DEF"));
    QCOMPARE(read(s, k), QStringLiteral("3")); // the second block of [s] is the first now
    QVERIFY(profile.WritePrivateProfileString(s, std::nullopt, std::nullopt));
    QCOMPARE(read(s, k), QStringLiteral("DEF"));
    QVERIFY(profile.WritePrivateProfileString(QStringLiteral("u"), k, QStringLiteral("4")));
    QCOMPARE(read(QStringLiteral("U"), k), QStringLiteral("4"));
    QVERIFY(profile.WritePrivateProfileString(QStringLiteral("t"), QStringLiteral("y"), QStringLiteral("5")));
    QCOMPARE(read(QStringLiteral("t"), QStringLiteral("y")), QStringLiteral("5"));
    QVERIFY(profile.WritePrivateProfileString(QStringLiteral("u"), std::nullopt, std::nullopt));
    QVERIFY(profile.WritePrivateProfileString(QStringLiteral("u"), k, QStringLiteral("6")));
    QCOMPARE(read(QStringLiteral("u"), k), QStringLiteral("6"));

    // Nothing reaches the file before flush().
    QCOMPARE(contents(fileName), QByteArray("[s]\r\nk=1\r\nk=2\r\n;c\r\n[t]\r\nx=1\r\n[S]\r\nk=3\r\n"));
    QVERIFY(profile.flush());
    QCOMPARE(contents(fileName), QByteArray("[t]\r\nx=1\r\ny=5\r\n[u]\r\nk=6\r\n"));
}

void TestProfile::writeKeysInOrder()
{
    const QString fileName = put(QByteArray("[s]\r\na=1\r\n\r\n[t]\r\n"));
    Profile profile(fileName);
    const QString s = QStringLiteral("s");
    QVERIFY(profile.WritePrivateProfileString(s, QStringLiteral("b"), QStringLiteral("2")));
    QVERIFY(profile.WritePrivateProfileString(s, QStringLiteral("c"), QStringLiteral("3")));
    QVERIFY(profile.WritePrivateProfileString(s, QStringLiteral("a"), std::nullopt));
    QVERIFY(profile.WritePrivateProfileString(s, QStringLiteral("d"), QStringLiteral("4")));
    QVERIFY(profile.WritePrivateProfileString(QStringLiteral("n"), QStringLiteral("x"), QStringLiteral("1")));
    QVERIFY(profile.WritePrivateProfileString(QStringLiteral("n"), QStringLiteral("y"), QStringLiteral("2")));
    QVERIFY(profile.flush());
    QCOMPARE(contents(fileName),
             QByteArray("[s]\r\nb=2\r\nc=3\r\nd=4\r\n\r\n[t]\r\n[n]\r\nx=1\r\ny=2\r\n"));
    // A second flush with nothing new writes nothing; a later change is written.
    QVERIFY(profile.flush());
    QVERIFY(profile.WritePrivateProfileString(s, QStringLiteral("b"), QStringLiteral("9")));
    QVERIFY(profile.flush());
    QCOMPARE(contents(fileName),
             QByteArray("[s]\r\nb=9\r\nc=3\r\nd=4\r\n\r\n[t]\r\n[n]\r\nx=1\r\ny=2\r\n"));
}

void TestProfile::writeToFolderFails()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    QVERIFY(!WritePrivateProfileStringA(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v"),
                                        path(QStringLiteral("folder"))));
    QVERIFY(QFileInfo(path(QStringLiteral("folder"))).isDir());
}

void TestProfile::flushFailureKeepsOldFile_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::newRow("parent is a regular file") << false;
    QTest::newRow("read-only folder") << true;
}

void TestProfile::flushFailureKeepsOldFile()
{
    QFETCH(bool, readOnlyFolder);

    const QByteArray old("[s]\r\nk=old\r\n");
    QString fileName;
    if (readOnlyFolder) {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("ro")));
        fileName = put(old, QStringLiteral("ro/vek.ini"));
        QVERIFY(QFile::setPermissions(path(QStringLiteral("ro")),
                                      QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    } else {
        put(old, QStringLiteral("plain"));
        fileName = path(QStringLiteral("plain/vek.ini"));
    }

    Profile profile(fileName);
    QVERIFY(profile.WritePrivateProfileString(QStringLiteral("s"), QStringLiteral("k"),
                                              QStringLiteral("new")));
    QString error;
    QVERIFY(!profile.flush(&error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!WritePrivateProfileStringA(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("new"),
                                        fileName));

    if (readOnlyFolder) {
        QCOMPARE(contents(fileName), old);
        const QStringList left = QDir(path(QStringLiteral("ro"))).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left, QStringList{QStringLiteral("vek.ini")});
        QFile::setPermissions(path(QStringLiteral("ro")), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                              | QFileDevice::ExeOwner);
    } else {
        QCOMPARE(contents(path(QStringLiteral("plain"))), old);
    }
}

void TestProfile::junkDoesNotCrash_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("only a BOM") << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("lone lead bytes") << QByteArray("\x81\r\n\x82\n\x83");
    QTest::newRow("brackets without names") << QByteArray("[\r\n]\r\n[]\r\n[[]]\r\n=\r\n==\r\n[");
    QTest::newRow("NUL bytes") << QByteArray("\0[s\0]\0\r\n\0=\0\r\n", 13);
    QTest::newRow("only line ends") << QByteArray("\r\r\n\n\r\n\r");
    QByteArray all;
    for (int i = 0; i < 4096; ++i)
        all.append(char((i * 7919) & 0xFF));
    QTest::newRow("every byte value") << all;
}

void TestProfile::junkDoesNotCrash()
{
    QFETCH(QByteArray, file);
    const QString fileName = put(file);
    QString returned;
    GetPrivateProfileStringA(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("d"), returned,
                             256, fileName);
    QVERIFY(WritePrivateProfileStringA(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v"),
                                       fileName));
    QCOMPARE(GetPrivateProfileStringA(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("d"),
                                      returned, 256, fileName),
             1);
    QCOMPARE(returned, QStringLiteral("v"));
    QVERIFY(WritePrivateProfileStringA(QStringLiteral("s"), std::nullopt, std::nullopt, fileName));
    QCOMPARE(GetPrivateProfileStringA(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("d"),
                                      returned, 256, fileName),
             1);
    QCOMPARE(returned, QStringLiteral("d"));
}

// A few hundred calls on a 10 MB list must stay fast: a full parse per call would take
// minutes.
void TestProfile::largeFileBatch()
{
    QByteArray big;
    const int sections = 20000;
    for (int i = 0; i < sections; ++i) {
        big += "[" + QByteArray::number(i) + "]\r\n";
        big += "URL=http://example.com/\x83\x5C\x83\x74\x83\x67/" + QByteArray::number(i) + "\r\n";
        big += "Title=\x95\x5C\x8E\xA6 " + QByteArray(400, 'x') + "\r\n";
        big += "Check=1\r\n\r\n";
    }
    QVERIFY(big.size() > 9'000'000);
    const QString fileName = put(big);

    QElapsedTimer timer;
    timer.start();
    Profile profile(fileName);
    QString returned;
    for (int i = 0; i < 300; ++i) {
        const QString section = QString::number(i * 61 % sections);
        profile.GetPrivateProfileString(section, QStringLiteral("url"), QString(), returned, 1024);
        QCOMPARE(returned, QStringLiteral("http://example.com/ソフト/") + section);
        QVERIFY(profile.WritePrivateProfileString(section, QStringLiteral("Check"), QStringLiteral("0")));
        QVERIFY(profile.WritePrivateProfileString(section, QStringLiteral("New"), QStringLiteral("表")));
    }
    QVERIFY(profile.WritePrivateProfileString(QStringLiteral("7"), std::nullopt, std::nullopt));
    QVERIFY(profile.flush());
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(elapsed < 20000, QByteArray::number(elapsed).constData());

    QString check;
    QCOMPARE(GetPrivateProfileStringA(QStringLiteral("61"), QStringLiteral("New"), QString(), check, 16,
                                      fileName),
             1);
    QCOMPARE(check, QStringLiteral("表"));
    QCOMPARE(GetPrivateProfileStringA(QStringLiteral("62"), QStringLiteral("Check"), QString(), check,
                                      16, fileName),
             1);
    QCOMPARE(check, QStringLiteral("1"));
    QCOMPARE(GetPrivateProfileStringA(QStringLiteral("7"), QStringLiteral("Check"), QStringLiteral("gone"),
                                      check, 16, fileName),
             4);
}

VEKANTO_CORE_TEST_MAIN(TestProfile)
#include "tst_profile.moc"
