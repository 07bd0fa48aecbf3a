#pragma once

#include <string>

// The text of a string-table entry; empty for an identifier the table does not hold.
std::string AfxLoadString(int id);
