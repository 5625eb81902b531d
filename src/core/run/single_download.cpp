#include "core/run/download_run.h"

#include "core/run/address_rule.h"
#include "core/run/run_log.h"
#include "core/run/run_texts.h"
#include "platform/inet.h"

bool DownloadRun::fetchOne(const EntryTable &entries, int n, const QString &dataDir)
{
    const QString name = entries.EntryName(n);
    const auto fullAddress = [&] {
        return entries.EntryAddress(n) + ExpandRule(entries.EntryRule(n));
    };
    m_log.append(logline::RunStart());
    emit slotStarting(1);
    m_log.append(logline::EntryStart(name));
    emit statusChanged(1, RunText::Connecting + QLatin1String(" (") + name + QLatin1Char(')'));

    Inet *inet = m_slots.Inet1(1);
    inet->OpenURL(fullAddress());
    if (inet->Failed()) {
        m_log.append(logline::EntryFailed(name, inet->ErrorText()));
        return false;
    }
    // The address is built a second time and must be the one that was fetched.
    if (fullAddress().compare(inet->URL(), Qt::CaseInsensitive) != 0)
        return false;
    // The page is stored as the full run stores it: the bytes as received, the page it
    // replaces kept in the dated folder.
    if (!storeBody(1, name, dataDir))
        return false;
    emit statusChanged(1, RunText::Idle);
    return true;
}
