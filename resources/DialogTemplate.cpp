#include "resources/DialogTemplate.h"

#include "resources/Templates.h"

namespace {

const DialogTemplate* const kDialogTemplates[] = {
    &kAboutBoxTemplate,
    &kMainDialogTemplate,
    &kIpConfigTemplate,
    &kDetailInfoTemplate,
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) noexcept {
    for (const DialogTemplate* dialog : kDialogTemplates) {
        if (dialog->id == id) {
            return dialog;
        }
    }
    return nullptr;
}
