#include "platform/qt/QtPrompts.h"

#include "common/AppInfo.h"

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString captionOr(const QString& caption) {
    return caption.isEmpty() ? AppInfo::title() : caption;
}

// The description already names its pattern in brackets ("列表文件(*.lst)"); otherwise the
// pattern is added so the chooser knows which files to show.
QString nameFilter(const QPair<QString, QString>& pair) {
    if (pair.first.contains(QLatin1Char('(') + pair.second + QLatin1Char(')')))
        return pair.first;
    return pair.first + QStringLiteral(" (") + pair.second + QLatin1Char(')');
}

// "*.lst" gives "lst"; "*.*" and anything without one fixed extension give nothing.
QString suffixOf(const QString& pattern) {
    if (!pattern.startsWith(QStringLiteral("*.")))
        return {};
    const QString ext = pattern.mid(2);
    if (ext.isEmpty() || ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char(';')))
        return {};
    return ext;
}

constexpr quint32 kOverwritePrompt = 0x2;

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
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!(options.flags & kOverwritePrompt))
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        // A name typed without extension takes the extension of the selected filter.
        auto applySuffix = [&dialog, &options, filters](const QString& selected) {
            const qsizetype i = filters.indexOf(selected);
            dialog.setDefaultSuffix(i >= 0 ? suffixOf(options.filters[i].second) : QString());
        };
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, applySuffix);
        if (!filters.isEmpty())
            applySuffix(filters.first());
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    QString path;
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        path = dialog.selectedFiles().first();
    QDir::setCurrent(savedCurrentDir);
    return path;
}
