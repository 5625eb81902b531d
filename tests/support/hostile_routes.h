// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The answers of a hostile server: compressed bodies (never asked for) whole, cut or broken,
// interim answers, chunked bodies cut, lengths that disagree. One table, iterated by the transfer tests and drawn on by
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
    // The page is cut at the cap (Inet::MaxBody).
    bool cut = false;
};

// Every hostile answer, built around page: the body a good answer would carry (at least a few
// hundred bytes, so that a cut falls inside it).
//
// | row                                | what the server does                                 | comes to |
// |------------------------------------|------------------------------------------------------|----------|
// | gzip cut by close / by reset       | gzip body with its length, connection ends halfway   | failure  |
// | deflate / br cut by close          | zlib / brotli body with its length, ends halfway     | failure  |
// | whole gzip / deflate / br page     | the compressed body with its length, whole           | page     |
// | whole raw deflate page             | a deflate stream without its zlib wrapper            | page     |
// | whole gzip page, chunked           | the gzip body in chunks                              | page     |
// | labelled gzip / deflate / br, not  | plain bytes under that Content-Encoding              | failure  |
// | gzip with a wrong check            | gzip body whose CRC-32 does not match                | failure  |
// | gzip followed by other bytes       | a whole gzip body, then bytes that are none of it    | failure  |
// | unknown encoding                   | plain bytes under "Content-Encoding: compress"       | failure  |
// | gzip bomb                          | 20 MB of zeros gzipped (about 20 kB)                 | 1,024,000 zeros, cut |
// | gzip of 2 MB                       | 2 MB of varied bytes gzipped                         | its first 1,024,000, cut |
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

// gzip, zlib ("deflate" in HTTP) and brotli ("br") streams of data.
QByteArray gzip(const QByteArray &data);
QByteArray zlib(const QByteArray &data);
QByteArray brotli(const QByteArray &data);

} // namespace hostile
