// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/html_entities.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace history {
namespace {

struct Entity {
    const char *name;
    char16_t code;
};

// The named references of HTML 4 (and &apos;), sorted by name. Pages in Japanese use few
// beyond &nbsp;, &amp;, &lt;, &gt;, &quot; and &copy;; the thousands that HTML5 added are
// rarer still and stay as they are written.
constexpr Entity Entities[] = {
    {"AElig", 198}, {"Aacute", 193}, {"Acirc", 194}, {"Agrave", 192}, {"Alpha", 913}, {"Aring", 197},
    {"Atilde", 195}, {"Auml", 196}, {"Beta", 914}, {"Ccedil", 199}, {"Chi", 935}, {"Dagger", 8225},
    {"Delta", 916}, {"ETH", 208}, {"Eacute", 201}, {"Ecirc", 202}, {"Egrave", 200}, {"Epsilon", 917},
    {"Eta", 919}, {"Euml", 203}, {"Gamma", 915}, {"Iacute", 205}, {"Icirc", 206}, {"Igrave", 204},
    {"Iota", 921}, {"Iuml", 207}, {"Kappa", 922}, {"Lambda", 923}, {"Mu", 924}, {"Ntilde", 209},
    {"Nu", 925}, {"OElig", 338}, {"Oacute", 211}, {"Ocirc", 212}, {"Ograve", 210}, {"Omega", 937},
    {"Omicron", 927}, {"Oslash", 216}, {"Otilde", 213}, {"Ouml", 214}, {"Phi", 934}, {"Pi", 928},
    {"Prime", 8243}, {"Psi", 936}, {"Rho", 929}, {"Scaron", 352}, {"Sigma", 931}, {"THORN", 222},
    {"Tau", 932}, {"Theta", 920}, {"Uacute", 218}, {"Ucirc", 219}, {"Ugrave", 217}, {"Upsilon", 933},
    {"Uuml", 220}, {"Xi", 926}, {"Yacute", 221}, {"Yuml", 376}, {"Zeta", 918}, {"aacute", 225},
    {"acirc", 226}, {"acute", 180}, {"aelig", 230}, {"agrave", 224}, {"alefsym", 8501}, {"alpha", 945},
    {"amp", 38}, {"and", 8743}, {"ang", 8736}, {"apos", 39}, {"aring", 229}, {"asymp", 8776},
    {"atilde", 227}, {"auml", 228}, {"bdquo", 8222}, {"beta", 946}, {"brvbar", 166}, {"bull", 8226},
    {"cap", 8745}, {"ccedil", 231}, {"cedil", 184}, {"cent", 162}, {"chi", 967}, {"circ", 710},
    {"clubs", 9827}, {"cong", 8773}, {"copy", 169}, {"crarr", 8629}, {"cup", 8746}, {"curren", 164},
    {"dArr", 8659}, {"dagger", 8224}, {"darr", 8595}, {"deg", 176}, {"delta", 948}, {"diams", 9830},
    {"divide", 247}, {"eacute", 233}, {"ecirc", 234}, {"egrave", 232}, {"empty", 8709}, {"emsp", 8195},
    {"ensp", 8194}, {"epsilon", 949}, {"equiv", 8801}, {"eta", 951}, {"eth", 240}, {"euml", 235},
    {"euro", 8364}, {"exist", 8707}, {"fnof", 402}, {"forall", 8704}, {"frac12", 189}, {"frac14", 188},
    {"frac34", 190}, {"frasl", 8260}, {"gamma", 947}, {"ge", 8805}, {"gt", 62}, {"hArr", 8660},
    {"harr", 8596}, {"hearts", 9829}, {"hellip", 8230}, {"iacute", 237}, {"icirc", 238},
    {"iexcl", 161}, {"igrave", 236}, {"image", 8465}, {"infin", 8734}, {"int", 8747}, {"iota", 953},
    {"iquest", 191}, {"isin", 8712}, {"iuml", 239}, {"kappa", 954}, {"lArr", 8656}, {"lambda", 955},
    {"lang", 9001}, {"laquo", 171}, {"larr", 8592}, {"lceil", 8968}, {"ldquo", 8220}, {"le", 8804},
    {"lfloor", 8970}, {"lowast", 8727}, {"loz", 9674}, {"lrm", 8206}, {"lsaquo", 8249},
    {"lsquo", 8216}, {"lt", 60}, {"macr", 175}, {"mdash", 8212}, {"micro", 181}, {"middot", 183},
    {"minus", 8722}, {"mu", 956}, {"nabla", 8711}, {"nbsp", 160}, {"ndash", 8211}, {"ne", 8800},
    {"ni", 8715}, {"not", 172}, {"notin", 8713}, {"nsub", 8836}, {"ntilde", 241}, {"nu", 957},
    {"oacute", 243}, {"ocirc", 244}, {"oelig", 339}, {"ograve", 242}, {"oline", 8254}, {"omega", 969},
    {"omicron", 959}, {"oplus", 8853}, {"or", 8744}, {"ordf", 170}, {"ordm", 186}, {"oslash", 248},
    {"otilde", 245}, {"otimes", 8855}, {"ouml", 246}, {"para", 182}, {"part", 8706}, {"permil", 8240},
    {"perp", 8869}, {"phi", 966}, {"pi", 960}, {"piv", 982}, {"plusmn", 177}, {"pound", 163},
    {"prime", 8242}, {"prod", 8719}, {"prop", 8733}, {"psi", 968}, {"quot", 34}, {"rArr", 8658},
    {"radic", 8730}, {"rang", 9002}, {"raquo", 187}, {"rarr", 8594}, {"rceil", 8969}, {"rdquo", 8221},
    {"real", 8476}, {"reg", 174}, {"rfloor", 8971}, {"rho", 961}, {"rlm", 8207}, {"rsaquo", 8250},
    {"rsquo", 8217}, {"sbquo", 8218}, {"scaron", 353}, {"sdot", 8901}, {"sect", 167}, {"shy", 173},
    {"sigma", 963}, {"sigmaf", 962}, {"sim", 8764}, {"spades", 9824}, {"sub", 8834}, {"sube", 8838},
    {"sum", 8721}, {"sup", 8835}, {"sup1", 185}, {"sup2", 178}, {"sup3", 179}, {"supe", 8839},
    {"szlig", 223}, {"tau", 964}, {"there4", 8756}, {"theta", 952}, {"thetasym", 977},
    {"thinsp", 8201}, {"thorn", 254}, {"tilde", 732}, {"times", 215}, {"trade", 8482}, {"uArr", 8657},
    {"uacute", 250}, {"uarr", 8593}, {"ucirc", 251}, {"ugrave", 249}, {"uml", 168}, {"upsih", 978},
    {"upsilon", 965}, {"uuml", 252}, {"weierp", 8472}, {"xi", 958}, {"yacute", 253}, {"yen", 165},
    {"yuml", 255}, {"zeta", 950}, {"zwj", 8205}, {"zwnj", 8204}
};

// What &#128; to &#159; stand for: browsers read them as windows-1252, as the pages that
// wrote them meant. 0 where windows-1252 has no character.
constexpr std::array<char16_t, 32> Windows1252 = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr char32_t Replacement = 0xFFFD;

bool isAsciiAlnum(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int value = -1;
    if (u >= u'0' && u <= u'9')
        value = u - u'0';
    else if (u >= u'a' && u <= u'f')
        value = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        value = u - u'A' + 10;
    return value < base ? value : -1;
}

const Entity *findEntity(QStringView name)
{
    const auto less = [](const Entity &entity, QStringView key) {
        return QLatin1StringView(entity.name).compare(key, Qt::CaseSensitive) < 0;
    };
    const Entity *found = std::lower_bound(std::begin(Entities), std::end(Entities), name, less);
    if (found == std::end(Entities) || QLatin1StringView(found->name) != name)
        return nullptr;
    return found;
}

// The references that old pages write without their ';' and browsers still read: the
// Latin-1 letters and signs, and the four of markup.
bool readsWithoutSemicolon(const Entity &entity)
{
    return (entity.code >= 0xA0 && entity.code <= 0xFF) || entity.code == u'&' || entity.code == u'<'
           || entity.code == u'>' || entity.code == u'"';
}

qsizetype readNumeric(QStringView text, qsizetype at, QString &out)
{
    // text[at] is '&', text[at + 1] is '#'.
    qsizetype i = at + 2;
    int base = 10;
    if (i < text.size() && (text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    }
    const qsizetype digits = i;
    char32_t code = 0;
    for (int digit; i < text.size() && (digit = digitValue(text[i], base)) >= 0; ++i) {
        // Past the last code point the value no longer matters, only that it is too large.
        if (code <= 0x10FFFF)
            code = code * char32_t(base) + char32_t(digit);
    }
    if (i == digits)
        return 0;
    if (i < text.size() && text[i] == u';')
        ++i;
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = Replacement;
    else if (code >= 0x80 && code <= 0x9F && Windows1252[code - 0x80] != 0)
        code = Windows1252[code - 0x80];
    out += QChar::fromUcs4(code);
    return i - at;
}

} // namespace

qsizetype ReadCharacterReference(QStringView text, qsizetype at, QString &out)
{
    if (at + 1 >= text.size())
        return 0;
    if (text[at + 1] == u'#')
        return readNumeric(text, at, out);
    qsizetype end = at + 1;
    while (end < text.size() && isAsciiAlnum(text[end]))
        ++end;
    const QStringView name = text.sliced(at + 1, end - at - 1);
    if (name.isEmpty())
        return 0;
    if (end < text.size() && text[end] == u';') {
        if (const Entity *entity = findEntity(name)) {
            out += QChar(entity->code);
            return end + 1 - at;
        }
    }
    // Without its ';' the longest name that old pages write so is read: "&copy2026".
    for (qsizetype length = qMin<qsizetype>(name.size(), 6); length >= 2; --length) {
        const Entity *entity = findEntity(name.first(length));
        if (entity && readsWithoutSemicolon(*entity)) {
            out += QChar(entity->code);
            return length + 1;
        }
    }
    return 0;
}

QString DecodeCharacterReferences(QStringView text)
{
    QString out;
    out.reserve(text.size());
    qsizetype done = 0;
    for (qsizetype at = text.indexOf(u'&'); at >= 0; at = text.indexOf(u'&', at)) {
        out += text.sliced(done, at - done);
        const qsizetype taken = ReadCharacterReference(text, at, out);
        if (taken == 0) {
            out += u'&';
            ++at;
        } else {
            at += taken;
        }
        done = at;
    }
    out += text.sliced(done);
    return out;
}

} // namespace history
