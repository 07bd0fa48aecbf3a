#include "framework/LoadString.h"

#include "resources/StringTable.h"

std::string AfxLoadString(int id) {
    return LoadStringResource(id);
}
