#!/usr/bin/env bash
# Usage: check_installed_tree.sh BUILD-DIR SOURCE-DIR
# Installs the build into a temporary prefix, moves the prefix elsewhere and
# runs the installed programs from there: they must find their plug-ins,
# definitions and documents by their own place, never by the build's.
set -euo pipefail
build=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/first" >/dev/null
mv "$work/first" "$work/moved"
prefix=$work/moved
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
# A settings file of its own, so no SPIDIR of the user's is used.
settings=$work/settings.ini

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for file in bin/vemra bin/vemra-cli \
    lib/vemra/plugins/archive.spi lib/vemra/plugins/webp.spi lib/vemra/plugins/heif.spi \
    share/vemra/catalogs/thumbnail-table.kpm share/doc/vemra/README.md \
    share/doc/vemra/guide/index.html share/applications/vemra.desktop \
    share/icons/hicolor/scalable/apps/vemra.svg share/icons/hicolor/48x48/apps/vemra.png \
    share/man/man1/vemra.1.gz share/man/man1/vemra-cli.1.gz \
    share/bash-completion/completions/vemra-cli; do
    [[ -f $prefix/$file ]] || fail "not installed: $file"
done
compgen -G "$prefix/share/metainfo/*.metainfo.xml" >/dev/null || fail "no metainfo installed"
[[ -x $prefix/lib/vemra/plugins/webp.spi ]] && fail "a plug-in is installed executable"

version=$(grep -m1 -o 'project(Vemra VERSION [0-9.]*' "$source_dir/CMakeLists.txt" | awk '{print $3}')
[[ $("$prefix/bin/vemra-cli" --version) == "vemra-cli $version" ]] || fail "vemra-cli --version"
[[ $("$prefix/bin/vemra" --version) == "vemra $version" ]] || fail "vemra --version"

# The WebP picture and the archive need the installed plug-ins.
identified=$("$prefix/bin/vemra-cli" --settings "$settings" identify \
    "$source_dir/samples/sunset.webp" "$source_dir/samples/sunset.jpg")
grep -qP '^.*sunset\.webp\twebp\t160\t120\t' <<<"$identified" ||
    fail "the installed WebP plug-in was not found: $identified"
members=$("$prefix/bin/vemra-cli" --settings "$settings" list "$source_dir/samples/album.zip" | wc -l)
[[ $members -gt 0 ]] || fail "the installed archive plug-in was not found"
plugins=$("$prefix/bin/vemra-cli" --settings "$settings" plugins | cut -f1 | grep -v '^#' | sort | xargs)
[[ $plugins == "archive heif webp" ]] || fail "the installed plug-ins are not all found: $plugins"

[[ $failures -eq 0 ]] && echo "installed tree at a moved prefix works"
exit $((failures > 0))
