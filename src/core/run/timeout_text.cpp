#include "core/run/timeout_text.h"

namespace engine {

int TimeoutSeconds(const QString &text, bool *valid)
{
    const QString digits = text.normalized(QString::NormalizationForm_KC).trimmed();
    bool ok = !digits.isEmpty();
    for (const QChar ch : digits)
        ok = ok && ch >= u'0' && ch <= u'9';
    const int seconds = ok ? digits.toInt(&ok) : 0;
    ok = ok && seconds > 0;
    if (valid)
        *valid = ok;
    return ok ? seconds : DefaultTimeoutSeconds;
}

} // namespace engine
