// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// What is kept beside an entry's vek.htm of the answer it came in, in a small text file of its
// own in the entry's folder: the address asked for, the ETag, Last-Modified and Content-Type
// its server sent, and the size and SHA-256 of the page as stored. The next request sends the
// validators back only while vek.htm still has that size and hash, so a page replaced or
// edited by hand is fetched whole. It also keeps the Content-Type each earlier page came
// with, by that page's hash, so the history can read a dated copy by its server's charset.
namespace pagestore {

struct PageInfo {
    // The address the page was fetched from, as the run built it.
    QString address{};
    QByteArray etag{};
    QByteArray lastModified{};
    QByteArray contentType{};
    qint64 size = -1;
    // SHA-256 of the stored page, in lower-case hex.
    QByteArray sha256{};
    // Pages replaced before: their hash and the Content-Type they came with, oldest first.
    QList<std::pair<QByteArray, QByteArray>> earlierTypes{};

    friend bool operator==(const PageInfo &, const PageInfo &) = default;
};

// How many earlier pages keep their Content-Type: a year of pages that change every day.
constexpr int MaxEarlierTypes = 400;

// The file in an entry folder.
QString PageInfoPath(const QString &entryFolder);
// Empty (size -1) when there is no such file or it cannot be read; lines it does not know
// are passed over.
PageInfo ReadPageInfo(const QString &entryFolder);
bool WritePageInfo(const QString &entryFolder, const PageInfo &info, QString *error);

QByteArray EncodePageInfo(const PageInfo &info);
PageInfo DecodePageInfo(const QByteArray &text);

// SHA-256 in lower-case hex, of bytes or of a file read in pieces (nullopt when it cannot be read).
QByteArray PageHash(const QByteArray &bytes);
std::optional<QByteArray> FileHash(const QString &path);

// Whether the file at `page` is still the page `info` describes: the same size and hash.
bool DescribesFile(const PageInfo &info, const QString &page);

} // namespace pagestore
