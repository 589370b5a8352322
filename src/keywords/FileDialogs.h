#pragma once

#include "platform/Prompts.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QtGlobal>

// The Open/Save dialog module: completes a file-dialog request the caller has partly
// filled with the program's defaults, asks the user through the prompts, and hands the
// request back with the chosen path in its file buffer.
class FileDialogs {
public:
    // The common dialogs' request record. Text fields keep the platform's layout: a filter
    // is "description NUL pattern NUL ... NUL", a file buffer is the path followed by NULs.
    struct Request {
        quint32 lStructSize = 0;
        quintptr hwndOwner = 0;
        QString lpstrFilter;
        QString lpstrCustomFilter;
        quint32 nMaxCustFilter = 0;
        quint32 nFilterIndex = 0;
        QString lpstrFile;
        quint32 nMaxFile = 0;
        QString lpstrFileTitle;
        quint32 nMaxFileTitle = 0;
        QString lpstrInitialDir;
        QString lpstrTitle;
        quint32 Flags = 0;
        quint16 nFileOffset = 0;
        quint16 nFileExtension = 0;
        QString lpstrDefExt;
    };

    static constexpr quint32 StructSize = 76;
    static constexpr quint32 MaxFile = 255;

    static constexpr quint32 OFN_OVERWRITEPROMPT = 0x2;
    static constexpr quint32 OFN_HIDEREADONLY = 0x4;
    static constexpr quint32 OFN_NOCHANGEDIR = 0x8;
    static constexpr quint32 OFN_FILEMUSTEXIST = 0x1000;
    static constexpr quint32 OFN_ENABLESIZING = 0x800000;

    static constexpr quint32 OpenFlags =
        OFN_ENABLESIZING | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    static constexpr quint32 SaveFlags = OpenFlags | OFN_OVERWRITEPROMPT;

    explicit FileDialogs(Prompts& prompts);

    // Non-zero when the user chose a file; 0 when the dialog was cancelled or the chosen
    // path does not fit the request's capacity (the buffer is then all NULs).
    qint32 ShowOpenDialog(Request& request);
    qint32 ShowSaveDialog(Request& request);

    // The path in the request's file buffer: its text up to the first NUL.
    static QString ChosenPath(const Request& request);
    // The description/pattern pairs of a filter text, up to its closing empty description.
    static QList<QPair<QString, QString>> FilterPairs(const QString& filter);
    // Builds a filter text from pairs, each part ended by NUL, the whole by a further NUL.
    static QString MakeFilter(const QList<QPair<QString, QString>>& pairs);
    // "所有文件 (*.*)", "*.*": the filter used when the caller gives none.
    static QString DefaultFilter();

private:
    qint32 show(Request& request, bool save);

    Prompts& m_prompts;
};
