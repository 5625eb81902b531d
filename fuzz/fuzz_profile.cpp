// SPDX-License-Identifier: GPL-3.0-or-later
// The profile reader over whatever bytes a settings file may hold: the calls the program
// makes never crash, never return more than the buffer holds, and what is written is what a
// fresh reader finds after the flush.
#include "fuzz_check.h"

#include "platform/profile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

const QString &iniPath()
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("vek.ini"));
    return path;
}

void writeInput(const uint8_t *data, size_t size)
{
    QFile f(iniPath());
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(f.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
}

QString read(Profile &ini, const QString &section, const QString &key, qint32 size = 1 << 16)
{
    QString value;
    const qint32 copied =
        ini.GetPrivateProfileString(section, key, QStringLiteral("NL"), value, size);
    FUZZ_CHECK(copied == value.size());
    FUZZ_CHECK(size <= 0 ? copied == 0 : copied <= size - 1);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    writeInput(data, size);
    const QString data_ = QStringLiteral("DATA");
    const QString option = QStringLiteral("Option");
    {
        // What loading asks for, in its order and spelling, with a few buffer sizes.
        Profile ini(iniPath());
        for (int n = 1; n <= 5; ++n) {
            for (const char *stem : {"TEXT", "cip", "nip", "nname", "root"})
                read(ini, data_, QLatin1String(stem) + QString::number(n));
        }
        for (const char *key : {"dirname", "logpath", "logsw", "dtime"})
            read(ini, option, QLatin1String(key), 255);
        for (qint32 bufferSize : {-1, 0, 1, 2, 255})
            read(ini, data_, QStringLiteral("TEXT1"), bufferSize);
        read(ini, QStringLiteral("表示"), QStringLiteral("ソフト"));
        read(ini, QString(), QString());
    }
    {
        // What saving does: replace, add, delete a key, delete a section, then flush.
        Profile ini(iniPath());
        FUZZ_CHECK(ini.WritePrivateProfileString(data_, QStringLiteral("TEXT1"),
                                                 QStringLiteral("名前")));
        FUZZ_CHECK(ini.WritePrivateProfileString(data_, QStringLiteral("ROOT2"), std::nullopt));
        FUZZ_CHECK(ini.WritePrivateProfileString(option, QStringLiteral("dtime"),
                                                 QStringLiteral("60")));
        FUZZ_CHECK(ini.WritePrivateProfileString(QStringLiteral("SDATA"), std::nullopt,
                                                 std::nullopt));
        FUZZ_CHECK(ini.WritePrivateProfileString(QStringLiteral("SDATA"), QStringLiteral("cnt"),
                                                 QStringLiteral("0")));
        FUZZ_CHECK(read(ini, data_, QStringLiteral("text1")) == QStringLiteral("名前"));
        FUZZ_CHECK(ini.flush());
    }
    {
        Profile ini(iniPath());
        FUZZ_CHECK(read(ini, data_, QStringLiteral("text1")) == QStringLiteral("名前"));
        FUZZ_CHECK(read(ini, option, QStringLiteral("DTIME")) == QStringLiteral("60"));
        FUZZ_CHECK(read(ini, QStringLiteral("sdata"), QStringLiteral("cnt")) == QStringLiteral("0"));
    }
    return 0;
}
