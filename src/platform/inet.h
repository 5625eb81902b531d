#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class CurlMulti;
class QEventLoop;
class QUrl;

// Stand-in for the Internet Transfer Control: one HTTP transfer at a time, made by libcurl.
// Events always arrive later on the UI thread, never inside Execute().
class Inet : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Inet)

public:
    // The state numbers the program acts on; the control's own numbering.
    enum State : short {
        icResolvingHost = 1,
        icRequesting = 5,
        icReceivingResponse = 7,
        icError = 11,
        icResponseCompleted = 12,
    };

    explicit Inet(QObject *parent = nullptr);
    ~Inet() override;

    // Starts a GET and returns at once. Only http and https are fetched; anything else
    // ends in icError (reported later, like every event).
    void Execute(const QString &url, const QString &operation);
    // The body of the completed transfer, at most size bytes, in one piece. Each call goes on
    // where the last one stopped; an empty result means the body is used up (or there is
    // none, before icResponseCompleted and after an error or Cancel).
    QByteArray GetChunk(qint32 size, int dataType);
    // Stops the transfer; no event of it arrives afterwards.
    void Cancel();
    // Fetches the page and returns it as text (CP932 decoded). Blocks: painting goes on,
    // user input waits. Gives up after the time-out. On failure returns "" and Failed() is true.
    // Sends no StateChanged; a transfer of Execute still running is cancelled first.
    QString OpenURL(const QString &url);
    // The address exactly as last given to Execute or OpenURL.
    QString URL() const;

    // Whether the last OpenURL failed, and why (for the log and message boxes). After an
    // icError event of Execute they describe that error too.
    bool Failed() const;
    QString ErrorText() const;
    // Whether the completed body was longer than MaxBody and is held cut at that size.
    bool Cut() const;

    // Bodies are never read past this many bytes.
    static constexpr qint32 MaxBody = 1024000;
    // OpenURL gives up after this many milliseconds; tests may shorten it.
    void setOpenUrlTimeout(int ms);

signals:
    void StateChanged(short State);

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
    void finish(bool completed, const QString &error);
    void dropHop();

    CurlMulti *m_multi = nullptr;
    std::unique_ptr<Hop> m_hop;
    // Redirects followed so far in this transfer.
    int m_redirects = 0;
    QString m_url;
    QByteArray m_body;
    bool m_cut = false;
    qsizetype m_chunkPos = 0;
    // Counts transfers, so that queued work of a cancelled transfer recognises itself.
    quint64 m_generation = 0;
    // The highest state reported for the current transfer.
    short m_state = 0;
    bool m_done = true;
    bool m_completed = false;
    // OpenURL runs the transfer without events and quits this loop at the end.
    bool m_blocking = false;
    QEventLoop *m_loop = nullptr;
    bool m_failed = false;
    QString m_errorText;
    int m_openUrlTimeoutMs = 60000;
};
