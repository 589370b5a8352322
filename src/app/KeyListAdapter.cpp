#include "app/KeyListAdapter.h"

#include "platform/qt/QtText.h"

#include <QAbstractItemModel>
#include <QListWidget>

KeyListAdapter::KeyListAdapter(QListWidget& listBox) : m_listBox(listBox) {
    QAbstractItemModel* model = m_listBox.model();
    connect(model, &QAbstractItemModel::rowsInserted, this, &KeyListAdapter::modelChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &KeyListAdapter::modelChanged);
    connect(model, &QAbstractItemModel::rowsMoved, this, &KeyListAdapter::modelChanged);
    connect(model, &QAbstractItemModel::dataChanged, this, &KeyListAdapter::modelChanged);
    connect(model, &QAbstractItemModel::modelReset, this, &KeyListAdapter::modelChanged);
    connect(model, &QAbstractItemModel::layoutChanged, this, &KeyListAdapter::modelChanged);
}

void KeyListAdapter::modelChanged() {
    ++m_revision;
    // A change made around the adapter leaves the counts to be rebuilt when next needed.
    if (!m_ownChange)
        m_countsValid = false;
}

void KeyListAdapter::rebuildCounts() const {
    m_counts.clear();
    for (int i = 0; i < m_listBox.count(); ++i)
        ++m_counts[m_listBox.item(i)->text()];
    m_countsValid = true;
}

int KeyListAdapter::count() const {
    return m_listBox.count();
}

std::u16string KeyListAdapter::at(int index) const {
    const QListWidgetItem* item = m_listBox.item(index);
    return item ? QtText::fromQ(item->text()) : std::u16string();
}

void KeyListAdapter::append(const std::u16string& keyword) {
    insert(count(), QtText::toQ(keyword));
}

bool KeyListAdapter::contains(const std::u16string& keyword) const {
    if (!m_countsValid)
        rebuildCounts();
    return m_counts.contains(QtText::toQ(keyword));
}

bool KeyListAdapter::insert(int index, const QString& keyword) {
    if (index < 0 || index > count())
        return false;
    m_ownChange = true;
    m_listBox.insertItem(index, keyword);
    m_ownChange = false;
    if (m_countsValid)
        ++m_counts[keyword];
    return true;
}

bool KeyListAdapter::removeAt(int index) {
    if (index < 0 || index >= count())
        return false;
    m_ownChange = true;
    const bool wasSelected = m_listBox.item(index)->isSelected();
    QListWidgetItem* item = m_listBox.takeItem(index);
    // The list box hands the selection on to a neighbour; a removed selection leaves
    // nothing selected instead.
    if (wasSelected)
        m_listBox.clearSelection();
    m_ownChange = false;
    if (m_countsValid) {
        auto it = m_counts.find(item->text());
        if (it != m_counts.end() && --it.value() == 0)
            m_counts.erase(it);
    }
    delete item;
    return true;
}

void KeyListAdapter::clear() {
    m_ownChange = true;
    m_listBox.clear();
    m_ownChange = false;
    m_counts.clear();
    m_countsValid = true;
    // A list box already empty sends no signal; the revision still tells that a clear ran.
    ++m_revision;
}

int KeyListAdapter::selectionIndex() const {
    const QList<QListWidgetItem*> selected = m_listBox.selectedItems();
    return selected.isEmpty() ? -1 : m_listBox.row(selected.first());
}

QStringList KeyListAdapter::entries() const {
    QStringList list;
    list.reserve(count());
    for (int i = 0; i < count(); ++i)
        list.append(m_listBox.item(i)->text());
    return list;
}
