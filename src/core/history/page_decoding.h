#pragma once

#include <QByteArray>
#include <QString>

// A stored page's bytes read as text. The page says its charset in a <meta> element, or ICU's
// detector guesses it, so Shift_JIS, EUC-JP, ISO-2022-JP and UTF-8 pages all read. A page that
// is no text (an image, an archive) is only ever compared by its bytes.
namespace history {

struct PageText {
    bool binary = false;
    // The charset the bytes were read by, as ICU names it; empty for a binary page.
    QString charset;
    QString text;
};

// The charset named by <meta charset="..."> or <meta http-equiv="Content-Type"
// content="...; charset=...">; empty when the page names none.
QByteArray DeclaredCharset(const QByteArray &page);

PageText DecodePage(const QByteArray &page);

} // namespace history
