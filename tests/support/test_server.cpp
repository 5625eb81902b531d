// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_server.h"

#include <cstring>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr qsizetype MaxRequestHead = 64 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 203: return "Non-Authoritative Information";
    case 204: return "No Content";
    case 205: return "Reset Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 304: return "Not Modified";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 410: return "Gone";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "Status";
    }
}

// Whether a conditional request names what the route's page still is.
bool notModified(const TestServer::Request &request, const TestServer::Response &r)
{
    const auto weakless = [](QByteArray tag) { return tag.startsWith("W/") ? tag.mid(2) : tag; };
    const QByteArray match = request.header("If-None-Match");
    if (!r.etag.isEmpty() && !match.isEmpty()) {
        // A tag may hold a comma itself; a list of plain tags is split.
        if (weakless(match.trimmed()) == weakless(r.etag))
            return true;
        for (const QByteArray &tag : match.split(',')) {
            if (weakless(tag.trimmed()) == weakless(r.etag))
                return true;
        }
        return false;
    }
    return !r.lastModified.isEmpty() && request.header("If-Modified-Since") == r.lastModified;
}

// SO_LINGER 0 turns close() into an RST, the way a crashed or hostile server ends a connection.
void closeWithReset(int fd)
{
    linger lin{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lin, sizeof lin);
    ::close(fd);
}

// Linux keeps corked bytes shorter than a segment until shutdown(), which then sends them with
// the FIN in one segment.
void cork(int fd)
{
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_CORK, &one, sizeof one);
}

} // namespace

QByteArray TestServer::Request::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

TestServer::TestServer()
{
    m_defaultResponse.status = 404;
    m_defaultResponse.body = "<html><body>404 Not Found</body></html>";
}

TestServer::~TestServer()
{
    stop();
}

bool TestServer::start(const QString &address)
{
    stop();
    m_address = address;
    if (::pipe2(m_wakePipe, O_CLOEXEC) != 0)
        return false;
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listenFd < 0) {
        stop();
        return false;
    }
    const int one = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // The kernel stamps what arrives (accepted sockets inherit it), so the time a request came
    // does not depend on when this server's thread got to read it.
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    // Never anything but loopback: the tests talk to no other machine.
    if (::inet_pton(AF_INET, address.toLatin1().constData(), &addr.sin_addr) != 1
        || (ntohl(addr.sin_addr.s_addr) >> 24) != 127) {
        stop();
        return false;
    }
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
        || ::listen(m_listenFd, SOMAXCONN) != 0
        || ::getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        stop();
        return false;
    }
    m_port = ntohs(addr.sin_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
    return true;
}

void TestServer::stop()
{
    // One byte in the pipe that nobody reads wakes every poll for good, hung handlers included.
    if (m_wakePipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wakePipe[1], &byte, 1);
    }
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    for (auto &connection : m_connections)
        connection->thread.join();
    m_connections.clear();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    m_listenFd = -1;
    for (int &fd : m_wakePipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

quint16 TestServer::port() const
{
    return m_port;
}

QString TestServer::url(const QString &path) const
{
    return QStringLiteral("http://%1:%2").arg(m_address).arg(m_port) + path;
}

void TestServer::setRoute(const QString &path, const Response &response)
{
    std::lock_guard lock(m_mutex);
    m_routes.insert(path, response);
}

void TestServer::setDefaultResponse(const Response &response)
{
    std::lock_guard lock(m_mutex);
    m_defaultResponse = response;
}

QList<TestServer::Request> TestServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

QStringList TestServer::requestedPaths() const
{
    std::lock_guard lock(m_mutex);
    QStringList paths;
    for (const Request &r : m_requests)
        paths << r.path;
    return paths;
}

int TestServer::requestCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_requests.size());
}

int TestServer::connectionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_connectionCount;
}

void TestServer::clearRequests()
{
    std::lock_guard lock(m_mutex);
    m_requests.clear();
    m_connectionCount = 0;
    m_bodyBytes = 0;
}

qint64 TestServer::bodyBytesSent() const
{
    return m_bodyBytes;
}

TestServer::Response TestServer::routeFor(const QString &target) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_routes.constFind(target);
    if (it == m_routes.constEnd())
        it = m_routes.constFind(target.section(QLatin1Char('?'), 0, 0));
    return it == m_routes.constEnd() ? m_defaultResponse : *it;
}

bool TestServer::waitFor(int fd, short events, int timeoutMs) const
{
    pollfd fds[2] = {{m_wakePipe[0], POLLIN, 0}, {fd, events, 0}};
    const nfds_t count = fd >= 0 ? 2 : 1;
    for (;;) {
        const int n = ::poll(fds, count, timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        return n >= 0 && !(fds[0].revents & POLLIN);
    }
}

bool TestServer::sendAll(int fd, const char *data, qint64 size) const
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            size -= n;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (!waitFor(fd, POLLOUT, -1))
                return false;
        } else {
            return false; // the client went away
        }
    }
    return true;
}

void TestServer::reapFinished()
{
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        if ((*it)->done) {
            (*it)->thread.join();
            it = m_connections.erase(it);
        } else {
            ++it;
        }
    }
}

void TestServer::acceptLoop()
{
    for (;;) {
        if (!waitFor(m_listenFd, POLLIN, -1))
            return;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        reapFinished();
        {
            std::lock_guard lock(m_mutex);
            ++m_connectionCount;
        }
        auto connection = std::make_unique<Connection>();
        connection->fd = fd;
        Connection *raw = connection.get();
        m_connections.push_back(std::move(connection));
        raw->thread = std::thread([this, raw] {
            serve(raw);
            raw->done = true;
        });
    }
}

void TestServer::serve(Connection *connection)
{
    const int fd = connection->fd;
    QByteArray head;
    char buf[4096];
    qint64 arrivedNs = 0;
    while (!head.contains("\r\n\r\n")) {
        if (head.size() > MaxRequestHead || !waitFor(fd, POLLIN, -1)) {
            ::close(fd);
            return;
        }
        iovec data{buf, sizeof buf};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
        msghdr message{};
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(fd, &message, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            ::close(fd);
            return;
        }
        if (n <= 0)
            continue;
        head.append(buf, n);
        for (cmsghdr *c = CMSG_FIRSTHDR(&message); c && arrivedNs == 0; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                timespec at;
                std::memcpy(&at, CMSG_DATA(c), sizeof at);
                arrivedNs = qint64(at.tv_sec) * 1'000'000'000 + at.tv_nsec;
            }
        }
    }

    Request request;
    request.arrivedNs = arrivedNs;
    const QList<QByteArray> lines = head.left(head.indexOf("\r\n\r\n")).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = QString::fromUtf8(requestLine.value(1));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.append({lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
    }
    {
        std::lock_guard lock(m_mutex);
        m_requests.append(request);
    }
    Response r = routeFor(request.path);
    if (notModified(request, r)) {
        r.status = 304;
        r.body.clear();
    }

    if (r.delayMs > 0 && !waitFor(-1, 0, r.delayMs)) {
        ::close(fd);
        return;
    }
    if (r.hang) {
        waitFor(-1, 0, -1);
        ::close(fd);
        return;
    }
    if (!r.raw.isEmpty()) {
        sendRaw(fd, r);
        return;
    }
    if (r.reset && r.cutAfterBytes < 0) {
        closeWithReset(fd);
        return;
    }
    if (r.closeBeforeHeaders) {
        ::close(fd);
        return;
    }

    int status = r.status;
    QByteArray location;
    if (!r.redirectTo.isEmpty()) {
        if (status < 300 || status > 399)
            status = 302;
        location = (r.redirectTo.startsWith(QLatin1Char('/')) ? url(r.redirectTo) : r.redirectTo).toUtf8();
    }
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    out += "Content-Type: " + r.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n";
    out += "Connection: close\r\n";
    if (!location.isEmpty())
        out += "Location: " + location + "\r\n";
    if (!r.etag.isEmpty())
        out += "ETag: " + r.etag + "\r\n";
    if (!r.lastModified.isEmpty())
        out += "Last-Modified: " + r.lastModified + "\r\n";
    for (const auto &h : r.headers)
        out += h.first + ": " + h.second + "\r\n";
    out += "\r\n";
    if (!sendAll(fd, out.constData(), out.size())) {
        ::close(fd);
        return;
    }

    if (r.cutAfterBytes >= 0) {
        sendAll(fd, r.body.constData(), qMin(r.cutAfterBytes, qint64(r.body.size())));
        if (r.reset) {
            // Let the bytes leave before the RST overtakes them.
            waitFor(-1, 0, 100);
            closeWithReset(fd);
        } else {
            ::close(fd);
        }
        return;
    }

    m_bodyBytes += r.body.size();
    if (sendPaced(fd, r.body, r))
        closeGracefully(fd);
    else
        ::close(fd);
}

bool TestServer::sendPaced(int fd, const QByteArray &data, const Response &r) const
{
    if (r.dripBytes <= 0) {
        if (r.finWithLastBytes)
            cork(fd);
        return sendAll(fd, data.constData(), data.size());
    }
    for (qsizetype at = 0; at < data.size(); at += r.dripBytes) {
        if (at > 0 && !waitFor(-1, 0, r.dripIntervalMs))
            return false;
        if (r.finWithLastBytes && at + r.dripBytes >= data.size())
            cork(fd);
        if (!sendAll(fd, data.constData() + at, qMin<qsizetype>(r.dripBytes, data.size() - at)))
            return false;
    }
    return true;
}

void TestServer::sendRaw(int fd, const Response &r) const
{
    const bool sent = sendPaced(fd, r.raw, r);
    if (sent && r.reset) {
        // Let the bytes leave before the RST overtakes them.
        waitFor(-1, 0, 100);
        closeWithReset(fd);
    } else if (sent) {
        closeGracefully(fd);
    } else {
        ::close(fd);
    }
}

void TestServer::closeGracefully(int fd) const
{
    // FIN first, then read what is left, so close() does not turn into an RST that could
    // destroy the end of the answer still on its way.
    ::shutdown(fd, SHUT_WR);
    char buf[4096];
    while (::recv(fd, buf, sizeof buf, 0) > 0) {
    }
    ::close(fd);
}
