#!/bin/sh
# Every built module must export mexFunction and nothing else.
# Usage: check_exports.sh <module>...
status=0
for module in "$@"; do
    exports=$(nm -D --defined-only "$module" | awk '{print $NF}' | sort | tr '\n' ' ')
    if [ "$exports" != "mexFunction " ]; then
        echo "FAIL $module exports: $exports"
        status=1
    else
        echo "ok   $module"
    fi
done
exit $status
