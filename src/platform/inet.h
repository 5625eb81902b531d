// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/transfer_result.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class CurlMulti;
class QUrl;

// Stand-in for the Internet Transfer Control: one HTTP transfer at a time, made by libcurl.
// A transfer reports its progress as the control's state numbers and ends with one
// finished(result) carrying everything it got. Events always arrive later on the UI thread,
// never inside Execute().
class Inet : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Inet)

public:
    // The states reported on the way, in the control's own numbering.
    enum State : short {
        icResolvingHost = 1,
        icRequesting = 5,
        // Connected, the request about to go out.
        icRequestSent = 6,
        icReceivingResponse = 7,
    };

    // Bodies are never read past this many bytes: a longer page is kept cut at it.
    static constexpr qint32 MaxBody = 1024000;

    explicit Inet(QObject *parent = nullptr);
    ~Inet() override;

    // Starts a GET and returns at once. Only http and https are fetched; anything else
    // ends in a failed result (reported later, like every event).
    void Execute(const QString &url, const QString &operation);
    // The same as a conditional GET: If-None-Match and If-Modified-Since carry the validators
    // as given (every hop of it), and a 304 then ends the transfer as a success without a
    // body. Empty validators make it a plain GET, to which a 304 is a failure.
    void Execute(const QString &url, const QString &operation, const Validators &validators);
    // Stops the transfer; no event of it arrives afterwards.
    void Cancel();
    // The address exactly as last given to Execute.
    QString URL() const;
    // Transfers started from now on end as timed out after ms milliseconds; 0 (the default)
    // sets no limit of their own.
    void setTimeout(int ms);

signals:
    // icResolvingHost first, then icRequesting, icRequestSent and icReceivingResponse as they
    // come; each at most once per transfer, and always before finished.
    void StateChanged(short State);
    // The transfer has ended; the object may be given a new one from here.
    void finished(const TransferResult &result);

private:
    // One request of the transfer on its curl handle: the first, or one after a redirect.
    // Its curl callbacks only take note; states are posted, never emitted inside curl.
    struct Hop;

    bool startRequest(const QString &url, QString *error);
    void startHop(const QUrl &target);
    // Reports a state later from the event loop.
    void post(short state);
    void hopEnded(int result);
    void advance(short state);
    void fail(TransferResult::Failure failure, const QString &error);
    void finish();
    void dropHop();

    CurlMulti *m_multi = nullptr;
    std::unique_ptr<Hop> m_hop;
    // Redirects followed so far in this transfer.
    int m_redirects = 0;
    QString m_url;
    // What the current transfer sends back; empty for a plain GET.
    Validators m_validators;
    // What the transfer has got so far; handed over whole at its end.
    TransferResult m_result;
    // Counts transfers, so that queued work of a cancelled transfer recognises itself.
    quint64 m_generation = 0;
    // The highest state reported for the current transfer.
    short m_state = 0;
    bool m_done = true;
    int m_timeoutMs = 0;
    QTimer m_deadline;
};
