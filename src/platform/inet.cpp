// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/inet.h"

#include "platform/curl_multi.h"

#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <QUrl>

#include <cerrno>
#include <mutex>

namespace {

using Failure = TransferResult::Failure;

constexpr int MaxRedirects = 10;

#define VEKANTO_STR2(x) #x
#define VEKANTO_STR(x) VEKANTO_STR2(x)
constexpr char UserAgent[] = "Vekanto/" VEKANTO_STR(VEKANTO_VERSION_MAJOR) "." VEKANTO_STR(
    VEKANTO_VERSION_MINOR) "." VEKANTO_STR(VEKANTO_VERSION_PATCH);

// Only these final statuses carry the page asked for. Anything else (an error page, an empty
// 204, a 304 to a request that asked nothing of the kind) must never replace a good page.
bool isPageStatus(int status)
{
    return status >= 200 && status <= 203;
}

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The length the server announced: -1 when none, -2 when its Content-Length lines disagree or
// do not read as a length ("100, 100" on one line counts as two lines).
qint64 announcedLength(const QByteArrayList &lines)
{
    qint64 length = -1;
    for (const QByteArray &line : lines) {
        for (const QByteArray &part : line.split(',')) {
            bool ok = false;
            const qint64 value = part.trimmed().toLongLong(&ok);
            if (!ok || value < 0 || (length >= 0 && value != length))
                return -2;
            length = value;
        }
    }
    return length;
}

QString badLength()
{
    return QStringLiteral("サーバーの応答が正しくありません (Content-Length が不正です)");
}

QString brokenEncoding()
{
    return QStringLiteral("サーバーの応答が正しくありません (圧縮されたページが壊れています)");
}

QString timedOut()
{
    return QStringLiteral("時間切れです");
}

// Valid %XX escapes are kept as they are; a "%" that starts none becomes "%25". QUrl's tolerant
// mode would otherwise re-escape every "%" of the address because of one lone "%".
QString escapeLonePercents(const QString &url)
{
    static const QRegularExpression lonePercent(QStringLiteral("%(?![0-9A-Fa-f]{2})"));
    QString escaped = url;
    return escaped.replace(lonePercent, QStringLiteral("%25"));
}

// Why an address cannot be fetched (given, or from a redirect); empty when it can.
QString addressFault(const QUrl &target)
{
    if (!target.isValid() || target.isRelative())
        return QStringLiteral("アドレスが正しくありません");
    const QString scheme = target.scheme().toLower();
    if (scheme != u"http" && scheme != u"https")
        return QStringLiteral("http と https 以外のアドレスは取得できません");
    if (target.host().isEmpty())
        return QStringLiteral("アドレスが正しくありません");
    return {};
}

// The desktop's language first, as browsers ask: "ja-JP,en,*".
QByteArray acceptLanguage()
{
    const QString locale = QLocale::system().name().replace(u'_', u'-');
    if (locale == u"C")
        return "en,*";
    if (locale.startsWith(u"en-"))
        return locale.toLatin1() + ",*";
    return locale.toLatin1() + ",en,*";
}

// Curl takes https through https_proxy or all_proxy only; an http_proxy alone serves https too,
// as on the rest of the desktop. no_proxy still applies.
QByteArray httpsProxyFallback()
{
    for (const char *name : {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            return {};
    }
    return qgetenv("http_proxy");
}

} // namespace

struct Inet::Hop {
    Hop(Inet *owner, const QUrl &address);
    ~Hop();
    Q_DISABLE_COPY_MOVE(Hop)

    static size_t headerLine(char *data, size_t size, size_t count, void *self);
    static size_t bodyBytes(char *data, size_t size, size_t count, void *self);
    static int socketMade(void *self, curl_socket_t fd, curlsocktype purpose);
    static int requestReady(void *self, char *remoteIp, char *localIp, int remotePort, int localPort);
    // At the blank line after an answer's headers: true when the body is not to be read.
    bool headersEnded();
    // Why curl gave up, and what kind of failure that is.
    std::pair<Failure, QString> describe(CURLcode result) const;

    Inet *inet;
    QUrl target;
    CURL *easy = nullptr;
    curl_slist *requestHeaders = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    // The answer being read. A status line starts a new one: interim answers (100, 103) come
    // first and are passed over, as curl does.
    int status = 0;
    QByteArray reason;
    ResponseHeaders headers;
    QByteArrayList lengths;
    bool chunked = false;
    QByteArray location;
    // Set when reading stopped at the headers: why it failed, or where it leads.
    Failure failure = Failure::None;
    QString fault;
    QUrl redirect;
};

Inet::Hop::Hop(Inet *owner, const QUrl &address)
    : inet(owner)
    , target(address)
    , easy(curl_easy_init())
{
    if (!easy)
        qFatal("curl_easy_init failed");
    const QByteArray encoded = target.toEncoded(QUrl::RemoveFragment);
    curl_easy_setopt(easy, CURLOPT_URL, encoded.constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // Redirects are followed by hopEnded, which decides where a page may lead.
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    // Plain HTTP/1.1 connections behave the same on every server.
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_USERAGENT, UserAgent);
    // Nothing compressed is asked for; this line goes out in place of the one curl would make.
    requestHeaders = curl_slist_append(requestHeaders, "Accept-Encoding: identity");
    requestHeaders = curl_slist_append(requestHeaders,
                                       QByteArray("Accept-Language: " + acceptLanguage()).constData());
    requestHeaders = curl_slist_append(requestHeaders, "Accept:"); // curl's own "*/*" is not sent
    // Sent as they were received; a value that would break the request line is not sent at all.
    const auto condition = [this](const char *name, const QByteArray &value) {
        if (!value.isEmpty() && !value.contains('\r') && !value.contains('\n') && !value.contains('\0'))
            requestHeaders = curl_slist_append(requestHeaders, QByteArray(name + value).constData());
    };
    condition("If-None-Match: ", owner->m_validators.etag);
    condition("If-Modified-Since: ", owner->m_validators.lastModified);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, requestHeaders);
    // A server that holds only compressed files sends them compressed all the same. Curl's own
    // decoders (any of this build: gzip, deflate, br) give the page a browser shows and check
    // the stream; "" switches them on without changing the request.
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 1L);
    if (target.scheme().toLower() == u"https") {
        if (const QByteArray proxy = httpsProxyFallback(); !proxy.isEmpty())
            curl_easy_setopt(easy, CURLOPT_PROXY, proxy.constData());
    }
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Hop::headerLine);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Hop::bodyBytes);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &Hop::socketMade);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, this);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Hop::requestReady);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
}

Inet::Hop::~Hop()
{
    curl_easy_cleanup(easy);
    curl_slist_free_all(requestHeaders);
}

size_t Inet::Hop::headerLine(char *data, size_t size, size_t count, void *self)
{
    auto *hop = static_cast<Hop *>(self);
    const size_t length = size * count;
    const QByteArray raw(data, qsizetype(length));
    const QByteArray line = raw.trimmed();
    if (line.startsWith("HTTP/")) {
        const QByteArrayList parts = line.split(' ');
        hop->status = parts.value(1).toInt();
        hop->reason = line.mid(parts.value(0).size() + parts.value(1).size() + 2).trimmed();
        hop->headers = {};
        hop->lengths.clear();
        hop->chunked = false;
        hop->location.clear();
        return length;
    }
    if (line.isEmpty())
        return hop->status >= 200 && hop->headersEnded() ? 0 : length; // 0 stops curl here
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return length;
    const QByteArray name = line.left(colon).trimmed();
    const QByteArray value = line.mid(colon + 1).trimmed();
    hop->headers.append(name, value);
    const QByteArray folded = name.toLower();
    if (folded == "content-length")
        hop->lengths << value;
    else if (folded == "transfer-encoding")
        hop->chunked = hop->chunked || value.toLower().contains("chunked");
    else if (folded == "location")
        hop->location = value;
    return length;
}

bool Inet::Hop::headersEnded()
{
    inet->post(icReceivingResponse);
    // The final answer's status and headers go with the result, page or not.
    TransferResult &result = inet->m_result;
    result.status = status;
    result.reason = reason;
    result.headers = headers;
    // A chunked body carries its own framing, whatever length stands beside it.
    if (!chunked && announcedLength(lengths) == -2) {
        failure = Failure::BadAnswer;
        fault = badLength();
        return true;
    }
    if (isRedirectStatus(status) && !location.isEmpty()) {
        redirect = target.resolved(QUrl::fromEncoded(location, QUrl::TolerantMode));
        return true;
    }
    // curl reads no body after a 304, whatever length it announces.
    if (status == 304 && !inet->m_validators.isEmpty())
        return false;
    if (!isPageStatus(status)) {
        failure = Failure::Status;
        fault = result.statusText();
        return true;
    }
    return false;
}

size_t Inet::Hop::bodyBytes(char *data, size_t size, size_t count, void *self)
{
    TransferResult &result = static_cast<Hop *>(self)->inet->m_result;
    const size_t length = size * count;
    // One byte past the limit tells a page cut at the limit from one that is exactly as long.
    result.body.append(data, qMin(qsizetype(length), Inet::MaxBody + 1 - result.body.size()));
    if (result.body.size() <= Inet::MaxBody)
        return length;
    // The rest of a page past the limit is never read: the page counts as complete as cut.
    result.body.truncate(Inet::MaxBody);
    result.cut = true;
    return 0;
}

int Inet::Hop::socketMade(void *self, curl_socket_t fd, curlsocktype purpose)
{
    Q_UNUSED(fd)
    Q_UNUSED(purpose)
    static_cast<Hop *>(self)->inet->post(icRequesting);
    return CURL_SOCKOPT_OK;
}

int Inet::Hop::requestReady(void *self, char *remoteIp, char *localIp, int remotePort, int localPort)
{
    Q_UNUSED(remoteIp)
    Q_UNUSED(localIp)
    Q_UNUSED(remotePort)
    Q_UNUSED(localPort)
    static_cast<Hop *>(self)->inet->post(icRequestSent);
    return CURL_PREREQFUNC_OK;
}

std::pair<Failure, QString> Inet::Hop::describe(CURLcode result) const
{
    switch (result) {
    case CURLE_COULDNT_CONNECT: {
        long osErrno = 0;
        curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osErrno);
        if (osErrno == ECONNREFUSED)
            return {Failure::Connection, QStringLiteral("接続を拒否されました")};
        break;
    }
    case CURLE_COULDNT_RESOLVE_HOST:
        return {Failure::Connection, QStringLiteral("ホストが見つかりません")};
    // Closed or reset before the answer was whole: too short for its length, or chunks
    // without their closing empty chunk.
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return {Failure::Connection, QStringLiteral("接続が切られました")};
    case CURLE_OPERATION_TIMEDOUT:
        return {Failure::TimedOut, timedOut()};
    // A handshake that broke off says nothing of the certificate: often the port speaks no TLS.
    case CURLE_SSL_CONNECT_ERROR:
        return {Failure::Connection, QStringLiteral("SSL で接続できませんでした")};
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
        return {Failure::Connection, QStringLiteral("SSL の証明書を確認できません")};
    // A compressed body that does not decode (not what its Content-Encoding says, a check that
    // fails), or in an encoding curl has no decoder for.
    case CURLE_BAD_CONTENT_ENCODING:
        if (QByteArray(errorBuffer).contains("Unrecognized content encoding")) {
            return {Failure::BadAnswer,
                    QStringLiteral("サーバーの応答が正しくありません (展開できない圧縮形式です: %1)")
                        .arg(QString::fromLatin1(headers.value("Content-Encoding").value_or(QByteArray())))};
        }
        return {Failure::BadAnswer, brokenEncoding()};
    // Our own callbacks stop curl only at the headers or at the cap, both handled before: this is
    // curl's decoder meeting bytes after the end of the compressed stream.
    case CURLE_WRITE_ERROR:
        if (headers.value("Content-Encoding"))
            return {Failure::BadAnswer, brokenEncoding()};
        break;
    case CURLE_WEIRD_SERVER_REPLY:
        // Curl refuses a Content-Length that is no number before the headers reach us.
        if (QByteArray(errorBuffer).contains("Content-Length"))
            return {Failure::BadAnswer, badLength()};
        return {Failure::BadAnswer, QStringLiteral("サーバーの応答が正しくありません")};
    default:
        break;
    }
    return {Failure::Connection, errorBuffer[0] ? QString::fromLocal8Bit(errorBuffer)
                                                : QString::fromLatin1(curl_easy_strerror(result))};
}

Inet::Inet(QObject *parent)
    : QObject(parent)
{
    // Before any thread of curl's runs (its name lookups).
    static std::once_flag curlOnce;
    std::call_once(curlOnce, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    qRegisterMetaType<TransferResult>();
    // One per transfer object, so each keeps its own connection to the host: all ten
    // transfers of a run may go to the same one.
    m_multi = new CurlMulti(this);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (!m_done)
            fail(Failure::TimedOut, timedOut());
    });
}

Inet::~Inet()
{
    Cancel();
}

void Inet::Execute(const QString &url, const QString &operation)
{
    Execute(url, operation, {});
}

void Inet::Execute(const QString &url, const QString &operation, const Validators &validators)
{
    Cancel();
    m_url = url;
    m_validators = validators;
    const quint64 generation = m_generation;

    QString error;
    if (operation.compare(QLatin1String("GET"), Qt::CaseInsensitive) != 0)
        error = QStringLiteral("GET 以外の操作はできません");
    else
        startRequest(url, &error);
    if (error.isEmpty() && m_timeoutMs > 0)
        m_deadline.start(m_timeoutMs);

    // Events never arrive inside Execute: callers set up their slot state after calling it.
    QMetaObject::invokeMethod(
        this,
        [this, generation, error] {
            if (generation != m_generation || m_done)
                return;
            if (error.isEmpty())
                advance(icResolvingHost);
            else
                fail(Failure::Address, error);
        },
        Qt::QueuedConnection);
    if (!error.isEmpty())
        m_done = false; // the queued call reports it
}

void Inet::Cancel()
{
    ++m_generation;
    dropHop();
    m_deadline.stop();
    m_redirects = 0;
    m_result = {};
    m_state = 0;
    m_done = true;
}

QString Inet::URL() const
{
    return m_url;
}

void Inet::setTimeout(int ms)
{
    m_timeoutMs = ms;
}

bool Inet::startRequest(const QString &url, QString *error)
{
    const QUrl target(escapeLonePercents(url), QUrl::TolerantMode);
    if (const QString fault = addressFault(target); !fault.isEmpty()) {
        *error = fault;
        return false;
    }
    m_done = false;
    startHop(target);
    return true;
}

void Inet::startHop(const QUrl &target)
{
    dropHop();
    // Status and headers are the final answer's: a redirect's are forgotten.
    m_result.status = 0;
    m_result.reason.clear();
    m_result.headers = {};
    m_hop = std::make_unique<Hop>(this, target);
    m_multi->add(m_hop->easy, [this](CURLcode result) { hopEnded(result); });
}

void Inet::post(short state)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation = m_generation, state] {
            if (generation == m_generation)
                advance(state);
        },
        Qt::QueuedConnection);
}

void Inet::hopEnded(int result)
{
    // fail() and startHop() end the hop: what is needed of it is copied first.
    const Failure failure = m_hop->failure;
    const QString fault = m_hop->fault;
    const QUrl redirect = m_hop->redirect;
    if (!fault.isEmpty()) {
        fail(failure, fault);
    } else if (!redirect.isEmpty()) {
        const QString redirectFault = addressFault(redirect);
        if (++m_redirects > MaxRedirects)
            fail(Failure::BadAnswer, QStringLiteral("転送 (リダイレクト) が多すぎます"));
        else if (!redirectFault.isEmpty())
            fail(Failure::Address, redirectFault);
        else if (m_hop->target.scheme().toLower() == u"https" && redirect.scheme().toLower() == u"http")
            fail(Failure::Address, QStringLiteral("安全でない転送先です"));
        else
            startHop(redirect);
    } else if (m_result.cut || result == CURLE_OK) {
        finish();
    } else {
        const auto [kind, text] = m_hop->describe(CURLcode(result));
        fail(kind, text);
    }
}

void Inet::advance(short state)
{
    if (m_done || state <= m_state)
        return;
    const quint64 generation = m_generation;
    if (m_state < icResolvingHost && state != icResolvingHost) {
        m_state = icResolvingHost;
        QPointer<Inet> self(this);
        emit StateChanged(icResolvingHost);
        // A slot may have deleted this object, or cancelled or restarted the transfer.
        if (!self || generation != m_generation || m_done)
            return;
    }
    m_state = state;
    emit StateChanged(state);
}

// A failed transfer hands over no page; what it learnt of the answer stays.
void Inet::fail(Failure failure, const QString &error)
{
    m_result.failure = failure;
    m_result.error = error;
    m_result.body.clear();
    m_result.cut = false;
    finish();
}

void Inet::finish()
{
    dropHop();
    m_deadline.stop();
    m_done = true;
    // The object keeps nothing of an ended transfer: the result is the caller's now.
    TransferResult result = std::exchange(m_result, {});
    if (result.notModified())
        result.body.clear();
    const quint64 generation = m_generation;
    if (m_state < icResolvingHost) {
        m_state = icResolvingHost;
        QPointer<Inet> self(this);
        emit StateChanged(icResolvingHost);
        if (!self || generation != m_generation)
            return;
    }
    emit finished(result);
}

void Inet::dropHop()
{
    if (!m_hop)
        return;
    m_multi->remove(m_hop->easy);
    m_hop.reset();
}
