#include "keywords/FileDialogs.h"

#include "platform/qt/QtCodec936.h"

namespace {

const QChar kNul(u'\0');

// The text of a NUL-terminated field.
QString untilNul(const QString& text) {
    const qsizetype end = text.indexOf(kNul);
    return end < 0 ? text : text.left(end);
}

bool isEmptyField(const QString& text) {
    return untilNul(text).isEmpty();
}

} // namespace

FileDialogs::FileDialogs(Prompts& prompts) : m_prompts(prompts) {}

qint32 FileDialogs::ShowOpenDialog(Request& request) {
    return show(request, false);
}

qint32 FileDialogs::ShowSaveDialog(Request& request) {
    return show(request, true);
}

QString FileDialogs::ChosenPath(const Request& request) {
    return untilNul(request.lpstrFile);
}

QList<QPair<QString, QString>> FileDialogs::FilterPairs(const QString& filter) {
    QList<QPair<QString, QString>> pairs;
    const QStringList parts = filter.split(kNul);
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // An empty description closes the filter.
        if (parts[i].isEmpty())
            break;
        pairs.append({parts[i], parts[i + 1]});
    }
    return pairs;
}

QString FileDialogs::MakeFilter(const QList<QPair<QString, QString>>& pairs) {
    QString filter;
    for (const auto& [description, pattern] : pairs)
        filter += description + kNul + pattern + kNul;
    return filter + kNul;
}

QString FileDialogs::DefaultFilter() {
    return MakeFilter({{QStringLiteral("所有文件 (*.*)"), QStringLiteral("*.*")}}) + kNul;
}

qint32 FileDialogs::show(Request& request, bool save) {
    request.lStructSize = StructSize;
    if (isEmptyField(request.lpstrFilter))
        request.lpstrFilter = DefaultFilter();
    request.nMaxFile = MaxFile;
    if (isEmptyField(request.lpstrFile))
        request.lpstrFile = QString(request.nMaxFile + 1, kNul);
    if (isEmptyField(request.lpstrTitle))
        request.lpstrTitle = save ? QStringLiteral("保存") : QStringLiteral("打开");
    request.Flags = save ? SaveFlags : OpenFlags;
    if (isEmptyField(request.lpstrDefExt))
        request.lpstrDefExt = QStringLiteral("*") + kNul;

    FileDialogOptions options;
    options.save = save;
    options.title = untilNul(request.lpstrTitle);
    options.filters = FilterPairs(request.lpstrFilter);
    options.maxFile = static_cast<int>(request.nMaxFile);
    options.flags = request.Flags;
    options.defaultExt = untilNul(request.lpstrDefExt);

    const QString path = m_prompts.FileDialog(options);
    if (path.isEmpty())
        return 0;
    const qsizetype bufferLength = qMax<qsizetype>(request.lpstrFile.size(), request.nMaxFile + 1);
    // The buffer holds nMaxFile bytes of ANSI text with its terminating NUL. A longer path
    // cannot be handed back whole; a cut one would name another file, so nothing is chosen.
    if (QtCodec936::byteLength(path) + 1 > request.nMaxFile) {
        request.lpstrFile = QString(bufferLength, kNul);
        request.nFileOffset = 0;
        request.nFileExtension = 0;
        return 0;
    }
    request.lpstrFile = path + QString(bufferLength - path.size(), kNul);
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    request.nFileOffset = static_cast<quint16>(nameStart);
    request.nFileExtension = static_cast<quint16>(dot >= nameStart ? dot + 1 : 0);
    return 1;
}
