#!/bin/sh
# Every built module must export mexFunction and nothing else, and load on any
# machine with its host: it may need the C library, the shared unwinder and the
# stand-in host, but no C++ runtime. It must not carry an unwinder of its own
# either: the host's errors are exceptions that one unwinder has to walk from
# the host through our frames and back (a private copy aborts the session).
# And no fused multiply-add may be in it, in any copy of the kernels: a fused
# operation rounds once where the results are defined by two roundings.
# Usage: check_exports.sh <module>...
allowed_needed='^(libc\.so\.6|libm\.so\.6|libpthread\.so\.0|libgcc_s\.so\.1|ld-linux[-a-z0-9_.]*\.so\.[0-9]|libmexhost_standin\.so)$'
status=0
for module in "$@"; do
    exports=$(nm -D --defined-only "$module" | awk '{print $NF}' | sort | tr '\n' ' ')
    needed=$(readelf -d "$module" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
    unexpected_needed=$(echo "$needed" | grep -Ev "$allowed_needed" | tr '\n' ' ')
    own_unwinder=$(nm --defined-only "$module" | awk '$NF ~ /^_Unwind_/ {print $NF}' | head -3 | tr '\n' ' ')
    fused=$(objdump -d --no-show-raw-insn "$module" | grep -cE '[[:space:]]vf(n)?m(add|sub)')
    problems=""
    [ "$exports" = "mexFunction " ] || problems="$problems exports: $exports;"
    [ "$fused" -eq 0 ] || problems="$problems $fused fused multiply-add instructions;"
    [ -z "$unexpected_needed" ] || problems="$problems needs: $unexpected_needed;"
    [ -z "$own_unwinder" ] || problems="$problems defines its own unwinder: $own_unwinder;"
    if [ -n "$problems" ]; then
        echo "FAIL $module$problems"
        status=1
    else
        echo "ok   $module needs: $(echo $needed)"
    fi
done
exit $status
