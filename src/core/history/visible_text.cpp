// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/visible_text.h"

#include "core/history/html_entities.h"

#include <QSet>
#include <QStringList>

#include <utility>

// Qt Core reads no HTML, and a parser that builds a document tree (libxml2's) would read it by
// the rules of HTML 4 and bring a second parser of untrusted pages into the unattended run. The
// visible text needs no tree: a block element begins a line wherever it stands, and what is
// hidden is either raw text up to its end tag or a comment. So the page is split into text and
// tags as the HTML standard's tokenizer splits it, and laid out from those.
namespace history {
namespace {

bool isHtmlSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiAlnum(QChar c)
{
    return isAsciiLetter(c) || (c >= u'0' && c <= u'9');
}

QSet<QString> nameSet(QStringView names)
{
    QSet<QString> set;
    for (QStringView name : names.split(u' '))
        set.insert(name.toString());
    return set;
}

// The elements a browser lays out as blocks: each begins and ends a line.
bool isBlock(const QString &name)
{
    static const QSet<QString> blocks = nameSet(
        u"address article aside blockquote body caption center dd details dialog dir div dl dt fieldset "
        u"figcaption figure footer form h1 h2 h3 h4 h5 h6 header hgroup hr html legend li listing main "
        u"menu nav ol p pre section summary table tbody td tfoot th thead tr ul xmp");
    return blocks.contains(name);
}

// Raw text runs from the start tag to the end tag; the text of "title" and "textarea" still
// has its references read (the standard's RCDATA).
bool isRawText(const QString &name)
{
    static const QSet<QString> raw = nameSet(u"script style xmp iframe noembed noframes");
    return raw.contains(name);
}

bool isEscapableRawText(const QString &name)
{
    return name == u"title" || name == u"textarea";
}

// Raw text a browser does not show.
bool isHiddenText(const QString &name)
{
    static const QSet<QString> hidden = nameSet(u"script style title iframe noembed noframes");
    return hidden.contains(name);
}

// Elements whose text keeps its blanks and line ends.
bool isPreformatted(const QString &name)
{
    return name == u"pre" || name == u"listing" || name == u"textarea" || name == u"xmp";
}

struct Token {
    enum Kind { Text, RawText, StartTag, EndTag };
    Kind kind = Text;
    // Where the token stands in the source; for text, the text itself.
    qsizetype begin = 0;
    qsizetype end = 0;
    // A tag's name in lower case; for raw text, its element's name.
    QString name;
};

// Text and tags, as the HTML standard's tokenizer splits them, as far as the visible text
// needs them: comments, doctypes and processing instructions are passed over, attributes are
// read only to find where their tag ends, and what a script, a style or a title holds is one
// piece of text up to its end tag.
class Tokenizer
{
public:
    explicit Tokenizer(QStringView source)
        : m_s(source)
    {
    }

    bool next(Token &token)
    {
        while (m_pos < m_s.size()) {
            if (!m_raw.isEmpty()) {
                const qsizetype end = rawTextEnd();
                const QString name = std::exchange(m_raw, QString());
                if (end > m_pos) {
                    token = {isEscapableRawText(name) ? Token::Text : Token::RawText, m_pos, end, name};
                    m_pos = end;
                    return true;
                }
                continue;
            }
            if (!beginsMarkup(m_pos)) {
                qsizetype end = m_pos + 1;
                while ((end = m_s.indexOf(u'<', end)) >= 0 && !beginsMarkup(end))
                    ++end;
                if (end < 0)
                    end = m_s.size();
                token = {Token::Text, m_pos, end, {}};
                m_pos = end;
                return true;
            }
            if (readMarkup(token))
                return true;
        }
        return false;
    }

private:
    // A '<' that is followed by what makes it markup; any other '<' is text.
    bool beginsMarkup(qsizetype at) const
    {
        if (m_s[at] != u'<' || at + 1 >= m_s.size())
            return false;
        const QChar c = m_s[at + 1];
        return isAsciiLetter(c) || c == u'!' || c == u'?' || (c == u'/' && at + 2 < m_s.size());
    }

    // Reads the markup at m_pos: true with a tag, false when it was passed over.
    bool readMarkup(Token &token)
    {
        const QStringView after = m_s.sliced(m_pos + 1);
        if (after.startsWith(u"!--")) {
            m_pos = commentEnd(m_pos + 4);
            return false;
        }
        if (after.startsWith(u'/')) {
            if (after[1] == u'>') {
                m_pos += 3;
                return false;
            }
            if (isAsciiLetter(after[1]))
                return readTag(Token::EndTag, m_pos + 2, token);
        } else if (isAsciiLetter(after[0])) {
            return readTag(Token::StartTag, m_pos + 1, token);
        }
        // A doctype, a CDATA section, a processing instruction or a broken end tag: up to '>'.
        const qsizetype end = m_s.indexOf(u'>', m_pos);
        m_pos = end < 0 ? m_s.size() : end + 1;
        return false;
    }

    qsizetype commentEnd(qsizetype body) const
    {
        // "<!-->" and "<!--->" end where they begin.
        if (m_s.sliced(body).startsWith(u'>'))
            return body + 1;
        if (m_s.sliced(body).startsWith(u"->"))
            return body + 2;
        for (qsizetype at = body; (at = m_s.indexOf(u"--", at)) >= 0; ++at) {
            const QStringView rest = m_s.sliced(at + 2);
            if (rest.startsWith(u'>'))
                return at + 3;
            if (rest.startsWith(u"!>"))
                return at + 4;
        }
        return m_s.size();
    }

    bool readTag(Token::Kind kind, qsizetype nameAt, Token &token)
    {
        const qsizetype n = m_s.size();
        qsizetype i = nameAt;
        while (i < n && !isHtmlSpace(m_s[i]) && m_s[i] != u'/' && m_s[i] != u'>')
            ++i;
        QString name = m_s.sliced(nameAt, i - nameAt).toString();
        for (QChar &c : name) {
            if (c >= u'A' && c <= u'Z')
                c = QChar(c.unicode() + (u'a' - u'A'));
        }
        // Attributes are passed over; a '>' in a quoted value does not end the tag.
        while (i < n) {
            const QChar c = m_s[i];
            if (c == u'>') {
                token = {kind, m_pos, i + 1, name};
                m_pos = i + 1;
                // Even "<script/>" begins a script.
                if (kind == Token::StartTag && (isRawText(name) || isEscapableRawText(name)))
                    m_raw = name;
                return true;
            }
            ++i;
            if (isHtmlSpace(c) || c == u'/')
                continue;
            while (i < n && !isHtmlSpace(m_s[i]) && m_s[i] != u'/' && m_s[i] != u'>' && m_s[i] != u'=')
                ++i;
            while (i < n && isHtmlSpace(m_s[i]))
                ++i;
            if (i >= n || m_s[i] != u'=')
                continue;
            ++i;
            while (i < n && isHtmlSpace(m_s[i]))
                ++i;
            if (i < n && (m_s[i] == u'"' || m_s[i] == u'\'')) {
                const qsizetype close = m_s.indexOf(m_s[i], i + 1);
                i = close < 0 ? n : close + 1;
            } else {
                while (i < n && !isHtmlSpace(m_s[i]) && m_s[i] != u'>')
                    ++i;
            }
        }
        // The page ends inside the tag: the tag is no tag, and nothing after it is text.
        m_pos = n;
        return false;
    }

    // Whether "</name" or "<name" at `at` is a tag of that name: the name followed by a blank,
    // '/' or '>'.
    bool tagAt(qsizetype at, qsizetype nameAt, const QString &name) const
    {
        const qsizetype after = nameAt + name.size();
        return after < m_s.size() && m_s[at] == u'<'
               && m_s.sliced(nameAt, name.size()).compare(name, Qt::CaseInsensitive) == 0
               && (isHtmlSpace(m_s[after]) || m_s[after] == u'/' || m_s[after] == u'>');
    }

    // Where the raw text that begins at m_pos ends: at its element's end tag, or the page's end.
    qsizetype rawTextEnd() const
    {
        if (m_raw != u"script") {
            for (qsizetype at = m_pos; (at = m_s.indexOf(u"</", at)) >= 0; at += 2) {
                if (tagAt(at, at + 2, m_raw))
                    return at;
            }
            return m_s.size();
        }
        // Old pages hide a script in a comment and write scripts from it: inside "<!--", a
        // "<script>" and its "</script>" are the script's own text, as browsers read them.
        enum { Data, Escaped, DoubleEscaped } state = Data;
        for (qsizetype at = m_pos; at < m_s.size(); ++at) {
            if (m_s[at] != u'<' && m_s[at] != u'-')
                continue;
            const QStringView rest = m_s.sliced(at);
            if (state == Data && rest.startsWith(u"<!--")) {
                state = Escaped;
                at += 3;
            } else if (state != Data && rest.startsWith(u"-->")) {
                state = Data;
                at += 2;
            } else if (state == Escaped && tagAt(at, at + 1, m_raw)) {
                state = DoubleEscaped;
            } else if (rest.startsWith(u"</") && tagAt(at, at + 2, m_raw)) {
                if (state != DoubleEscaped)
                    return at;
                state = Escaped;
            }
        }
        return m_s.size();
    }

    QStringView m_s;
    qsizetype m_pos = 0;
    // The element whose raw text comes next.
    QString m_raw;
};

// The lines of the visible text, as the text and the breaks of the page arrive.
class Layout
{
public:
    // Text whose whitespace runs together.
    void text(QStringView text)
    {
        for (QChar c : text) {
            if (isHtmlSpace(c))
                m_space = true;
            else
                put(c);
        }
    }

    void preformatted(QStringView text)
    {
        for (QChar c : text) {
            if (c == u'\n')
                hardBreak();
            else
                // A CR written as &#13; shows as a blank, as CSS has it.
                put(c == u'\r' ? QChar(u' ') : c);
        }
    }

    // A block's start or end: a line ends unless none has begun.
    void softBreak()
    {
        if (!m_line.isEmpty())
            hardBreak();
        m_space = false;
    }

    void hardBreak()
    {
        while (m_line.endsWith(u' ') || m_line.endsWith(u'\t'))
            m_line.chop(1);
        m_lines.append(std::exchange(m_line, QString()));
        m_space = false;
    }

    QString result()
    {
        softBreak();
        // Breaks at the end show nothing.
        while (!m_lines.isEmpty() && m_lines.constLast().isEmpty())
            m_lines.removeLast();
        return m_lines.join(u'\n');
    }

private:
    void put(QChar c)
    {
        // Blanks at a line's start come from the source's layout.
        if (m_space && !m_line.isEmpty())
            m_line += u' ';
        m_space = false;
        // A no-break space reads as a blank, and is kept where a blank would run together.
        m_line += c == QChar::Nbsp ? QChar(u' ') : c;
    }

    QStringList m_lines;
    QString m_line;
    bool m_space = false;
};

// Whether a text is HTML: it begins with markup, or a tag stands on its first line (after a
// server's warning, say).
bool looksLikeHtml(QStringView text)
{
    qsizetype start = 0;
    while (start < text.size() && text[start].isSpace())
        ++start;
    if (start + 1 < text.size() && text[start] == u'<') {
        const QChar c = text[start + 1];
        if (isAsciiLetter(c) || c == u'!' || c == u'?' || c == u'/')
            return true;
    }
    qsizetype lineEnd = text.indexOf(u'\n', start);
    if (lineEnd < 0)
        lineEnd = text.size();
    for (qsizetype at = text.indexOf(u'<', start); at >= 0 && at + 1 < lineEnd; at = text.indexOf(u'<', at + 1)) {
        if (!isAsciiLetter(text[at + 1]))
            continue;
        qsizetype end = at + 2;
        while (end < lineEnd && isAsciiAlnum(text[end]))
            ++end;
        const qsizetype close = text.indexOf(u'>', end);
        if (end < lineEnd && (isHtmlSpace(text[end]) || text[end] == u'/' || text[end] == u'>') && close >= 0
            && close < lineEnd)
            return true;
    }
    return false;
}

// Whether only blanks stand between the line's start and `at`.
bool beginsLine(QStringView text, qsizetype at)
{
    for (qsizetype i = at - 1; i >= 0; --i) {
        if (text[i] == u'\n' || text[i] == u'\r')
            return true;
        if (!isHtmlSpace(text[i]))
            return false;
    }
    return true;
}

} // namespace

QString VisibleText(const QString &page)
{
    if (!looksLikeHtml(page))
        return page;
    // The standard reads every CR LF and CR as LF before anything else.
    QString source = page;
    source.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');

    Tokenizer tokens(source);
    Layout layout;
    Token token;
    int templates = 0;
    int preformatted = 0;
    // The line end that follows <pre> at once belongs to the tag.
    bool skipLineEnd = false;
    while (tokens.next(token)) {
        const bool lineEndSkipped = std::exchange(skipLineEnd, false);
        const bool start = token.kind == Token::StartTag;
        switch (token.kind) {
        case Token::StartTag:
        case Token::EndTag:
            // A template's content is never shown, however it nests.
            if (token.name == u"template") {
                templates = start ? templates + 1 : qMax(0, templates - 1);
            } else if (templates > 0) {
                // Nothing of it.
            } else if (token.name == u"br") {
                // Browsers read "</br>" as "<br>".
                layout.hardBreak();
            } else {
                if (isBlock(token.name))
                    layout.softBreak();
                if (isPreformatted(token.name)) {
                    preformatted = start ? preformatted + 1 : qMax(0, preformatted - 1);
                    skipLineEnd = start && token.name != u"xmp";
                }
            }
            break;
        case Token::Text:
        case Token::RawText: {
            if (templates > 0 || isHiddenText(token.name))
                break;
            QStringView text = QStringView(source).sliced(token.begin, token.end - token.begin);
            QString decoded;
            if (token.kind == Token::Text && text.contains(u'&')) {
                decoded = DecodeCharacterReferences(text);
                text = decoded;
            }
            if (lineEndSkipped && text.startsWith(u'\n'))
                text = text.sliced(1);
            if (preformatted > 0)
                layout.preformatted(text);
            else
                layout.text(text);
            break;
        }
        }
    }
    return layout.result();
}

QString CollapsedText(const QString &visibleText)
{
    return visibleText.simplified();
}

QString BreakBeforeBlocks(const QString &page)
{
    if (!looksLikeHtml(page))
        return page;
    Tokenizer tokens(page);
    Token token;
    QString broken;
    qsizetype copied = 0;
    while (tokens.next(token)) {
        if (token.kind != Token::StartTag || (token.name != u"br" && !isBlock(token.name))
            || beginsLine(page, token.begin))
            continue;
        if (broken.isEmpty())
            broken.reserve(page.size() + page.size() / 16);
        broken += QStringView(page).sliced(copied, token.begin - copied);
        broken += u'\n';
        copied = token.begin;
    }
    if (copied == 0)
        return page;
    broken += QStringView(page).sliced(copied);
    return broken;
}

} // namespace history
