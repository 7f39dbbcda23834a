#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from its clang-format form (the
# root .clang-format). Fix with: clang-format -i <file>
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z -- '*.c' '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror
echo "format: $(git ls-files -- '*.c' '*.cpp' '*.h' | wc -l) files checked"
