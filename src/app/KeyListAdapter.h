#pragma once

#include "keywords/KeywordList.h"

#include <QHash>
#include <QObject>

class QListWidget;

// The main window's list box seen as the keyword list: the list box holds the only copy of
// the keywords, and every change to them, through this adapter or not, bumps the revision.
// Membership is answered from a count of entries kept beside the list box, so merging a
// large file stays linear. Owned by the window beside the list box, never by it.
class KeyListAdapter : public QObject, public KeywordList {
public:
    explicit KeyListAdapter(QListWidget& listBox);

    int count() const override;
    std::u16string at(int index) const override;
    void append(const std::u16string& keyword) override;
    bool contains(const std::u16string& keyword) const override;
    std::uint64_t revision() const override { return m_revision; }

    // Editing by index, as the list box offers it. Out-of-range indexes change nothing and
    // return false.
    bool insert(int index, const QString& keyword);
    bool removeAt(int index);
    void clear();
    // The selected entry's index, -1 when nothing is selected.
    int selectionIndex() const;
    QStringList entries() const;
    // True while the adapter itself is changing the list box.
    bool changing() const { return m_ownChange; }

private:
    void modelChanged();
    void rebuildCounts() const;

    QListWidget& m_listBox;
    std::uint64_t m_revision = 0;
    mutable QHash<QString, int> m_counts; // entry -> how many times it is in the list
    mutable bool m_countsValid = false;
    bool m_ownChange = false;
};
