#!/usr/bin/env bash
# Writes OUTDIR/membership_mex-<version>.tar.gz, the Octave package of the
# modules, which Octave users install and load with
#   pkg install -local OUTDIR/membership_mex-<version>.tar.gz
#   pkg load membership_mex
# Usage: bash tools/octave_package.sh OUTDIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: bash tools/octave_package.sh OUTDIR" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)
name=membership_mex
version=$(head -n 1 "$root/VERSION")
# The date of the last commit rather than today's: the same tree gives the
# same package, byte for byte.
date=$(git -C "$root" log -1 --format=%cs 2>/dev/null || date +%F)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
pkg=$stage/$name-$version
mkdir -p "$pkg/inst" "$pkg/src/cmake"

sed -e "s/@PROJECT_VERSION@/$version/" -e "s/@DATE@/$date/" "$root/package/DESCRIPTION.in" >"$pkg/DESCRIPTION"
cp "$root/LICENSE" "$pkg/COPYING"
cp "$root/NEWS" "$root/package/post_install.m" "$pkg/"

# src/: whole folders of sources, those of modules/SOURCES and the gateways,
# with the lists the Makefile reads, laid out as in this tree.
for folder in modules $(awk '!/^#/ && NF == 1' "$root/modules/SOURCES"); do
    mkdir -p "$pkg/src/$folder"
    find "$root/$folder" -maxdepth 1 -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' \) \
        -exec cp -t "$pkg/src/$folder" {} +
done
cp "$root/modules/MODULES" "$root/modules/SOURCES" "$pkg/src/modules/"
cp "$root/cmake/mexFunction.map" "$pkg/src/cmake/"
cp "$root/package/Makefile" "$pkg/src/"

# inst/: the modules' help files (post_install.m moves each beside its
# module), Contents.m, the overview that help membership_mex prints, the
# Octave functions of toolbox/ with their private folder, and the examples,
# in a folder of their own that pkg load leaves off the path.
mapfile -t modules <"$root/modules/MODULES"
for module in "${modules[@]}"; do
    cp "$root/modules/$module.m" "$pkg/inst/"
done
cp "$root/modules/$name.m" "$pkg/inst/"
mkdir -p "$pkg/inst/examples"
cp "$root"/examples/*.m "$pkg/inst/examples/"
sed "s/@PROJECT_VERSION@/$version/" "$root/modules/Contents.m.in" >"$pkg/inst/Contents.m"
functions=()
if compgen -G "$root/toolbox/*.m" >/dev/null; then
    cp "$root"/toolbox/*.m "$pkg/inst/"
    cp -r "$root/toolbox/private" "$pkg/inst/"
    for file in "$root"/toolbox/*.m; do
        functions+=("$(basename "$file" .m)")
    done
fi

{
    echo "$name >> $(sed -n 's/^Title: //p' "$pkg/DESCRIPTION")"
    echo "Native modules"
    printf ' %s\n' "${modules[@]}"
    if [ ${#functions[@]} -gt 0 ]; then
        echo "Octave functions"
        printf ' %s\n' "${functions[@]}"
    fi
} >"$pkg/INDEX"

tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="$date" -C "$stage" -cf - "$name-$version" \
    | gzip -n >"$out/$name-$version.tar.gz"
echo "$out/$name-$version.tar.gz"
