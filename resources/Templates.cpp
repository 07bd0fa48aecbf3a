#include "resources/Templates.h"

std::span<const DialogTemplate* const> AllDialogTemplates() {
    static const DialogTemplate* const kTemplates[] = {
        &kAboutBoxTemplate,
        &kMainDialogTemplate,
        &kIpConfigTemplate,
        &kDetailInfoTemplate,
    };
    return kTemplates;
}
