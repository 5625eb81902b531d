// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/store/page_info.h"

#include "core/store/page_store.h"
#include "platform/atomic_file.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace pagestore {
namespace {

const QString InfoName = QStringLiteral("vek-http.txt");

// A header value is kept only when it fits on its line.
bool fitsOnALine(const QByteArray &value)
{
    return !value.contains('\n') && !value.contains('\r') && !value.contains('\0');
}

} // namespace

QString PageInfoPath(const QString &entryFolder)
{
    return Join(entryFolder, InfoName);
}

QByteArray EncodePageInfo(const PageInfo &info)
{
    QByteArray text;
    const auto line = [&text](const char *key, const QByteArray &value) {
        if (!value.isEmpty() && fitsOnALine(value))
            text += key + (' ' + value) + '\n';
    };
    line("address", info.address.toUtf8());
    line("etag", info.etag);
    line("last-modified", info.lastModified);
    line("content-type", info.contentType);
    if (info.size >= 0)
        line("size", QByteArray::number(info.size));
    line("sha256", info.sha256);
    for (const auto &[hash, type] : info.earlierTypes)
        line("earlier", hash + ' ' + type);
    return text;
}

PageInfo DecodePageInfo(const QByteArray &text)
{
    PageInfo info;
    for (const QByteArray &line : text.split('\n')) {
        const qsizetype blank = line.indexOf(' ');
        if (blank <= 0)
            continue;
        const QByteArray key = line.left(blank);
        const QByteArray value = line.mid(blank + 1);
        if (key == "address") {
            info.address = QString::fromUtf8(value);
        } else if (key == "etag") {
            info.etag = value;
        } else if (key == "last-modified") {
            info.lastModified = value;
        } else if (key == "content-type") {
            info.contentType = value;
        } else if (key == "size") {
            bool ok = false;
            const qint64 size = value.toLongLong(&ok);
            info.size = ok && size >= 0 ? size : -1;
        } else if (key == "sha256") {
            info.sha256 = value;
        } else if (key == "earlier") {
            const qsizetype split = value.indexOf(' ');
            if (split > 0)
                info.earlierTypes.append({value.left(split), value.mid(split + 1)});
        }
    }
    return info;
}

PageInfo ReadPageInfo(const QString &entryFolder)
{
    QFile file(PageInfoPath(entryFolder));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Far more than the file ever holds: a file of another kind is not read whole.
    return DecodePageInfo(file.read(1024 * 1024));
}

bool WritePageInfo(const QString &entryFolder, const PageInfo &info, QString *error)
{
    return AtomicFile::writeWhole(PageInfoPath(entryFolder), EncodePageInfo(info), error);
}

QByteArray PageHash(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

std::optional<QByteArray> FileHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return std::nullopt;
    return hash.result().toHex();
}

bool DescribesFile(const PageInfo &info, const QString &page)
{
    const QFileInfo file(page);
    return info.size >= 0 && !info.sha256.isEmpty() && file.isFile() && file.size() == info.size
           && FileHash(page) == info.sha256;
}

} // namespace pagestore
