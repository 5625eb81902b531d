// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/run/address_rule.h"

#include "platform/clock.h"

namespace {

// One character of the rule. A surrogate pair counts as one character, so a "%" before
// an emoji or a rare kanji never splits it in half.
qsizetype charLength(const QString &text, qsizetype at)
{
    if (at + 1 < text.size() && text.at(at).isHighSurrogate() && text.at(at + 1).isLowSurrogate())
        return 2;
    return 1;
}

// Only the ASCII letters: a full-width "ｄ" is no token.
bool isLetter(QStringView c, char16_t lower)
{
    if (c.size() != 1)
        return false;
    const char16_t u = c.front().unicode();
    return u == lower || u == lower - (u'a' - u'A');
}

// The date is read again for every token, as the rule was always expanded.
QString today(const char *pattern)
{
    return vclock::Format(vclock::now().date(), QString::fromLatin1(pattern));
}

} // namespace

QString ExpandRule(const QString &rule)
{
    QString out;
    out.reserve(rule.size());
    const QStringView view(rule);
    qsizetype p = 0;

    // The character at p, or an empty view past the end.
    auto charAt = [&](qsizetype at) -> QStringView {
        if (at >= view.size())
            return {};
        return view.mid(at, charLength(rule, at));
    };

    while (p < view.size()) {
        const QStringView c = charAt(p);
        if (c != u"%") {
            out += c;
            p += c.size();
            continue;
        }
        ++p;
        const QStringView c2 = charAt(p);
        if (c2 == u"0") {
            ++p;
            const QStringView c3 = charAt(p);
            if (isLetter(c3, u'd'))
                out += today("dd");
            else if (isLetter(c3, u'm'))
                out += today("mm");
            else if (isLetter(c3, u'y'))
                out += today("yyyy");
            p += qMax<qsizetype>(c3.size(), 1);
        } else {
            if (isLetter(c2, u'd'))
                out += today("d");
            else if (isLetter(c2, u'm'))
                out += today("m");
            else if (isLetter(c2, u'y'))
                out += today("yy");
            p += qMax<qsizetype>(c2.size(), 1);
        }
    }
    return out;
}
