#include "resources/RegisterResources.h"

#include "framework/ResourceRegistry.h"
#include "resources/IconResource.h"
#include "resources/StringTable.h"
#include "resources/Templates.h"

void RegisterResources() {
    static const DialogTemplate* const kTemplates[] = {
        &kAboutBoxTemplate,
        &kMainDialogTemplate,
        &kIpConfigTemplate,
        &kDetailInfoTemplate,
    };
    static bool registered = false;
    if (registered) {
        return;
    }
    registered = true;
    AfxRegisterDialogTemplates(kTemplates);
    AfxSetStringTable(LoadStringResource);
    AfxSetIconResources(FindIconResource);
}
