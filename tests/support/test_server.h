// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

// A small HTTP/1.1 server on a loopback address (127.0.0.1 unless told) for the network tests. It runs on its own threads
// inside the test process (one accept thread, one thread per connection), so a test can
// keep its event loop going while the server answers slowly, hangs or sends megabytes.
// Every answer closes its connection ("Connection: close").
class TestServer
{
public:
    // How the server answers one path. Fields combine where it makes sense: delay, then
    // headers, then the body (dripped or at once). Use designated initializers:
    //   server.setRoute("/slow", {.body = big, .dripBytes = 1000, .dripIntervalMs = 20});
    struct Response {
        // The status code of the answer.
        int status = 200;
        // The body, sent byte for byte (may hold NUL bytes), with a matching Content-Length.
        QByteArray body{};
        // The Content-Type header.
        QByteArray contentType = "text/html";
        // Waits this long after reading the request before anything is sent.
        int delayMs = 0;
        // When > 0 the body goes out dripBytes at a time with dripIntervalMs between pieces.
        int dripBytes = 0;
        int dripIntervalMs = 0;
        // Reads the request and never answers; the connection stays open until stop().
        bool hang = false;
        // When >= 0: sends the headers (announcing the whole body) and only this many body
        // bytes, then closes the connection, so the client sees a transfer cut off midway.
        qint64 cutAfterBytes = -1;
        // Ends the connection with RST (SO_LINGER 0) instead of FIN: right after reading the
        // request, sending nothing, or after cutAfterBytes when that is set.
        bool reset = false;
        // Reads the request and closes the connection normally (FIN) before any header.
        bool closeBeforeHeaders = false;
        // When set: answers 302 (or `status` when it is a 3xx) with this Location. A value
        // starting with "/" is a path on this server; anything else is sent as it is.
        QString redirectTo{};
        // When set: sent as the ETag and the Last-Modified header, and a request that names this
        // ETag in If-None-Match (W/ aside) or, without If-None-Match, sends this Last-Modified
        // as If-Modified-Since is answered 304 without a body. A server that ignores
        // conditional requests sends its ETag in `headers` instead.
        QByteArray etag{};
        QByteArray lastModified{};
        // Extra header lines, for example {"Content-Encoding", "gzip"}.
        QList<QPair<QByteArray, QByteArray>> headers{};
        // When set: sent byte for byte (dripped when asked) in place of the status line, headers
        // and body, for the answers no well-behaved server gives (see hostile_routes.h). Then the
        // connection ends with FIN, or with RST when `reset` is set.
        QByteArray raw{};
        // Holds the last piece of the answer back (TCP_CORK) until the close, so that it and the
        // FIN leave in one segment and the client reads the end of the data and the close at once.
        bool finWithLastBytes = false;
    };

    // One request as the server read it.
    struct Request {
        QByteArray method;
        // The request target as sent, query included ("/a?b=1").
        QString path;
        // When its first bytes reached this machine, as the kernel stamped them: nanoseconds of
        // the wall clock (CLOCK_REALTIME), for the gaps between requests.
        qint64 arrivedNs = 0;
        // Header lines in order; names as sent.
        QList<QPair<QByteArray, QByteArray>> headers;
        // The first header of that name (case-insensitive), or an empty array.
        QByteArray header(const QByteArray &name) const;
    };

    TestServer();
    ~TestServer();
    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;

    // Listens on a free port of 127.0.0.1, or of another loopback address ("127.0.0.2": Linux
    // takes all of 127/8 as its own), so that tests and benchmarks can meet many hosts. False
    // when no socket could be opened.
    bool start(const QString &address = QStringLiteral("127.0.0.1"));
    // Closes the listening socket, breaks off every open connection (hung ones included)
    // and joins all threads. Safe to call twice; start() may be called again afterwards.
    void stop();

    quint16 port() const;
    // "http://ADDRESS:PORT" + path.
    QString url(const QString &path) const;

    // Routes match the request target exactly, then its path without the query.
    // May be changed while the server runs; a connection uses the route it found.
    void setRoute(const QString &path, const Response &response);
    // The answer for paths without a route (404 with a short body unless changed).
    void setDefaultResponse(const Response &response);

    // What was asked so far, in order of arrival; safe to call from any thread.
    QList<Request> requests() const;
    QStringList requestedPaths() const;
    int requestCount() const;
    // Connections accepted so far (a client may retry a request on a new connection).
    int connectionCount() const;
    void clearRequests();
    // Body bytes sent so far (a 304 sends none); cleared with the requests.
    qint64 bodyBytesSent() const;

private:
    struct Connection {
        int fd = -1;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void acceptLoop();
    void serve(Connection *connection);
    Response routeFor(const QString &target) const;
    // Waits for the socket (or only the clock when fd < 0); false once stop() was called.
    bool waitFor(int fd, short events, int timeoutMs) const;
    bool sendAll(int fd, const char *data, qint64 size) const;
    // Sends data at once, or dripped as the response asks.
    bool sendPaced(int fd, const QByteArray &data, const Response &r) const;
    void sendRaw(int fd, const Response &r) const;
    void closeGracefully(int fd) const;
    void reapFinished();

    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    quint16 m_port = 0;
    QString m_address = QStringLiteral("127.0.0.1");
    std::thread m_acceptThread;

    mutable std::mutex m_mutex;
    QHash<QString, Response> m_routes;
    Response m_defaultResponse;
    QList<Request> m_requests;
    int m_connectionCount = 0;
    std::atomic<qint64> m_bodyBytes{0};
    std::list<std::unique_ptr<Connection>> m_connections;
};
