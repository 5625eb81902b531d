#include "core/run/download_run.h"

#include "core/run/address_rule.h"
#include "core/run/run_log.h"
#include "core/run/run_texts.h"
#include "core/store/page_store.h"
#include "platform/codepage.h"
#include "platform/inet.h"

bool DownloadRun::fetchOne(const EntryTable &entries, int n, const QString &dataDir)
{
    const QString name = entries.EntryName(n);
    const auto fullAddress = [&] {
        return entries.EntryAddress(n) + ExpandRule(entries.EntryRule(n), RuleCompare::IgnoreCase);
    };
    m_log.append(logline::RunStart());
    emit slotStarting(1);
    m_log.append(logline::EntryStart(name));
    emit statusChanged(1, RunText::Connecting + QLatin1String(" (") + name + QLatin1Char(')'));

    Inet *inet = m_slots.Inet1(1);
    const QString pageText = inet->OpenURL(fullAddress());
    // The address is built a second time and must be the one that was fetched.
    if (inet->Failed() || fullAddress().compare(inet->URL(), Qt::CaseInsensitive) != 0)
        return false;

    // The page as text in the code page, ending in CR LF.
    QString detail;
    if (!pagestore::ReplacePage(dataDir, name, codepage::toAnsi(pageText + RunText::CrLf), &detail)) {
        m_log.append(logline::WriteFailed(name, detail));
        return false;
    }
    emit statusChanged(1, RunText::Idle);
    return true;
}
