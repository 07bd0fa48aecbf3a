#include "framework/ControlId.h"

#include <QVariant>
#include <QWidget>

namespace {

constexpr const char* kControlIdProperty = "controlId";

}  // namespace

int ControlIdOf(const QWidget* widget) {
    if (widget == nullptr) {
        return 0;
    }
    const QVariant id = widget->property(kControlIdProperty);
    return id.isValid() ? id.toInt() : 0;
}

void SetControlId(QWidget* widget, int id) {
    widget->setProperty(kControlIdProperty, id);
}
