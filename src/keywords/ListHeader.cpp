#include "keywords/ListHeader.h"

#include "common/AppInfo.h"
#include "platform/qt/QtText.h"

#include <QByteArray>

namespace {
bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}
bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}
} // namespace

QString ListHeader::line() {
    return prefix() + QtText::toQ(AppInfo::version()) + QLatin1Char(']');
}

QString ListHeader::prefix() {
    return QLatin1Char('[') + QtText::toQ(AppInfo::title());
}

QString ListHeader::versionOf(const QString& firstLine) {
    const QString start = prefix();
    if (!firstLine.startsWith(start))
        return {};
    return firstLine.mid(start.size(), kVersionLength);
}

double ListHeader::valueOf(const QString& versionText) {
    // Gather the number's characters in C-locale form, then convert once.
    QByteArray sign;
    QByteArray whole;
    QByteArray fraction;
    bool signSeen = false;
    bool pointSeen = false;
    bool digitSeen = false;
    for (const QChar c : versionText) {
        if (isBlank(c))
            continue;
        if (isDigit(c)) {
            (pointSeen ? fraction : whole).append(static_cast<char>(c.unicode()));
            digitSeen = true;
        } else if ((c == u'+' || c == u'-') && !signSeen && !digitSeen && !pointSeen) {
            sign = c == u'-' ? QByteArray("-") : QByteArray();
            signSeen = true;
        } else if (c == u'.' && !pointSeen) {
            pointSeen = true;
        } else {
            break;
        }
    }
    if (!digitSeen)
        return 0.0;
    const QByteArray number = sign + (whole.isEmpty() ? QByteArray("0") : whole) +
                              (fraction.isEmpty() ? QByteArray() : "." + fraction);
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0.0;
}
