#include "platform/xdg/DesktopExec.h"

#include "platform/xdg/XdgEscapes.h"

#include <QFileInfo>

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// The platform's argument rules: blanks separate outside quotes; 2n backslashes before a
// quote give n and the quote toggles quoting, 2n+1 give n and a literal quote; "" inside
// quotes is a literal quote; other backslashes are literal.
QStringList splitArguments(QStringView text) {
    QStringList args;
    QString current;
    bool inArg = false;
    bool quoted = false;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (!quoted && isBlank(c)) {
            if (inArg)
                args.append(current);
            current.clear();
            inArg = false;
            ++i;
            continue;
        }
        inArg = true;
        if (c == QLatin1Char('\\')) {
            qsizetype n = 0;
            while (i < text.size() && text[i] == QLatin1Char('\\')) {
                ++n;
                ++i;
            }
            if (i < text.size() && text[i] == QLatin1Char('"')) {
                current += QString(n / 2, QLatin1Char('\\'));
                if (n % 2 == 1) {
                    current += QLatin1Char('"');
                    ++i;
                }
            } else {
                current += QString(n, QLatin1Char('\\'));
            }
            continue;
        }
        if (c == QLatin1Char('"')) {
            if (quoted && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                current += QLatin1Char('"');
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        current += c;
        ++i;
    }
    if (inArg)
        args.append(current);
    return args;
}

} // namespace

bool DesktopExec::isExistingFile(const QString& path) {
    const QFileInfo info(path);
    return info.isAbsolute() && info.isFile();
}

QStringList DesktopExec::splitCommandLine(const QString& command, const FileTest& isFile) {
    QStringView text(command);
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.mid(1);
    if (text.isEmpty())
        return {};

    QString program;
    QStringView rest;
    if (text.front() == QLatin1Char('"')) {
        const qsizetype close = text.indexOf(QLatin1Char('"'), 1);
        program = (close < 0 ? text.mid(1) : text.mid(1, close - 1)).toString();
        rest = close < 0 ? QStringView() : text.mid(close + 1);
    } else {
        qsizetype end = -1;
        // Longest first: the whole text, then each shorter prefix that ends before a blank.
        for (qsizetype pos = text.size(); pos > 0; --pos) {
            const bool boundary = pos == text.size() || isBlank(text[pos]);
            if (boundary && !isBlank(text[pos - 1]) && isFile(text.left(pos).toString())) {
                end = pos;
                break;
            }
        }
        if (end < 0) {
            end = 0;
            while (end < text.size() && !isBlank(text[end]))
                ++end;
        }
        program = text.left(end).toString();
        rest = text.mid(end);
    }
    QStringList argv{program};
    argv += splitArguments(rest);
    return argv;
}

QString DesktopExec::quoteArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString doubled = argument;
    doubled.replace(QLatin1Char('%'), QStringLiteral("%%"));
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c) || c == QLatin1Char('\r');
    if (!needsQuotes)
        return doubled;
    QString out = QStringLiteral("\"");
    for (const QChar c : doubled) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    out += QLatin1Char('"');
    return out;
}

QString DesktopExec::fromCommandLine(const QString& command, const FileTest& isFile) {
    const QStringList argv = splitCommandLine(command, isFile);
    if (argv.isEmpty() || argv.front().isEmpty())
        return {};
    QStringList quoted;
    for (const QString& arg : argv)
        quoted.append(quoteArgument(arg));
    return escapeValue(quoted.join(QLatin1Char(' ')));
}

QString DesktopExec::escapeValue(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case ' ':
            // A leading blank would be trimmed by readers.
            out += i == 0 ? QLatin1String("\\s") : QLatin1String(" ");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString DesktopExec::unescapeValue(QStringView text) {
    // Unknown escapes are kept as written (they belong to the quoting rules).
    return XdgEscapes::unescape(text, {.space = true, .keepUnknown = true});
}
