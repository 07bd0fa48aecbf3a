#include "resources/StringTable.h"

namespace {

struct StringEntry {
    int id;
    const char* text;
};

constexpr StringEntry kStringTable[] = {
    {IDS_ABOUTBOX, "&About Access Point Management..."},
    {IDS_COLUMN_NAME, "Name"},
    {IDS_COLUMN_MAC, "MAC"},
    {IDS_COLUMN_IP_ADDRESS, "IP Address"},
    {IDS_COLUMN_DESCRIPTION, "Description"},
    {IDS_COLUMN_FW_VERSION, "FW Version"},
    {IDS_BANNER, "Wireless Access Point Management Utility Version 1.11"},
    {IDS_INVALID_OR_MISSING, "Invalid or missing data."},
    {IDS_VALUE_OUT_OF_RANGE, "Value must be between 0 - 255."},
    {IDS_SE_ERR_FNF, "The specified file was not found."},
    {IDS_SE_ERR_PNF, "The specified path is invalid."},
    {IDS_ERROR_BAD_FORMAT, "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."},
    {IDS_SE_ERR_ACCESSDENIED, "The operating system denied access to the specified file."},
    {IDS_SE_ERR_ASSOCINCOMPLETE, "The filename association is incomplete or invalid."},
    {IDS_SE_ERR_DDEBUSY,
     "The DDE transaction could not be completed because other DDE transactions were being "
     "processed."},
    {IDS_SE_ERR_DDEFAIL, "The DDE transaction failed."},
    {IDS_SE_ERR_DDETIMEOUT,
     "The DDE transaction could not be completed because the request timed out."},
    {IDS_SE_ERR_DLLNOTFOUND, "The specified DLL file was not found."},
    {IDS_SE_ERR_NOASSOC, "There is no application associated with the given filename extension."},
    {IDS_SE_ERR_OOM, "There was not enough memory to complete the operation."},
    {IDS_SE_ERR_SHARE, "A sharing violation occurred, unable to continue."},
    {IDS_DATA_SAVED, "Data saved successfully."},
    {IDS_RESET_FAILED, "Reset Failed."},
    {IDS_UNABLE_TO_SAVE, "Unable to save."},
    {IDS_COLUMN_IEEE_STANDARD, "IEEE Standard"},
    // F1, when neither the help viewer nor the desktop's opener can show the manual page.
    {IDS_MANUAL_NOT_SHOWN,
     "No help viewer could show the manual page apmanager(1). In a terminal: man apmanager"},
};

}  // namespace

const char* LoadStringResource(int id) noexcept {
    for (const StringEntry& entry : kStringTable) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return "";
}
