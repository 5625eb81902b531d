#include "platform/inet.h"

#include "platform/codepage.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

#include <mutex>

namespace {

// Bounds what Qt buffers ahead of our reads, so a huge page never sits in memory whole.
constexpr qint64 ReadBufferSize = 64 * 1024;
constexpr int MaxRedirects = 10;

#define VEKANTO_STR2(x) #x
#define VEKANTO_STR(x) VEKANTO_STR2(x)
constexpr char UserAgent[] = "Vekanto/" VEKANTO_STR(VEKANTO_VERSION_MAJOR) "." VEKANTO_STR(
    VEKANTO_VERSION_MINOR) "." VEKANTO_STR(VEKANTO_VERSION_PATCH);

// Only these final statuses carry the page asked for. Anything else (an error page, an empty
// 204, a 304 that was not followed) must never replace a good page.
bool isPageStatus(int status)
{
    return status >= 200 && status <= 203;
}

// Qt turns HTTP error statuses into reply errors; the status decides them for us.
bool isHttpStatusError(const QNetworkReply *reply)
{
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() < 400)
        return false;
    const int e = reply->error();
    return (e >= QNetworkReply::ContentAccessDenied && e <= QNetworkReply::UnknownContentError)
           || e == QNetworkReply::ProtocolInvalidOperationError
           || (e >= QNetworkReply::InternalServerError && e <= QNetworkReply::UnknownServerError);
}

// "404 Not Found" for a final status that is not a page, else empty.
QString statusFailure(const QNetworkReply *reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || isPageStatus(status.toInt()))
        return {};
    const QByteArray phrase = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
    return phrase.isEmpty() ? QString::number(status.toInt())
                            : QString::number(status.toInt()) + u' ' + QString::fromLatin1(phrase);
}

bool isChunked(const QNetworkReply *reply)
{
    return reply->rawHeader("Transfer-Encoding").toLower().contains("chunked");
}

// The length the server announced: -1 when none, -2 when its Content-Length lines disagree or
// do not read as a length. Qt joins repeated lines with ", " and takes the first.
qint64 announcedLength(const QNetworkReply *reply)
{
    if (!reply->hasRawHeader("Content-Length"))
        return -1;
    qint64 length = -1;
    for (const QByteArray &part : reply->rawHeader("Content-Length").split(',')) {
        bool ok = false;
        const qint64 value = part.trimmed().toLongLong(&ok);
        if (!ok || value < 0 || (length >= 0 && value != length))
            return -2;
        length = value;
    }
    return length;
}

// What makes an answer unusable before its body is looked at; empty when nothing.
QString answerFault(const QNetworkReply *reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return {};
    // Qt ends the reply at an interim answer (102, 103) and drops the real one behind it.
    if (status.toInt() < 200)
        return QStringLiteral("サーバーの応答が正しくありません (状態 %1)").arg(status.toInt());
    // A chunked body carries its own framing, whatever length stands beside it.
    if (!isChunked(reply) && announcedLength(reply) == -2)
        return QStringLiteral("サーバーの応答が正しくありません (Content-Length が不正です)");
    return {};
}

// Qt may report a connection cut in the middle of the body as a normal end, so the length the
// server announced is checked. Bodies arrive as sent (no decoding), so that length holds for all.
bool isCutShort(const QNetworkReply *reply, qint64 received)
{
    if (isChunked(reply))
        return false;
    const qint64 announced = announcedLength(reply);
    return announced >= 0 && received < announced;
}

// Valid %XX escapes are kept as they are; a "%" that starts none becomes "%25". QUrl's tolerant
// mode would otherwise re-escape every "%" of the address because of one lone "%".
QString escapeLonePercents(const QString &url)
{
    static const QRegularExpression lonePercent(QStringLiteral("%(?![0-9A-Fa-f]{2})"));
    QString escaped = url;
    return escaped.replace(lonePercent, QStringLiteral("%25"));
}

QString describe(const QNetworkReply *reply)
{
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("接続を拒否されました");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("ホストが見つかりません");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("接続が切られました");
    case QNetworkReply::TimeoutError:
        return QStringLiteral("時間切れです");
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("転送 (リダイレクト) が多すぎます");
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("安全でない転送先です");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("SSL の証明書を確認できません");
    default:
        return reply->errorString();
    }
}

} // namespace

Inet::Inet(QObject *parent)
    : QObject(parent)
    // One manager per transfer object: Qt opens at most six connections per host and
    // manager, and all ten transfers of a run may go to the same host.
    , m_manager(new QNetworkAccessManager(this))
{
    static std::once_flag proxyOnce;
    std::call_once(proxyOnce, [] { QNetworkProxyFactory::setUseSystemConfiguration(true); });
}

Inet::~Inet()
{
    Cancel();
}

void Inet::Execute(const QString &url, const QString &operation)
{
    Cancel();
    m_url = url;
    m_blocking = false;
    const quint64 generation = m_generation;

    QString error;
    if (operation.compare(QLatin1String("GET"), Qt::CaseInsensitive) != 0)
        error = QStringLiteral("GET 以外の操作はできません");
    else
        startRequest(url, &error);

    // Events never arrive inside Execute: callers set up their slot state after calling it.
    QMetaObject::invokeMethod(
        this,
        [this, generation, error] {
            if (generation != m_generation || m_done)
                return;
            if (error.isEmpty())
                advance(icResolvingHost);
            else
                finish(false, error);
        },
        Qt::QueuedConnection);
    if (!error.isEmpty())
        m_done = false; // the queued call reports it
}

QByteArray Inet::GetChunk(qint32 size, int dataType)
{
    Q_UNUSED(dataType) // text and bytes are the same bytes here
    if (!m_completed || size <= 0)
        return {};
    const QByteArray part = m_body.mid(m_chunkPos, size);
    m_chunkPos += part.size();
    return part;
}

void Inet::Cancel()
{
    ++m_generation;
    dropReply();
    m_body.clear();
    m_cut = false;
    m_chunkPos = 0;
    m_state = 0;
    m_done = true;
    m_completed = false;
    m_failed = false;
    m_errorText.clear();
    if (m_loop)
        m_loop->quit();
}

QString Inet::OpenURL(const QString &url)
{
    Cancel();
    m_url = url;
    m_blocking = true;
    const quint64 generation = m_generation;

    QString error;
    if (!startRequest(url, &error)) {
        m_blocking = false;
        m_failed = true;
        m_errorText = error;
        return {};
    }

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(m_openUrlTimeoutMs);
    m_loop = &loop;
    QPointer<Inet> self(this);
    // Painting and network go on while the user's clicks and keys wait.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!self)
        return {};
    if (m_loop == &loop)
        m_loop = nullptr;

    if (generation != m_generation) {
        // Cancelled, or replaced by another transfer while waiting.
        m_failed = true;
        m_errorText = QStringLiteral("中止しました");
        return {};
    }
    m_blocking = false;
    if (!m_done) {
        dropReply();
        m_done = true;
        m_failed = true;
        m_errorText = QStringLiteral("時間切れです");
        return {};
    }
    if (m_failed)
        return {};
    return codepage::fromAnsi(m_body);
}

QString Inet::URL() const
{
    return m_url;
}

bool Inet::Failed() const
{
    return m_failed;
}

bool Inet::Cut() const
{
    return m_cut;
}

QString Inet::ErrorText() const
{
    return m_errorText;
}

void Inet::setOpenUrlTimeout(int ms)
{
    m_openUrlTimeoutMs = ms;
}

bool Inet::startRequest(const QString &url, QString *error)
{
    const QUrl target(escapeLonePercents(url), QUrl::TolerantMode);
    const QString scheme = target.scheme().toLower();
    if (!target.isValid() || target.isRelative()) {
        *error = QStringLiteral("アドレスが正しくありません");
        return false;
    }
    if (scheme != u"http" && scheme != u"https") {
        *error = QStringLiteral("http と https 以外のアドレスは取得できません");
        return false;
    }
    if (target.host().isEmpty()) {
        *error = QStringLiteral("アドレスが正しくありません");
        return false;
    }

    QNetworkRequest request(target);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    // Plain HTTP/1.1 connections, one per transfer, behave the same on every server.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(UserAgent));
    // The page is stored as the server sent it. Asking for compression would hand the bodies to
    // Qt's decoder, which takes a cut or broken stream for a whole page.
    request.setRawHeader("Accept-Encoding", "identity");

    m_done = false;
    QNetworkReply *reply = m_manager->get(request);
    reply->setReadBufferSize(ReadBufferSize);
    m_reply = reply;
    connect(reply, &QNetworkReply::socketStartedConnecting, this, [this, reply] {
        if (reply == m_reply)
            advance(icRequesting);
    });
    connect(reply, &QNetworkReply::requestSent, this, [this, reply] {
        if (reply == m_reply)
            advance(icRequesting);
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        if (reply == m_reply)
            advance(icReceivingResponse);
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        if (reply == m_reply)
            readBody(reply);
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { replyFinished(reply); });
    return true;
}

bool Inet::readBody(QNetworkReply *reply)
{
    if (const QString fault = answerFault(reply); !fault.isEmpty()) {
        finish(false, fault);
        return true;
    }
    // One byte past the limit tells a page cut at the limit from one that is exactly as long.
    while (m_body.size() <= MaxBody) {
        const QByteArray part = reply->read(MaxBody + 1 - m_body.size());
        if (part.isEmpty())
            break;
        m_body += part;
    }
    if (m_body.size() <= MaxBody)
        return false;
    // The rest of a page past the limit is never read: the page counts as complete as cut.
    m_body.truncate(MaxBody);
    m_cut = true;
    const QString failure = statusFailure(reply);
    finish(failure.isEmpty(), failure);
    return true;
}

void Inet::replyFinished(QNetworkReply *reply)
{
    if (reply != m_reply)
        return;
    if (readBody(reply))
        return;
    if (reply->error() != QNetworkReply::NoError && !isHttpStatusError(reply))
        finish(false, describe(reply));
    else if (const QString failure = statusFailure(reply); !failure.isEmpty())
        finish(false, failure);
    else if (isCutShort(reply, m_body.size()))
        finish(false, QStringLiteral("接続が切られました"));
    else
        finish(true, {});
}

void Inet::advance(short state)
{
    if (m_done || state <= m_state)
        return;
    const quint64 generation = m_generation;
    if (m_state < icResolvingHost && state != icResolvingHost) {
        m_state = icResolvingHost;
        if (!m_blocking) {
            QPointer<Inet> self(this);
            emit StateChanged(icResolvingHost);
            // A slot may have deleted this object, or cancelled or restarted the transfer.
            if (!self || generation != m_generation || m_done)
                return;
        }
    }
    m_state = state;
    if (!m_blocking)
        emit StateChanged(state);
}

void Inet::finish(bool completed, const QString &error)
{
    dropReply();
    m_done = true;
    m_completed = completed;
    m_chunkPos = 0;
    if (!completed) {
        m_body.clear();
        m_cut = false;
        m_failed = true;
        m_errorText = error;
    }
    if (m_blocking) {
        if (m_loop)
            m_loop->quit();
        return;
    }
    const quint64 generation = m_generation;
    if (m_state < icResolvingHost) {
        m_state = icResolvingHost;
        QPointer<Inet> self(this);
        emit StateChanged(icResolvingHost);
        if (!self || generation != m_generation)
            return;
    }
    m_state = completed ? icResponseCompleted : icError;
    emit StateChanged(m_state);
}

void Inet::dropReply()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    // Disconnect before abort: abort() emits finished at once, and no event of a stopped
    // transfer may reach the program.
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
}
