#include "platform/xdg/XdgEscapes.h"

namespace {

// What the escape "\" letter stands for; a null character when the rules do not know it.
QChar unescaped(QChar letter, XdgEscapes::Rules rules) {
    switch (letter.unicode()) {
    case 'n':
        return QLatin1Char('\n');
    case 't':
        return QLatin1Char('\t');
    case 'r':
        return QLatin1Char('\r');
    case '\\':
        return QLatin1Char('\\');
    case 's':
        return rules.space ? QLatin1Char(' ') : QChar();
    default:
        return QChar();
    }
}

} // namespace

QString XdgEscapes::unescape(QStringView text, Rules rules) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar letter = text[++i];
        if (const QChar known = unescaped(letter, rules); !known.isNull()) {
            out += known;
            continue;
        }
        if (rules.keepUnknown)
            out += QLatin1Char('\\');
        out += letter;
    }
    return out;
}
