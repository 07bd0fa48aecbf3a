#include "framework/ListView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QStyle>
#include <QToolTip>
#include <set>

#include "framework/FrameworkTypes.h"
#include "framework/Utf8Text.h"

namespace {

std::set<int> RowsOf(const QItemSelection& selection) {
    std::set<int> rows;
    for (const QItemSelectionRange& range : selection) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.insert(row);
        }
    }
    return rows;
}

// A cell as one field of tab-separated text: texts from the wire may hold tabs and line breaks,
// which would split the field or the row where the text is pasted.
QString AsField(QString text) {
    for (QChar& c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            c = QLatin1Char(' ');
        }
    }
    return text;
}

}  // namespace

ListView::ListView(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    setColumnCount(0);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ListView::onSelectionChanged);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            &ListView::onCurrentChanged);
}

void ListView::removeAllRows() {
    quiet_ = true;
    clear();
    quiet_ = false;
}

unsigned ListView::rowState(int row) const {
    unsigned state = 0;
    const QModelIndex index = model()->index(row, 0);
    if (selectionModel()->isSelected(index)) {
        state |= LVIS_SELECTED;
    }
    if (selectionModel()->currentIndex().row() == row && index.isValid()) {
        state |= LVIS_FOCUSED;
    }
    return state;
}

void ListView::onSelectionChanged(const QItemSelection& selected,
                                  const QItemSelection& deselected) {
    if (quiet_) {
        return;
    }
    for (int row : RowsOf(deselected)) {
        const unsigned now = rowState(row);
        emit rowStateChanged(row, now | LVIS_SELECTED, now);
    }
    for (int row : RowsOf(selected)) {
        const unsigned now = rowState(row);
        emit rowStateChanged(row, now & ~LVIS_SELECTED, now);
    }
}

void ListView::onCurrentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (quiet_) {
        return;
    }
    if (previous.isValid() && previous.row() != current.row()) {
        const unsigned now = rowState(previous.row());
        emit rowStateChanged(previous.row(), now | LVIS_FOCUSED, now);
    }
    if (current.isValid() && previous.row() != current.row()) {
        const unsigned now = rowState(current.row());
        emit rowStateChanged(current.row(), now & ~LVIS_FOCUSED, now);
    }
}

QString ListView::toolTipAt(const QPoint& viewportPos) const {
    const QModelIndex index = indexAt(viewportPos);
    if (!infoTips_ || !index.isValid()) {
        return {};
    }
    QString text = index.data(Qt::DisplayRole).toString();
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int room = visualRect(index).width() - 2 * margin;
    if (fontMetrics().horizontalAdvance(text) <= room) {
        return {};
    }
    return text;
}

bool ListView::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QTreeWidget::viewportEvent(event);
    }
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = toolTipAt(help->pos());
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(help->globalPos(), PlainTextForRichTextPlace(text), viewport(),
                       visualRect(indexAt(help->pos())));
    return true;
}

QString ListView::selectedRowsText() const {
    QString text;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (!selectionModel()->isSelected(model()->index(row, 0))) {
            continue;
        }
        const QTreeWidgetItem* item = topLevelItem(row);
        for (int column = 0; column < columnCount(); ++column) {
            if (column > 0) {
                text += QLatin1Char('\t');
            }
            text += AsField(item->text(column));
        }
        text += QLatin1Char('\n');
    }
    return text;
}

void ListView::keyPressEvent(QKeyEvent* event) {
    if (!event->matches(QKeySequence::Copy)) {
        QTreeWidget::keyPressEvent(event);
        return;
    }
    // The rows, not the current cell as the item view would copy; with nothing selected the
    // clipboard keeps what it holds.
    const QString text = selectedRowsText();
    if (!text.isEmpty()) {
        QGuiApplication::clipboard()->setText(text);
    }
    event->accept();
}
