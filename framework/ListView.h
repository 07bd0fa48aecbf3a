#pragma once

#include <QItemSelection>
#include <QTreeWidget>

// The list view behind CListCtrl: a report of rows and columns where several rows can be
// selected, whole rows highlight, rows keep the order they were inserted in and column headings
// do nothing when clicked; the copy key copies the selected rows. Every change of a row's selected
// or focused state is reported, also when the program itself made it.
class ListView final : public QTreeWidget {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);

    // Tooltips with a cell's full text where the cell cuts it off.
    void setInfoTips(bool on) { infoTips_ = on; }
    bool infoTips() const { return infoTips_; }

    // Removes every row without reporting the rows' state changes.
    void removeAllRows();

    // The tooltip text for the cell at a viewport position: empty when the cell shows its text
    // whole or tooltips are off.
    QString toolTipAt(const QPoint& viewportPos) const;

    // The selected rows in row order as tab-separated text, every column, one line each: what
    // the copy key (Ctrl+C) puts on the clipboard.
    QString selectedRowsText() const;

    // LVIS_SELECTED and LVIS_FOCUSED of a row.
    unsigned rowState(int row) const;

signals:
    void rowStateChanged(int row, unsigned oldState, unsigned newState);

protected:
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void onSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void onCurrentChanged(const QModelIndex& current, const QModelIndex& previous);

    bool infoTips_ = false;
    bool quiet_ = false;
};
