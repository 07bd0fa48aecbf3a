#include "framework/ListCtrl.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTreeWidgetItem>

#include "framework/ListView.h"
#include "framework/Utf8Text.h"

namespace {

ListView* ListOf(QWidget* widget) {
    return qobject_cast<ListView*>(widget);
}
const ListView* ListOf(const QWidget* widget) {
    return qobject_cast<const ListView*>(widget);
}

bool ValidItem(const ListView* list, int item) {
    return list != nullptr && item >= 0 && item < list->topLevelItemCount();
}

}  // namespace

int CListCtrl::InsertColumn(int column, std::string_view heading, int, int width) {
    ListView* list = ListOf(GetSafeHwnd());
    if (list == nullptr || column < 0) {
        return -1;
    }
    const int index = list->columnCount();
    if (column < index) {
        return -1;
    }
    list->setColumnCount(index + 1);
    list->headerItem()->setText(index, FromUtf8(heading));
    if (width >= 0) {
        list->header()->resizeSection(index, width);
    }
    return index;
}

bool CListCtrl::DeleteColumn(int column) {
    ListView* list = ListOf(GetSafeHwnd());
    if (list == nullptr || column < 0 || column >= list->columnCount()) {
        return false;
    }
    // The tree model removes columns only from the end: the later ones move left first.
    const int last = list->columnCount() - 1;
    QTreeWidgetItem* header = list->headerItem();
    for (int c = column; c < last; ++c) {
        header->setText(c, header->text(c + 1));
        list->header()->resizeSection(c, list->header()->sectionSize(c + 1));
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            QTreeWidgetItem* item = list->topLevelItem(row);
            item->setText(c, item->text(c + 1));
        }
    }
    list->setColumnCount(last);
    return true;
}

int CListCtrl::GetColumnCount() const {
    const ListView* list = ListOf(GetSafeHwnd());
    return list != nullptr ? list->columnCount() : 0;
}

int CListCtrl::GetColumnWidth(int column) const {
    const ListView* list = ListOf(GetSafeHwnd());
    if (list == nullptr || column < 0 || column >= list->columnCount()) {
        return 0;
    }
    return list->header()->sectionSize(column);
}

int CListCtrl::InsertItem(int item, std::string_view text) {
    ListView* list = ListOf(GetSafeHwnd());
    if (list == nullptr || item < 0) {
        return -1;
    }
    const int index = std::min(item, list->topLevelItemCount());
    auto* row = new QTreeWidgetItem();
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    row->setText(0, FromUtf8(text));
    list->insertTopLevelItem(index, row);
    return index;
}

bool CListCtrl::SetItemText(int item, int subItem, std::string_view text) {
    ListView* list = ListOf(GetSafeHwnd());
    if (!ValidItem(list, item) || subItem < 0 || subItem >= list->columnCount()) {
        return false;
    }
    list->topLevelItem(item)->setText(subItem, FromUtf8(text));
    return true;
}

std::string CListCtrl::GetItemText(int item, int subItem) const {
    const ListView* list = ListOf(GetSafeHwnd());
    if (!ValidItem(list, item) || subItem < 0 || subItem >= list->columnCount()) {
        return {};
    }
    return ToUtf8(list->topLevelItem(item)->text(subItem));
}

bool CListCtrl::DeleteAllItems() {
    ListView* list = ListOf(GetSafeHwnd());
    if (list == nullptr) {
        return false;
    }
    list->removeAllRows();
    return true;
}

int CListCtrl::GetItemCount() const {
    const ListView* list = ListOf(GetSafeHwnd());
    return list != nullptr ? list->topLevelItemCount() : 0;
}

unsigned CListCtrl::GetItemState(int item, unsigned mask) const {
    const ListView* list = ListOf(GetSafeHwnd());
    if (!ValidItem(list, item)) {
        return 0;
    }
    return list->rowState(item) & mask;
}

bool CListCtrl::SetItemState(int item, unsigned state, unsigned mask) {
    ListView* list = ListOf(GetSafeHwnd());
    if (list == nullptr) {
        return false;
    }
    if (item == -1) {
        bool changed = false;
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            changed = SetItemState(row, state, mask & LVIS_SELECTED) || changed;
        }
        return changed;
    }
    if (!ValidItem(list, item)) {
        return false;
    }
    QItemSelectionModel* selection = list->selectionModel();
    const QModelIndex index = list->model()->index(item, 0);
    if ((mask & LVIS_SELECTED) != 0) {
        const auto command = (state & LVIS_SELECTED) != 0 ? QItemSelectionModel::Select
                                                          : QItemSelectionModel::Deselect;
        selection->select(index, command | QItemSelectionModel::Rows);
    }
    if ((mask & LVIS_FOCUSED) != 0) {
        if ((state & LVIS_FOCUSED) != 0) {
            selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        } else if (selection->currentIndex().row() == item) {
            selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        }
    }
    return true;
}

unsigned CListCtrl::SetExtendedStyle(unsigned style) {
    const unsigned previous = m_extendedStyle;
    m_extendedStyle = style;
    if (ListView* list = ListOf(GetSafeHwnd())) {
        list->setInfoTips((style & LVS_EX_INFOTIP) != 0);
    }
    return previous;
}

bool CListCtrl::CanAttach(const QWidget* widget) const {
    return ListOf(widget) != nullptr;
}
