#include "platform/qt/QtPrompts.h"

#include "platform/qt/CaptionRoom.h"
#include "platform/qt/QtSettingsOff.h"

#include "common/AppInfo.h"
#include "platform/qt/QtCodec936.h"
#include "platform/qt/QtText.h"

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString captionOr(const QString& caption) {
    return caption.isEmpty() ? QtText::toQ(AppInfo::title()) : caption;
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

// Qt reads a filter's patterns from its last brackets and, with the filter details hidden,
// shows only what stands before them: the description exactly as the caller gave it.
QString nameFilter(const QPair<QString, QString>& pair) {
    return pair.first + QStringLiteral(" (") + qtPatterns(pair.second) + QLatin1Char(')');
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

void setFilters(QFileDialog& dialog, const FileDialogOptions& options) {
    QStringList filters;
    for (const auto& pair : options.filters)
        filters << nameFilter(pair);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty())
        dialog.selectNameFilter(filters.first());
}

// The index of the filter the dialog names: by its whole text, or by the description the
// type box shows.
qsizetype filterIndex(const FileDialogOptions& options, const QString& selected) {
    for (qsizetype i = 0; i < options.filters.size(); ++i) {
        const QString& description = options.filters[i].first;
        if (selected == nameFilter(options.filters[i]) || selected == description ||
            selected == description.simplified())
            return i;
    }
    return -1;
}

void setSaveMode(QFileDialog& dialog, const FileDialogOptions& options) {
    // A save dialog takes a new name; the existence flag is for opening.
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!(options.flags & kOverwritePrompt))
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    auto applySuffix = [&dialog, &options](qsizetype index) {
        const QString pattern = index >= 0 ? options.filters[index].second : QString();
        dialog.setDefaultSuffix(suffixFor(pattern, options.defaultExt));
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&options, applySuffix](const QString& selected) {
                         applySuffix(filterIndex(options, selected));
                     });
    applySuffix(options.filters.isEmpty() ? -1 : 0);
}

void setOpenMode(QFileDialog& dialog, const FileDialogOptions& options) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode((options.flags & kFileMustExist) ? QFileDialog::ExistingFile
                                                        : QFileDialog::AnyFile);
}

QString choosePath(QFileDialog& dialog, const FileDialogOptions& options) {
    while (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QString path = dialog.selectedFiles().first();
        // The caller's buffer holds maxFile bytes with the terminating NUL; a longer path
        // could only come back cut, so the user picks another one.
        if (options.maxFile <= 0 || QtCodec936::byteLength(path) + 1 <= options.maxFile)
            return path;
        QMessageBox tooLong(
            QMessageBox::Warning, options.title,
            QStringLiteral("路径太长（最多 %1 字节），请选择较短的路径。").arg(options.maxFile - 1),
            QMessageBox::Ok, &dialog);
        CaptionRoom::reserve(tooLong);
        tooLong.exec();
    }
    return {};
}

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
    CaptionRoom::reserve(box);
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
    CaptionRoom::reserve(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.textValue();
}

QString QtPrompts::FileDialog(const FileDialogOptions& options) {
    const QString savedCurrentDir = QDir::currentPath();
    // Outlives the dialog, which writes its history from its destructor.
    const QtSettingsOff noHistory;
    QFileDialog dialog;
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog.setWindowTitle(options.title);
    setFilters(dialog, options);
    if (options.save)
        setSaveMode(dialog, options);
    else
        setOpenMode(dialog, options);
    if (!(options.flags & kEnableSizing))
        dialog.setFixedSize(dialog.sizeHint());
    const QString path = choosePath(dialog, options);
    if (options.flags & kNoChangeDir)
        QDir::setCurrent(savedCurrentDir);
    return path;
}
