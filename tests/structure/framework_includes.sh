#!/usr/bin/env bash
# Fails when a file of the dialog framework includes the application's code or the network side.
#   framework_includes.sh FRAMEWORK_DIR
set -euo pipefail
dir=${1:?usage: framework_includes.sh FRAMEWORK_DIR}
[[ -d $dir ]] || { echo "no folder $dir" >&2; exit 2; }
if grep -rnE '^\s*#\s*include\s*"(resources|app|config|details|discovery|net)/' "$dir"; then
    echo "the framework includes the application's code or the network side (above)" >&2
    exit 1
fi
echo "the framework includes nothing of the application"
