#include "registry/DesktopEntryReader.h"

#include <QFile>

namespace {

QString undoEscapes(const QString& raw) {
    QString out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != QLatin1Char('\\') || i + 1 == raw.size()) {
            out += raw[i];
            continue;
        }
        const QChar next = raw[++i];
        if (next == QLatin1Char('s'))
            out += QLatin1Char(' ');
        else if (next == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else if (next == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else if (next == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        else
            out += QLatin1Char('\\') + QString(next);
    }
    return out;
}

} // namespace

QMap<QString, QString> DesktopEntryReader::mainGroup(const QString& path) {
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    bool inMain = false;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('#')) || line.trimmed().isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inMain = line.trimmed() == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inMain && eq > 0)
            keys.insert(line.left(eq).trimmed(), undoEscapes(line.mid(eq + 1).trimmed()));
    }
    return keys;
}

QStringList DesktopEntryReader::execArguments(const QString& exec) {
    QStringList args;
    QString current;
    bool inArg = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                quoted = false;
            } else if (c == QLatin1Char('\\') && i + 1 < exec.size() &&
                       QStringLiteral("\"`$\\").contains(exec[i + 1])) {
                current += exec[++i];
            } else {
                current += c;
            }
            continue;
        }
        if (c == QLatin1Char(' ')) {
            if (inArg)
                args.append(current);
            current.clear();
            inArg = false;
            continue;
        }
        inArg = true;
        if (c == QLatin1Char('"')) {
            quoted = true;
            continue;
        }
        // Outside quotes the reserved characters may not appear at all.
        if (QStringLiteral("\t\n\"'\\><~|&;$*?#()`").contains(c))
            return {};
        current += c;
    }
    if (quoted)
        return {};
    if (inArg)
        args.append(current);
    // "%%" is a literal percent; no other field code is written by the registry.
    for (QString& a : args)
        a.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return args;
}
