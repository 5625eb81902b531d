// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/history/page_decoding.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

// An entry's stored versions as the history shows them. Only ever read: nothing here changes a
// stored file.
namespace history {

struct Version {
    QString path;
    // The path inside the entry's folder: "vek.htm", "20260105/vek-1.htm".
    QString label;
    // When the page was stored (its file's modification time).
    QDateTime stored;
    qint64 size = 0;
    // Holds the same bytes as the next older version; false for the oldest.
    bool sameAsOlder = false;
};

// Newest first, found through the page store's folder of the entry.
QList<Version> Versions(const QString &dataDir, const QString &name);

// A stored version's bytes as text, read by the Content-Type its server sent with them where
// that is kept (`servedTypes`, from pagestore::ServedTypes), as DecodePage reads a page.
PageText DecodeVersion(const QByteArray &bytes, const QHash<QByteArray, QByteArray> &servedTypes);

// Whether two files hold the same bytes; false when either cannot be read.
bool SameBytes(const QString &a, const QString &b);

} // namespace history
