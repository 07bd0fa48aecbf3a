#pragma once

#include <string>

// The text of a string-table entry in the user's language, as UTF-8; empty for an identifier the
// table does not hold.
std::string AfxLoadString(int id);
