#pragma once

#include <string>

// bash's, zsh's and fish's completion for apctl, written from the table of commands and options,
// so that an option added to the table is offered in every shell without anyone editing them.
namespace apctl {

// `apctl`, for bash-completion's completions directory (or to be sourced).
std::string BashCompletion();
// The completion function file `_apctl` (#compdef apctl), for a directory on zsh's fpath.
std::string ZshCompletion();
// `apctl.fish`, for fish's vendor_completions.d.
std::string FishCompletion();

}  // namespace apctl
