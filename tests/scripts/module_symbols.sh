#!/usr/bin/env bash
# The built module exports EntryPointFunc and nothing else, and never calls the
# heap allocator: everything it keeps lives in host handles.
set -euo pipefail
module=$1
exports=$(nm -D --defined-only "$module" | awk '{print $3}' | sort -u)
if [ "$exports" != "EntryPointFunc" ]; then
  echo "exports other than EntryPointFunc:"; echo "$exports"; exit 1
fi
allocators=$(nm -D --undefined-only "$module" | awk '{print $2}' | sed 's/@.*//' |
             grep -E '^(malloc|calloc|realloc|free|_Znwm|_Znam|_Znwj|_Znaj|_ZdlPv|_ZdaPv)$' || true)
if [ -n "$allocators" ]; then
  echo "the module calls the heap allocator:"; echo "$allocators"; exit 1
fi
echo "exports: EntryPointFunc; allocator calls: none"
