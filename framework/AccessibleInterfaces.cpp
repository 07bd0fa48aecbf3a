#include "framework/AccessibleInterfaces.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QMenu>
#include <QRegularExpression>
#include <QStringList>
#include <map>
#include <memory>

#include "framework/StaticText.h"

namespace {

using Relations = QList<QPair<QAccessibleInterface*, QAccessible::Relation>>;

// The lines a reader would go through one by one; a text of one line has none.
QStringList LinesOf(const QString& text) {
    static const QRegularExpression kBreak(QStringLiteral("\r\n|\n|\r"));
    QStringList lines = text.split(kBreak);
    while (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();
    }
    return lines.size() > 1 ? lines : QStringList();
}

// One line of a static text of several: a label and its value with tabs between, named as read
// ("IP Address: 10.0.0.5"), its value what follows the tabs.
class TextLineAccessible final : public QAccessibleInterface {
public:
    TextLineAccessible(StaticText* text, int line) : text_(text), line_(line) {}

    bool isValid() const override {
        return text_ != nullptr && line_ < LinesOf(text_->text()).size();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent() != nullptr ? parent()->window() : nullptr; }
    QAccessibleInterface* parent() const override {
        return text_ != nullptr ? QAccessible::queryAccessibleInterface(text_.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::StaticText; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.readOnly = true;
        return state;
    }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text which) const override {
        if (!isValid()) {
            return {};
        }
        const QString line = LinesOf(text_->text()).at(line_);
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        switch (which) {
            case QAccessible::Name: {
                QString read = line;
                static const QRegularExpression kTabs(QStringLiteral("\t+"));
                return read.replace(kTabs, QStringLiteral(" ")).trimmed();
            }
            case QAccessible::Value: {
                if (tab < 0) {
                    return {};
                }
                qsizetype from = tab;
                while (from < line.size() && line.at(from) == QLatin1Char('\t')) {
                    ++from;
                }
                return line.mid(from);
            }
            default:
                return {};
        }
    }

    QRect rect() const override {
        if (!isValid()) {
            return {};
        }
        const QRect area = text_->contentsRect();
        const int height = QFontMetrics(text_->font()).lineSpacing();
        const QPoint top = text_->mapToGlobal(area.topLeft() + QPoint(0, line_ * height));
        return {top, QSize(area.width(), height)};
    }

private:
    QPointer<StaticText> text_;
    int line_;
};

// A static text: its name is what it shows, its caption or the value it captions are its
// relations, and its lines are its children when it has several.
class StaticTextAccessible final : public QAccessibleWidget {
public:
    explicit StaticTextAccessible(StaticText* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    ~StaticTextAccessible() override {
        for (const auto& [line, id] : lines_) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }

    QString text(QAccessible::Text which) const override {
        if (which != QAccessible::Name) {
            return QAccessibleWidget::text(which);
        }
        const QString name = widget()->accessibleName();
        return name.isEmpty() ? Text()->text() : name;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.invisible = state.invisible || Text()->isDecoration();
        return state;
    }

    Relations relations(QAccessible::Relation match) const override {
        Relations relations = QAccessibleWidget::relations(match);
        if ((match & QAccessible::Label) != 0 && Text()->label() != nullptr) {
            relations.append(
                {QAccessible::queryAccessibleInterface(Text()->label()), QAccessible::Label});
        }
        if ((match & QAccessible::Labelled) != 0 && Text()->labelled() != nullptr) {
            relations.append(
                {QAccessible::queryAccessibleInterface(Text()->labelled()), QAccessible::Labelled});
        }
        return relations;
    }

    int childCount() const override { return static_cast<int>(LinesOf(Text()->text()).size()); }

    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) {
            return nullptr;
        }
        // One interface per line for the life of the widget, as assistive technology keeps
        // the ids it has been given.
        auto found = lines_.find(index);
        if (found == lines_.end()) {
            auto* line = new TextLineAccessible(Text(), index);
            found = lines_.emplace(index, QAccessible::registerAccessibleInterface(line)).first;
        }
        return QAccessible::accessibleInterface(found->second);
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        for (const auto& [line, id] : lines_) {
            if (QAccessible::accessibleInterface(id) == child) {
                return line < childCount() ? line : -1;
            }
        }
        return -1;
    }

private:
    StaticText* Text() const { return static_cast<StaticText*>(widget()); }

    mutable std::map<int, QAccessible::Id> lines_;
};

// A dialog window, whose children are its controls less the punctuation between them.
class DialogWindowAccessible final : public QAccessibleWidget {
public:
    explicit DialogWindowAccessible(QWidget* window)
        : QAccessibleWidget(window, QAccessible::Dialog) {}

    int childCount() const override { return static_cast<int>(Children().size()); }

    QAccessibleInterface* child(int index) const override {
        const QList<QWidget*> children = Children();
        return index >= 0 && index < children.size()
                   ? QAccessible::queryAccessibleInterface(children.at(index))
                   : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr
                   ? static_cast<int>(Children().indexOf(qobject_cast<QWidget*>(child->object())))
                   : -1;
    }

private:
    QList<QWidget*> Children() const {
        QList<QWidget*> children;
        for (QObject* object : widget()->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (child == nullptr || child->isWindow() || qobject_cast<QMenu*>(child) != nullptr) {
                continue;
            }
            if (const auto* text = qobject_cast<StaticText*>(child);
                text != nullptr && text->isDecoration()) {
                continue;
            }
            children.append(child);
        }
        return children;
    }
};

QAccessibleInterface* CreateAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("StaticText")) {
        if (auto* text = qobject_cast<StaticText*>(object)) {
            return new StaticTextAccessible(text);
        }
    }
    if (className == QLatin1String("DialogWindow") && object->isWidgetType()) {
        return new DialogWindowAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

}  // namespace

void InstallAccessibleInterfaces() {
    static const bool kInstalled = [] {
        QAccessible::installFactory(&CreateAccessible);
        return true;
    }();
    (void)kInstalled;
}
