#include "framework/ResourceRegistry.h"

#include <vector>

#include "framework/LoadString.h"
#include "framework/Translation.h"

namespace {

std::vector<const DialogTemplate*>& DialogTemplates() {
    static std::vector<const DialogTemplate*> templates;
    return templates;
}

StringTableLookup g_stringTable = nullptr;
IconResourceLookup g_iconResources = nullptr;

}  // namespace

void AfxRegisterDialogTemplates(std::span<const DialogTemplate* const> templates) {
    DialogTemplates().insert(DialogTemplates().end(), templates.begin(), templates.end());
}

const DialogTemplate* FindDialogTemplate(int id) noexcept {
    for (const DialogTemplate* dialog : DialogTemplates()) {
        if (dialog != nullptr && dialog->id == id) {
            return dialog;
        }
    }
    return nullptr;
}

void AfxSetStringTable(StringTableLookup lookup) noexcept {
    g_stringTable = lookup;
}

std::string AfxLoadString(int id) {
    const char* text = g_stringTable != nullptr ? g_stringTable(id) : nullptr;
    return text != nullptr && *text != '\0' ? AfxTranslate(kStringTableContext, text) : "";
}

void AfxSetIconResources(IconResourceLookup lookup) noexcept {
    g_iconResources = lookup;
}

IconResourceLookup AfxIconResources() noexcept {
    return g_iconResources;
}
