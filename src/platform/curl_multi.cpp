// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/curl_multi.h"

#include <QSocketNotifier>

#include <limits>

CurlMulti::CurlMulti(QObject *parent)
    : QObject(parent)
    , m_multi(curl_multi_init())
{
    if (!m_multi)
        qFatal("curl_multi_init failed");
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlMulti::socketCallback);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlMulti::timerCallback);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);

    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
}

CurlMulti::~CurlMulti()
{
    // Closing the connections curl keeps must not call back into a half-destroyed object.
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, nullptr);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, nullptr);
    for (auto it = m_transfers.cbegin(); it != m_transfers.cend(); ++it)
        curl_multi_remove_handle(m_multi, it.key());
    for (auto it = m_watches.cbegin(); it != m_watches.cend(); ++it) {
        delete it->read;
        delete it->write;
    }
    curl_multi_cleanup(m_multi);
}

void CurlMulti::add(CURL *easy, Done done)
{
    m_transfers.insert(easy, {std::move(done), ++m_serial});
    // Curl asks for a time-out of 0 here, so the transfer starts from the event loop.
    if (const CURLMcode code = curl_multi_add_handle(m_multi, easy); code != CURLM_OK) {
        const quint64 serial = m_serial;
        QMetaObject::invokeMethod(
            this, [this, easy, serial] { deliver(easy, serial, CURLE_FAILED_INIT); }, Qt::QueuedConnection);
    }
}

void CurlMulti::remove(CURL *easy)
{
    m_transfers.remove(easy);
    curl_multi_remove_handle(m_multi, easy);
}

int CurlMulti::socketCallback(CURL *easy, curl_socket_t fd, int what, void *self, void *socketData)
{
    Q_UNUSED(easy)
    Q_UNUSED(socketData)
    auto *multi = static_cast<CurlMulti *>(self);
    if (what == CURL_POLL_REMOVE)
        multi->unwatch(fd);
    else
        multi->watch(fd, what);
    return 0;
}

int CurlMulti::timerCallback(CURLM *multi, long timeoutMs, void *self)
{
    Q_UNUSED(multi)
    QTimer &timer = static_cast<CurlMulti *>(self)->m_timer;
    // Curl must not be called from its own callback: even a time-out of 0 goes through the loop.
    if (timeoutMs < 0)
        timer.stop();
    else
        timer.start(int(qMin<long>(timeoutMs, std::numeric_limits<int>::max())));
    return 0;
}

void CurlMulti::watch(curl_socket_t fd, int what)
{
    Watch &w = m_watches[fd];
    const auto notifier = [this, fd](QSocketNotifier *&n, QSocketNotifier::Type type, int events) {
        if (!n) {
            n = new QSocketNotifier(fd, type, this);
            connect(n, &QSocketNotifier::activated, this, [this, fd, events] { act(fd, events); });
        }
        return n;
    };
    const bool in = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    const bool out = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    if (in || w.read)
        notifier(w.read, QSocketNotifier::Read, CURL_CSELECT_IN)->setEnabled(in);
    if (out || w.write)
        notifier(w.write, QSocketNotifier::Write, CURL_CSELECT_OUT)->setEnabled(out);
}

void CurlMulti::unwatch(curl_socket_t fd)
{
    const Watch w = m_watches.take(fd);
    // Curl closes the socket next, and this may run inside the notifier's own signal.
    for (QSocketNotifier *n : {w.read, w.write}) {
        if (n) {
            n->setEnabled(false);
            n->deleteLater();
        }
    }
}

void CurlMulti::act(curl_socket_t fd, int events)
{
    int running = 0;
    curl_multi_socket_action(m_multi, fd, events, &running);
    int left = 0;
    while (const CURLMsg *message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL *easy = message->easy_handle;
        const CURLcode result = message->data.result;
        const auto it = m_transfers.constFind(easy);
        if (it == m_transfers.cend())
            continue;
        const quint64 serial = it->serial;
        // Reported from the event loop, where the receiver may restart, stop or delete anything.
        QMetaObject::invokeMethod(
            this, [this, easy, serial, result] { deliver(easy, serial, result); }, Qt::QueuedConnection);
    }
}

void CurlMulti::deliver(CURL *easy, quint64 serial, CURLcode result)
{
    const auto it = m_transfers.find(easy);
    if (it == m_transfers.end() || it->serial != serial)
        return;
    const Done done = std::move(it->done);
    m_transfers.erase(it);
    done(result); // may delete this object: nothing after it
}
