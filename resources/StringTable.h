#pragma once

// The application's string table: texts by resource identifier.

enum StringId : int {
    IDS_ABOUTBOX = 101,
    IDS_COLUMN_NAME = 102,
    IDS_COLUMN_MAC = 103,
    IDS_COLUMN_IP_ADDRESS = 104,
    IDS_COLUMN_DESCRIPTION = 106,
    IDS_COLUMN_FW_VERSION = 108,
    IDS_BANNER = 109,
    IDS_INVALID_OR_MISSING = 110,
    IDS_VALUE_OUT_OF_RANGE = 111,
    IDS_SE_ERR_FNF = 112,
    IDS_SE_ERR_PNF = 113,
    IDS_ERROR_BAD_FORMAT = 114,
    IDS_SE_ERR_ACCESSDENIED = 115,
    IDS_SE_ERR_ASSOCINCOMPLETE = 116,
    IDS_SE_ERR_DDEBUSY = 117,
    IDS_SE_ERR_DDEFAIL = 118,
    IDS_SE_ERR_DDETIMEOUT = 119,
    IDS_SE_ERR_DLLNOTFOUND = 120,
    IDS_SE_ERR_NOASSOC = 121,
    IDS_SE_ERR_OOM = 122,
    IDS_SE_ERR_SHARE = 123,
    IDS_DATA_SAVED = 124,
    IDS_RESET_FAILED = 125,
    IDS_UNABLE_TO_SAVE = 126,
    IDS_COLUMN_IEEE_STANDARD = 127,
    IDS_MANUAL_NOT_SHOWN = 128,
};

// The text of a string resource, or empty text for an identifier the table does not hold.
const char* LoadStringResource(int id) noexcept;
