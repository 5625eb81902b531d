// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// A stored page's bytes read as text. The page says its charset in a <meta> element, or its
// server said it in the Content-Type header, or it is guessed, so Shift_JIS, EUC-JP, ISO-2022-JP
// and UTF-8 pages all read, short ones too. A page that is no text (an image, an archive) is
// only ever compared by its bytes.
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

// The charset parameter of a Content-Type header value ("text/html; charset=Shift_JIS", quoted
// or not, in any letter case, among other parameters); empty when it names none.
QByteArray ContentTypeCharset(const QByteArray &contentType);

// `contentType` is the Content-Type the server sent with the page; empty when unknown.
PageText DecodePage(const QByteArray &page, const QByteArray &contentType = {});

} // namespace history
