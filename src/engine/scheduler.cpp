#include "app/frm_vekmain.h"

#include "editor/address_rule.h"
#include "engine/engine_texts.h"
#include "engine/frm_VEKDL.h"
#include "engine/page_store.h"
#include "engine/timeout_text.h"
#include "platform/clock.h"
#include "platform/inet.h"
#include "platform/msgbox.h"
#include "platform/vbtimer.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Addresses shorter than this cannot be a full http address and are skipped silently.
constexpr int MinAddressLength = 8;

QString Named(const QString &status, const QString &name)
{
    return status + QLatin1String(" (") + name + QLatin1Char(')');
}

class TickGuard
{
public:
    explicit TickGuard(bool &flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~TickGuard() { m_flag = false; }
    Q_DISABLE_COPY_MOVE(TickGuard)

private:
    bool &m_flag;
};

} // namespace

// One tick: start at most one entry, move the cursor (or end the run), enforce time-outs.
void frm_vekmain::Timer1_Timer()
{
    if (TickRunning)
        return;
    frm_VEKDL *dialog = Progress();
    auto runActive = [this, dialog] {
        return Timer1->Interval() != 0 && !dialog->Command2->isEnabled();
    };
    if (!runActive())
        return;
    const TickGuard guard(TickRunning);

    const int c = RunCursor;
    bool allBusy = false;
    // Rows past EntryCount are not part of the list; with a full table row 101 does not exist.
    if (c >= 1 && c <= Entries.EntryCount && EntryTable::isValid(c)
        && Entries.EntryAddress(c).size() >= MinAddressLength) {
        int n = SlotBusy.lower;
        while (n <= SlotBusy.upper && SlotBusy(n) != 0)
            ++n;
        const QString name = Entries.EntryName(c);
        if (n > SlotBusy.upper) {
            // The cursor waits for a free slot; time-outs below must still run, or ten hung
            // transfers would stop the run for good.
            allBusy = true;
        } else if (!pagestore::IsSafeName(name)) {
            dialog->AppendLog(EngineText::CrLf + name + EngineText::BadName + vclock::Time()
                              + QLatin1Char(')'));
        } else {
            Text1(n)->clear();
            QCoreApplication::processEvents();
            // STOP may have been clicked meanwhile.
            if (!runActive())
                return;
            dialog->AppendLog(EngineText::CrLf + name + EngineText::EntryStart + vclock::Time()
                              + QLatin1Char(')'));
            dialog->SetStatus(n, Named(EngineText::Connecting, name));
            Inet1(n)->Execute(Entries.EntryAddress(c) + ExpandRule(Entries.EntryRule(c)),
                              QStringLiteral("GET"));
            SlotStart(n) = qRound(vclock::Timer());
            SlotStartedMs(n) = vclock::now().toMSecsSinceEpoch();
            SlotBusy(n) = 1;
            SlotEntry(n) = c;
        }
    }

    if (!allBusy) {
        if (c <= Entries.EntryCount) {
            dialog->tree_cnt->setText(QStringLiteral("%1/%2").arg(c).arg(Entries.EntryCount));
            RunCursor = c + 1;
        } else {
            int busy = 0;
            for (qint32 b : SlotBusy)
                busy += b;
            if (busy == 0) {
                dialog->AppendLog(EngineText::CrLf + EngineText::CrLf + EngineText::RunEnd
                                  + vclock::Date() + QLatin1Char(' ') + vclock::Time()
                                  + EngineText::RunClose);
                Timer1->setInterval(0);
                EndProgress(EngineText::Finished);
                return;
            }
        }
    }

    const qint64 limitMs = qint64(engine::TimeoutSeconds(Text4->text())) * 1000;
    for (int n = SlotBusy.lower; n <= SlotBusy.upper; ++n) {
        if (SlotBusy(n) != 1)
            continue;
        // Elapsed time on the full clock: seconds since midnight wrap at midnight.
        if (vclock::now().toMSecsSinceEpoch() - SlotStartedMs(n) <= limitMs)
            continue;
        QCoreApplication::processEvents();
        // The page may have been stored, or STOP clicked, while events ran.
        if (SlotBusy(n) != 1)
            continue;
        Inet1(n)->Cancel();
        dialog->AppendLog(EngineText::CrLf + Entries.EntryName(SlotEntry(n))
                          + EngineText::EntryTimedOut + vclock::Time() + QLatin1Char(')'));
        SlotBusy(n) = 0;
        SlotEntry(n) = 0;
        SlotStart(n) = 0;
        SlotStartedMs(n) = 0;
        QCoreApplication::processEvents();
        Inet1(n)->Cancel();
        QCoreApplication::processEvents();
    }
}

void frm_vekmain::AllCancel()
{
    frm_VEKDL *dialog = Progress();
    for (int n = SlotBusy.lower; n <= SlotBusy.upper; ++n) {
        QCoreApplication::processEvents();
        Inet1(n)->Cancel();
        Inet1(n)->Cancel();
        SlotEntry(n) = 0;
        SlotBusy(n) = 0;
        dialog->SetStatus(n, EngineText::Idle);
    }
}

QString frm_vekmain::ExpandRule(const QString &rule) const
{
    return ::ExpandRule(rule, RuleCompare::IgnoreCase);
}
