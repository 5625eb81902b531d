// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/hostile_routes.h"

#include "platform/inet.h"

#include <QtGlobal>

#include <brotli/encode.h>
#include <zlib.h>

namespace hostile {

namespace {

// windowBits 15 makes a zlib stream, 15 + 16 a gzip stream.
QByteArray compressed(const QByteArray &data, int windowBits)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        qFatal("deflateInit2 failed");
    QByteArray out(qsizetype(deflateBound(&stream, uLong(data.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const int result = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        qFatal("deflate failed");
    out.resize(qsizetype(stream.total_out));
    return out;
}

// A status line and headers; every answer closes its connection.
QByteArray head(const QByteArray &status, const QByteArrayList &headers)
{
    QByteArray out = "HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\n";
    for (const QByteArray &h : headers)
        out += h + "\r\n";
    return out + "Connection: close\r\n\r\n";
}

QByteArray lengthHeader(qsizetype length)
{
    return "Content-Length: " + QByteArray::number(length);
}

QByteArray withLength(const QByteArray &body, const QByteArrayList &headers = {})
{
    return head("200 OK", QByteArrayList(headers) << lengthHeader(body.size())) + body;
}

// page in four chunks; ends[i] is where chunk i's data ends in the returned stream.
QByteArray chunked(const QByteArray &page, QList<qsizetype> *ends = nullptr)
{
    const qsizetype size = (page.size() + 3) / 4;
    QByteArray out;
    for (qsizetype at = 0; at < page.size(); at += size) {
        const QByteArray piece = page.mid(at, size);
        out += QByteArray::number(piece.size(), 16) + "\r\n" + piece;
        if (ends)
            ends->append(out.size());
        out += "\r\n";
    }
    return out + "0\r\n\r\n";
}

QByteArray chunkedHead(const QByteArrayList &headers = {})
{
    return head("200 OK", QByteArrayList{"Transfer-Encoding: chunked"} + headers);
}

const QByteArray &bomb()
{
    static const QByteArray stream = gzip(QByteArray(20 * 1024 * 1024, '\0'));
    return stream;
}

// The bodies below are made once: the soak test builds the table for every hostile entry of
// every run, and measures the memory of its whole process.
const QByteArray &bombPage()
{
    static const QByteArray page(Inet::MaxBody, '\0');
    return page;
}

// 2 MB that a compressor shrinks only somewhat, so the stream is long and the cap falls in it:
// the stream, and the page cut at the cap.
const std::pair<QByteArray, QByteArray> &twoMegabytes()
{
    static const std::pair<QByteArray, QByteArray> streamAndPage = [] {
        QByteArray bytes(2 * 1024 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 7 + i / 251 + (i >> 13) * 31) & 0xff);
        return std::pair{gzip(bytes), bytes.left(Inet::MaxBody)};
    }();
    return streamAndPage;
}

// The cut rows drip their bytes, as a page comes over a real network before the connection
// drops; the cut then comes in the middle of the body, not with the first bytes.
constexpr int DripBytes = 128;
constexpr int DripIntervalMs = 10;

} // namespace

QByteArray gzip(const QByteArray &data)
{
    return compressed(data, 15 + 16);
}

QByteArray zlib(const QByteArray &data)
{
    return compressed(data, 15);
}

QByteArray brotli(const QByteArray &data)
{
    size_t size = BrotliEncoderMaxCompressedSize(size_t(data.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    // A middling quality and a small window: the best quality takes megabytes to compress a page.
    if (!BrotliEncoderCompress(5, 18, BROTLI_MODE_TEXT, size_t(data.size()),
                               reinterpret_cast<const uint8_t *>(data.constData()), &size,
                               reinterpret_cast<uint8_t *>(out.data())))
        qFatal("BrotliEncoderCompress failed");
    out.resize(qsizetype(size));
    return out;
}

QList<Route> routes(const QByteArray &page)
{
    const QByteArray gz = gzip(page);
    const QByteArray z = zlib(page);
    const QByteArray br = brotli(page);
    const QByteArray gzipHeader = "Content-Encoding: gzip";
    const QByteArray deflateHeader = "Content-Encoding: deflate";
    const QByteArray brHeader = "Content-Encoding: br";
    const QByteArray gzipCut = head("200 OK", {gzipHeader, lengthHeader(gz.size())}) + gz.left(gz.size() / 2);
    // The CRC-32 sits in the last eight bytes, before the length.
    QByteArray wrongCheck = gz;
    wrongCheck[wrongCheck.size() - 8] = char(wrongCheck.at(wrongCheck.size() - 8) ^ 0x55);
    const QByteArray gzChunks = chunked(gz);
    const QByteArray real = withLength(page);
    QList<qsizetype> ends;
    const QByteArray chunks = chunked(page, &ends);
    // Halfway through the second chunk's data, and just after the second chunk.
    const QByteArray cutInChunk = chunkedHead() + chunks.left((ends[0] + ends[1]) / 2 + 2);
    const QByteArray cutAfterChunk = chunkedHead() + chunks.left(ends[1] + 2);
    const QByteArray n = QByteArray::number(page.size());

    using R = TestServer::Response;
    return {
        {"gzip cut by close", R{.raw = gzipCut}, std::nullopt},
        {"gzip cut by reset", R{.reset = true, .raw = gzipCut}, std::nullopt},
        {"deflate cut by close",
         R{.raw = head("200 OK", {deflateHeader, lengthHeader(z.size())}) + z.left(z.size() / 2)}, std::nullopt},
        {"br cut by close", R{.raw = head("200 OK", {brHeader, lengthHeader(br.size())}) + br.left(br.size() / 2)},
         std::nullopt},
        {"whole gzip page", R{.raw = withLength(gz, {gzipHeader})}, page},
        {"whole deflate page", R{.raw = withLength(z, {deflateHeader})}, page},
        {"whole raw deflate page", R{.raw = withLength(z.mid(2, z.size() - 6), {deflateHeader})}, page},
        {"whole br page", R{.raw = withLength(br, {brHeader})}, page},
        {"whole gzip page, chunked", R{.raw = chunkedHead({gzipHeader}) + gzChunks}, page},
        {"labelled gzip, not gzip", R{.raw = withLength(page, {gzipHeader})}, std::nullopt},
        {"labelled deflate, not deflate", R{.raw = withLength(page, {deflateHeader})}, std::nullopt},
        {"labelled br, not br", R{.raw = withLength(page, {brHeader})}, std::nullopt},
        {"gzip with a wrong check", R{.raw = withLength(wrongCheck, {gzipHeader})}, std::nullopt},
        {"gzip followed by other bytes", R{.raw = withLength(gz + page.left(100), {gzipHeader})}, std::nullopt},
        {"unknown encoding", R{.raw = withLength(page, {"Content-Encoding: compress"})}, std::nullopt},
        {"gzip bomb", R{.raw = withLength(bomb(), {gzipHeader})}, bombPage(), true},
        {"gzip of 2 MB", R{.raw = withLength(twoMegabytes().first, {gzipHeader})}, twoMegabytes().second, true},
        {"100 before the page", R{.raw = "HTTP/1.1 100 Continue\r\n\r\n" + real}, page},
        {"102 before the page", R{.raw = "HTTP/1.1 102 Processing\r\n\r\n" + real}, page},
        {"103 before the page",
         R{.raw = "HTTP/1.1 103 Early Hints\r\nLink: </style.css>; rel=preload; as=style\r\n\r\n" + real},
         page},
        {"chunked cut inside a chunk by close",
         R{.dripBytes = DripBytes, .dripIntervalMs = DripIntervalMs, .raw = cutInChunk}, std::nullopt},
        {"chunked cut inside a chunk by reset",
         R{.dripBytes = DripBytes, .dripIntervalMs = DripIntervalMs, .reset = true, .raw = cutInChunk},
         std::nullopt},
        {"chunked cut inside a chunk, last bytes with the close",
         R{.raw = cutInChunk, .finWithLastBytes = true}, std::nullopt},
        {"whole chunked page, last bytes with the close", R{.raw = chunkedHead() + chunks, .finWithLastBytes = true},
         page},
        {"chunked cut between chunks",
         R{.dripBytes = DripBytes, .dripIntervalMs = DripIntervalMs, .raw = cutAfterChunk}, std::nullopt},
        {"two Content-Length, 100 first",
         R{.raw = head("200 OK", {lengthHeader(100), lengthHeader(page.size())}) + page}, std::nullopt},
        {"two Content-Length, 100 last",
         R{.raw = head("200 OK", {lengthHeader(page.size()), lengthHeader(100)}) + page}, std::nullopt},
        {"two lengths on one line", R{.raw = head("200 OK", {"Content-Length: " + n + ", 100"}) + page},
         std::nullopt},
        {"Content-Length that is no number", R{.raw = head("200 OK", {"Content-Length: many"}) + page},
         std::nullopt},
        {"two equal Content-Length",
         R{.raw = head("200 OK", {lengthHeader(page.size()), lengthHeader(page.size())}) + page}, page},
        {"chunked beside a too small length", R{.raw = chunkedHead({lengthHeader(10)}) + chunks}, page},
        {"chunked beside a too large length",
         R{.raw = chunkedHead({lengthHeader(page.size() * 10)}) + chunks}, page},
    };
}

Route route(const QString &name, const QByteArray &page)
{
    for (const Route &r : routes(page)) {
        if (r.name == name)
            return r;
    }
    qFatal("no hostile route %s", qPrintable(name));
}

QString pathOf(const Route &route)
{
    QString slug = route.name.toLower();
    for (QChar &c : slug) {
        if (!c.isLetterOrNumber())
            c = QLatin1Char('-');
    }
    return QLatin1String("/hostile/") + slug;
}

} // namespace hostile
