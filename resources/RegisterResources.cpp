#include "resources/RegisterResources.h"

#include "framework/ResourceRegistry.h"
#include "resources/IconResource.h"
#include "resources/StringTable.h"
#include "resources/Templates.h"

void RegisterResources() {
    static bool registered = false;
    if (registered) {
        return;
    }
    registered = true;
    AfxRegisterDialogTemplates(AllDialogTemplates());
    AfxSetStringTable(LoadStringResource);
    AfxSetIconResources(FindIconResource);
}
