// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The answers of a hostile server: compressed bodies cut or broken, interim answers, chunked
// bodies cut, lengths that disagree. One table, iterated by the transfer tests and drawn on by
// the soak test; each row says what a transfer of it must come to.

#include "support/test_server.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace hostile {

struct Route {
    // The row's name in test output; pathOf() makes the path it is served under.
    QString name;
    TestServer::Response response;
    // The bytes a transfer must give as the page, or nullopt when it must fail (the old page stays).
    std::optional<QByteArray> page;
};

// Every hostile answer, built around page: the body a good answer would carry (at least a few
// hundred bytes, so that a cut falls inside it).
//
// | row                                | what the server does                                 | comes to |
// |------------------------------------|------------------------------------------------------|----------|
// | gzip cut by close / by reset       | gzip body with its length, connection ends halfway   | failure  |
// | deflate cut by close               | zlib body with its length, connection ends halfway   | failure  |
// | whole gzip page                    | gzip body with its length, whole                     | compressed bytes as sent |
// | labelled gzip, not gzip            | plain bytes under "Content-Encoding: gzip"           | bytes as sent |
// | gzip bomb                          | 20 MB of zeros gzipped (about 20 kB)                 | compressed bytes as sent |
// | 100 / 102 / 103 before the page    | an interim answer, then the 200 with the page        | page     |
// | chunked cut inside a chunk         | chunks dripped, connection ends (FIN / RST) mid-chunk | failure |
// | chunked cut inside a chunk, last   | the answer at once, cut mid-chunk; its end and the   | failure  |
// |   bytes with the close             |   FIN in one segment                                 |          |
// | whole chunked page, last bytes     | the same, whole                                      | page     |
// |   with the close                   |                                                      |          |
// | chunked cut between chunks         | whole chunks, no terminating zero-length chunk       | failure  |
// | two Content-Length, 100 and N      | both orders, and "N, 100" on one line                | failure  |
// | Content-Length that is no number   | "Content-Length: many"                               | failure  |
// | two equal Content-Length           | the same length twice                                | page     |
// | chunked beside a wrong length      | chunked page with a Content-Length too small / large | page     |
QList<Route> routes(const QByteArray &page);

// The row called name in routes(page); stops the test program when there is none.
Route route(const QString &name, const QByteArray &page);

// Where a row is served: "/hostile/" and its name in lower case, with dashes.
QString pathOf(const Route &route);

// gzip and zlib ("deflate" in HTTP) streams of data.
QByteArray gzip(const QByteArray &data);
QByteArray zlib(const QByteArray &data);

} // namespace hostile
