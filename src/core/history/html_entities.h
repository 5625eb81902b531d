// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// Character references in a page's text (&amp;, &#12354;, &#x3042;), read as browsers read them.
namespace history {

// The reference that begins at text[at] (an '&'): appends the characters it stands for to `out`
// and returns how many characters of `text` it took; 0 when the '&' begins no reference and
// stands for itself.
qsizetype ReadCharacterReference(QStringView text, qsizetype at, QString &out);

// The text with every reference it holds replaced by what it stands for.
QString DecodeCharacterReferences(QStringView text);

} // namespace history
