// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QObject>
#include <QTimer>

#include <curl/curl.h>

#include <functional>

class QSocketNotifier;

// Runs curl transfers in Qt's event loop: curl names the sockets and the time-out it waits for,
// and socket notifiers and one timer hand them back. No thread, no polling.
class CurlMulti : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CurlMulti)

public:
    using Done = std::function<void(CURLcode)>;

    explicit CurlMulti(QObject *parent = nullptr);
    ~CurlMulti() override;

    // Starts easy. done is called once, later from the event loop with the transfer's result;
    // never inside a curl call, so it may remove the transfer or delete this object.
    void add(CURL *easy, Done done);
    // Stops easy; its done is not called afterwards. Never call it from a curl callback.
    void remove(CURL *easy);

private:
    struct Watch {
        QSocketNotifier *read = nullptr;
        QSocketNotifier *write = nullptr;
    };
    struct Transfer {
        Done done;
        // Tells a transfer from a later one that curl handed the same address.
        quint64 serial = 0;
    };

    static int socketCallback(CURL *easy, curl_socket_t fd, int what, void *self, void *socketData);
    static int timerCallback(CURLM *multi, long timeoutMs, void *self);
    void watch(curl_socket_t fd, int what);
    void unwatch(curl_socket_t fd);
    void act(curl_socket_t fd, int events);
    void deliver(CURL *easy, quint64 serial, CURLcode result);

    CURLM *m_multi = nullptr;
    QTimer m_timer;
    QHash<curl_socket_t, Watch> m_watches;
    QHash<CURL *, Transfer> m_transfers;
    quint64 m_serial = 0;
};
