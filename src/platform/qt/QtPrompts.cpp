#include "platform/qt/QtPrompts.h"

#include "common/AppInfo.h"
#include "common/Codec936.h"

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString captionOr(const QString& caption) {
    return caption.isEmpty() ? AppInfo::title() : caption;
}

// The patterns as Qt's chooser reads them: blank-separated, and "*.*" (every file on the
// platform the patterns come from) as "*", since a file name here need not hold a dot.
QString qtPatterns(const QString& patterns) {
    QStringList list = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : list) {
        p = p.trimmed();
        if (p == QStringLiteral("*.*"))
            p = QStringLiteral("*");
    }
    return list.join(QLatin1Char(' '));
}

// Qt reads a filter's patterns from its last brackets. A description that already names
// its pattern there ("列表文件(*.lst)") is kept as it stands where Qt reads it the same way.
QString nameFilter(const QPair<QString, QString>& pair) {
    const QString patterns = qtPatterns(pair.second);
    const QString named = QLatin1Char('(') + pair.second + QLatin1Char(')');
    if (pair.first.endsWith(named)) {
        if (patterns == pair.second)
            return pair.first;
        return pair.first.left(pair.first.size() - named.size()) + QLatin1Char('(') + patterns +
               QLatin1Char(')');
    }
    return pair.first + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

// "*.lst" gives "lst"; "*.*" and anything without one fixed extension give nothing.
QString suffixOf(const QString& pattern) {
    if (!pattern.startsWith(QStringLiteral("*.")))
        return {};
    const QString ext = pattern.mid(2);
    if (ext.isEmpty() || ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char(';')) ||
        ext.contains(QLatin1Char('?')))
        return {};
    return ext;
}

// The extension a name typed without one gets: that of the selected filter when it names
// one, else the request's default extension unless that is the wildcard.
QString suffixFor(const QString& pattern, const QString& defaultExt) {
    const QString fromFilter = suffixOf(pattern);
    if (!fromFilter.isEmpty())
        return fromFilter;
    if (defaultExt.isEmpty() || defaultExt.contains(QLatin1Char('*')))
        return {};
    return defaultExt.startsWith(QLatin1Char('.')) ? defaultExt.mid(1) : defaultExt;
}

constexpr quint32 kOverwritePrompt = 0x2;
constexpr quint32 kNoChangeDir = 0x8;
constexpr quint32 kFileMustExist = 0x1000;
constexpr quint32 kEnableSizing = 0x800000;

} // namespace

int QtPrompts::MsgBox(const QString& text, int style, const QString& caption) {
    QMessageBox box;
    box.setWindowTitle(captionOr(caption));
    box.setText(text);
    switch (style & 0x70) {
    case Msg::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Msg::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Msg::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Msg::Information:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
    }
    QList<QPushButton*> buttons;
    QList<int> results;
    if ((style & 0x7) == Msg::YesNo) {
        buttons << box.addButton(QMessageBox::Yes) << box.addButton(QMessageBox::No);
        results << Msg::Yes << Msg::No;
    } else {
        buttons << box.addButton(QMessageBox::Ok);
        results << Msg::Ok;
    }
    const int defaultIndex = (style & Msg::DefaultButton2) && buttons.size() > 1 ? 1 : 0;
    box.setDefaultButton(buttons[defaultIndex]);
    box.setEscapeButton(buttons.last());
    box.exec();
    const int index = buttons.indexOf(static_cast<QPushButton*>(box.clickedButton()));
    return index >= 0 ? results[index] : results.last();
}

QString QtPrompts::InputBox(const QString& prompt, const QString& caption,
                            const QString& defaultText) {
    QInputDialog dialog;
    dialog.setWindowTitle(captionOr(caption));
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.textValue();
}

QString QtPrompts::FileDialog(const FileDialogOptions& options) {
    const QString savedCurrentDir = QDir::currentPath();
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(options.title);
    QStringList filters;
    for (const auto& pair : options.filters)
        filters << nameFilter(pair);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty())
        dialog.selectNameFilter(filters.first());
    if (options.save) {
        // A save dialog takes a new name; the existence flag is for opening.
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!(options.flags & kOverwritePrompt))
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        auto applySuffix = [&dialog, &options, filters](const QString& selected) {
            const qsizetype i = filters.indexOf(selected);
            dialog.setDefaultSuffix(
                suffixFor(i >= 0 ? options.filters[i].second : QString(), options.defaultExt));
        };
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, applySuffix);
        applySuffix(filters.isEmpty() ? QString() : filters.first());
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode((options.flags & kFileMustExist) ? QFileDialog::ExistingFile
                                                            : QFileDialog::AnyFile);
    }
    if (!(options.flags & kEnableSizing))
        dialog.setFixedSize(dialog.sizeHint());
    QString path;
    while (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        path = dialog.selectedFiles().first();
        // The caller's buffer holds maxFile bytes with the terminating NUL; a longer path
        // could only come back cut, so the user picks another one.
        if (options.maxFile <= 0 || Codec936::byteLength(path) + 1 <= options.maxFile)
            break;
        QMessageBox::warning(&dialog, options.title,
                             QStringLiteral("路径太长（最多 %1 字节），请选择较短的路径。")
                                 .arg(options.maxFile - 1));
        path.clear();
    }
    if (options.flags & kNoChangeDir)
        QDir::setCurrent(savedCurrentDir);
    return path;
}
