#pragma once

#include <string>
#include <string_view>

#include "framework/Wnd.h"

// A list view in report view: rows of cells under column headings. Several rows can be
// selected; rows keep the order they were inserted in; headings do nothing when clicked.
// Every change of a row's selected or focused state, whether the user or the program made it,
// reaches the dialog as LVN_ITEMCHANGED with an NMLISTVIEW.
class CListCtrl : public CWnd {
public:
    // Appends a left-aligned column (columns are only ever appended); returns its index, or −1.
    // A width below 0 leaves the column at its default width.
    int InsertColumn(int column, std::string_view heading, int format = LVCFMT_LEFT,
                     int width = -1);
    bool DeleteColumn(int column);
    int GetColumnCount() const;
    int GetColumnWidth(int column) const;

    // Inserts a row at `item` (or at the end when `item` is past it); returns its index, or −1.
    int InsertItem(int item, std::string_view text);
    bool SetItemText(int item, int subItem, std::string_view text);
    std::string GetItemText(int item, int subItem) const;
    // Removes every row; no state-change notifications follow.
    bool DeleteAllItems();
    int GetItemCount() const;

    // LVIS_SELECTED and LVIS_FOCUSED, masked. Item −1 in SetItemState means every row.
    unsigned GetItemState(int item, unsigned mask) const;
    bool SetItemState(int item, unsigned state, unsigned mask);

    // LVS_EX_INFOTIP shows a cell's full text in a tooltip where the cell cuts it off. Rows
    // always highlight whole, so LVS_EX_FULLROWSELECT is accepted as it is.
    unsigned SetExtendedStyle(unsigned style);
    unsigned GetExtendedStyle() const { return m_extendedStyle; }

    bool CanAttach(const QWidget* widget) const override;

private:
    unsigned m_extendedStyle = 0;
};
