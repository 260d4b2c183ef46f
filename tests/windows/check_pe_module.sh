#!/bin/sh
# Every Windows module must export mexFunction and nothing else, and import
# only from the host's libmx.dll and libmex.dll and from DLLs every Windows
# has: a MinGW runtime DLL among its imports (libstdc++-6.dll,
# libgcc_s_seh-1.dll, libwinpthread-1.dll) would make the host refuse to load
# it on a machine without MinGW. As on Linux, no fused multiply-add may be
# in any copy of the kernels.
# Usage: check_pe_module.sh <objdump> <module>...
objdump=$1
shift
allowed_imports='^(libmx\.dll|libmex\.dll|kernel32\.dll|msvcrt\.dll|api-ms-win-crt-[a-z0-9-]*\.dll)$'
status=0
for module in "$@"; do
    table=$("$objdump" -p "$module") || { echo "FAIL $module: unreadable"; status=1; continue; }
    exports=$(echo "$table" | awk '/^\[Ordinal\/Name Pointer\] Table/ {inside = 1; next}
                                   inside && /^\t\[ *[0-9]+\]/ {print $NF; next}
                                   inside {inside = 0}' | sort | tr '\n' ' ')
    imports=$(echo "$table" | sed -n 's/^\tDLL Name: //p')
    unexpected=$(echo "$imports" | tr 'A-Z' 'a-z' | grep -Ev "$allowed_imports" | tr '\n' ' ')
    fused=$("$objdump" -d --no-show-raw-insn "$module" | grep -cE '[[:space:]]vf(n)?m(add|sub)')
    problems=""
    [ "$exports" = "mexFunction " ] || problems="$problems exports: $exports;"
    [ "$fused" -eq 0 ] || problems="$problems $fused fused multiply-add instructions;"
    [ -z "$unexpected" ] || problems="$problems imports from: $unexpected;"
    if [ -n "$problems" ]; then
        echo "FAIL $module$problems"
        status=1
    else
        echo "ok   $module imports from: $(echo $imports)"
    fi
done
exit $status
