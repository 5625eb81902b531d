// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/page_history.h"

#include "core/store/page_info.h"
#include "core/store/page_store.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace history {

PageText DecodeVersion(const QByteArray &bytes, const QHash<QByteArray, QByteArray> &servedTypes)
{
    return DecodePage(bytes, servedTypes.isEmpty() ? QByteArray() : servedTypes.value(pagestore::PageHash(bytes)));
}

bool SameBytes(const QString &a, const QString &b)
{
    QFile first(a);
    QFile second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly)
        || first.size() != second.size())
        return false;
    // Pieces, so two large pages that differ early are not read whole.
    constexpr qint64 Piece = 64 * 1024;
    QByteArray x(Piece, Qt::Uninitialized);
    QByteArray y(Piece, Qt::Uninitialized);
    for (;;) {
        const qint64 n = first.read(x.data(), Piece);
        if (n < 0 || second.read(y.data(), Piece) != n)
            return false;
        if (n == 0)
            return true;
        if (std::memcmp(x.constData(), y.constData(), size_t(n)) != 0)
            return false;
    }
}

QList<Version> Versions(const QString &dataDir, const QString &name)
{
    const QString folder = pagestore::EntryFolder(dataDir, name);
    QList<Version> versions;
    for (const QString &path : pagestore::StoredPages(dataDir, name)) {
        const QFileInfo file(path);
        versions.append({path, path.mid(folder.size() + 1), file.lastModified(), file.size()});
    }
    for (qsizetype i = 0; i + 1 < versions.size(); ++i) {
        Version &v = versions[i];
        v.sameAsOlder = v.size == versions.at(i + 1).size && SameBytes(v.path, versions.at(i + 1).path);
    }
    return versions;
}

} // namespace history
