#pragma once

#include <string>

// watch --textfile: the metrics file, replaced whole after every discovery.
namespace apctl {

// Whether the folder the file goes into exists, so that a watch that could never write it is a
// usage error before anything is sent; `folder` is set either way.
bool TextfileFolderExists(const std::string& path, std::string* folder);

// Replaces `path` with `text` so that a reader opening it at any moment sees the whole old file
// or the whole new one: written to a new file in the same folder, synced, renamed over it. On
// failure nothing is left behind and `reason` says which step failed and why.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* reason);

}  // namespace apctl
