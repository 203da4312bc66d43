# Sourced: the private Wine prefix of a build tree. Never the user's own ~/.wine.
# Usage: . tools/wine-env.sh <build-dir>
_ostrel_build=$(cd "$1" && pwd)
export WINEPREFIX="$_ostrel_build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: nothing here needs them and they would prompt.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine names Unix files in the locale's character set: without UTF-8 a
# non-ASCII file name cannot be created at all.
case "$(locale charmap 2>/dev/null)" in
    UTF-8) ;;
    *) export LC_ALL=C.UTF-8 ;;
esac
