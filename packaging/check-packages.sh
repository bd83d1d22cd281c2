#!/usr/bin/env bash
# Checks the tool as a user gets it: installed from a build folder into a
# staging folder, from the Debian package, and from the Windows zip (where
# a Windows build can be made). Every installed copy is run on the bundled
# example and must write examples/page-with-notes.html byte for byte.
#
#   packaging/check-packages.sh [BUILD_DIR]     (default: build)
#
# BUILD_DIR is an already built native folder (the README's `build`). The
# packages are made with packaging/build-packages.sh. Installing the .deb
# needs root; the package is removed again at the end.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build}
expected=$root/examples/page-with-notes.html
work=$(mktemp -d)
installed_deb=no
cleanup() {
  if [[ $installed_deb == yes ]]; then dpkg -r plaken >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

step() { printf '\n== %s\n' "$*"; }
fail() { echo "check-packages: FAIL: $*" >&2; exit 1; }

# Runs a plaken on the example in a fresh folder; it must print nothing,
# end with 0 and write the expected bytes.
run_example() {
  local label=$1; shift
  local dir=$work/run-$label
  mkdir -p "$dir"
  cp "$root/examples/page.html" "$root/examples/notes.txt" "$dir/"
  local status=0
  (cd "$dir" && "$@" page.html notes.txt page-with-notes.html \
      </dev/null >stdout.txt) || status=$?
  [[ $status -eq 0 ]] || fail "$label: exit status $status"
  [[ ! -s $dir/stdout.txt ]] || fail "$label: printed $(cat -A "$dir/stdout.txt")"
  cmp "$dir/page-with-notes.html" "$expected" ||
    fail "$label: output differs from examples/page-with-notes.html"
  echo "$label: output matches examples/page-with-notes.html"
}

# Succeeds quietly, or shows what was said and fails.
quiet() {
  local what=$1; shift
  local said
  said=$("$@" 2>&1) || fail "$what: exit status $?: $said"
  [[ -z $said ]] || fail "$what: $said"
  echo "$what: clean"
}

version=$(sed -n 's/^project(plaken VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[[ -n $version ]] || fail "no version in CMakeLists.txt"

step "version $version where the documents name it"
grep -q "^\.TH PLAKEN 1 [0-9-]* \"plaken $version\"" doc/plaken.1 ||
  fail "doc/plaken.1: .TH does not name plaken $version"
for name in "plaken_${version}_amd64.deb" "plaken-${version}-win64.zip"; do
  grep -qF "$name" README.md || fail "README.md does not name $name"
done
# In roff the hyphens of the zip's name are written \-.
grep -qF "plaken\\-${version}\\-win64.zip" doc/plaken.1 ||
  fail "doc/plaken.1 does not name plaken-${version}-win64.zip"
echo "README.md and doc/plaken.1 name version $version"

step "manual page source"
quiet "groff -ww -z -man doc/plaken.1" groff -ww -z -man doc/plaken.1
quiet "mandoc -T lint doc/plaken.1" mandoc -T lint doc/plaken.1

step "README's worked example"
# The listing the README shows under "shows every line end" is cat -A of
# the expected output.
shown=$(awk '/^shows every line end/ {on = 1; next}
             on && /^    / {print substr($0, 5); seen = 1; next}
             on && seen {exit}' README.md)
[[ -n $shown && $shown == "$(cat -A "$expected")" ]] ||
  fail "README's listing is not cat -A of examples/page-with-notes.html"
echo "README's listing matches examples/page-with-notes.html"
# And the README's first command, as it stands, writes those bytes.
"$build/plaken" examples/page.html examples/notes.txt "$build/page-with-notes.html" </dev/null
cmp "$build/page-with-notes.html" "$expected"
echo "$build/plaken writes $build/page-with-notes.html as shown"

step "cmake --install into a staging folder"
stage=$work/stage
cmake --install "$build" --prefix "$stage"
listing=$(cd "$stage" && find . -type f -o -type l | sort)
[[ $listing == $'./bin/plaken\n./share/man/man1/plaken.1' ]] ||
  fail "installed files are not just bin/plaken and share/man/man1/plaken.1:"$'\n'"$listing"
echo "installed: bin/plaken share/man/man1/plaken.1, nothing else"
cmp "$stage/share/man/man1/plaken.1" doc/plaken.1
run_example staged "$stage/bin/plaken"

step "packages"
packaging/build-packages.sh
deb=$root/build-deb/plaken_${version}_amd64.deb
[[ -f $deb ]] || fail "$deb was not made"

step "dpkg-deb -I / -c $(basename "$deb")"
dpkg-deb -I "$deb"
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == plaken ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version)"
[[ $(field Architecture) == amd64 ]] || fail "Architecture: $(field Architecture)"
[[ $(field Section) == text ]] || fail "Section: $(field Section)"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
[[ $(field Description) == *$'\n'* ]] || fail "no long description"
# The C++ runtime is linked in: the C library is the only dependency.
[[ $(field Depends) =~ ^libc6(\ \(\>=\ [0-9.]+\))?$ ]] ||
  fail "Depends: $(field Depends)"
dpkg-deb -c "$deb"
contents=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6, $1}' | sort)
[[ $contents == $'./usr/bin/plaken -rwxr-xr-x\n./usr/share/man/man1/plaken.1.gz -rw-r--r--' ]] ||
  fail "package files are not just usr/bin/plaken and usr/share/man/man1/plaken.1.gz:"$'\n'"$contents"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/plaken.1.gz |
  gunzip | cmp - doc/plaken.1
echo "package fields and contents as expected"

step "dpkg -i $(basename "$deb")"
if [[ $(id -u) -ne 0 ]]; then
  echo "check-packages: skipping dpkg -i and man plaken: not root"
else
  if dpkg -s plaken >/dev/null 2>&1; then
    fail "plaken is installed already; remove it first (dpkg -r plaken)"
  fi
  # Some minimal Debian images exclude manual pages from every package.
  dpkg -i --path-include=/usr/share/man/man1/plaken.1.gz "$deb"
  installed_deb=yes
  [[ $(command -v plaken) == /usr/bin/plaken ]] ||
    fail "plaken on the PATH is $(command -v plaken)"
  run_example from-path plaken

  step "man plaken"
  rendered=$work/man.txt
  said=$(MANWIDTH=80 man --warnings plaken 2>&1 >"$rendered") ||
    fail "man plaken: $said"
  [[ -z $said ]] || fail "man plaken warned: $said"
  if ! grep -q '^NAME' "$rendered" ||
     ! grep -q 'plaken - splice a plain text file' "$rendered"; then
    fail "man plaken rendered something else: $(head -5 "$rendered")"
  fi
  echo "man plaken: $(wc -l <"$rendered") lines, no warnings"
fi

step "Windows zip"
zip=$root/build-win64/plaken-${version}-win64.zip
if [[ ! -f $zip ]]; then
  echo "check-packages: skipping the zip check: no Windows build here" \
       "(needs x86_64-w64-mingw32-g++ and cmake/mingw-w64-x86_64.cmake)"
else
  top=plaken-${version}-win64
  entries=$(cmake -E tar tf "$zip" | grep -v '/$' | sort)
  [[ $entries == "$top/README.txt"$'\n'"$top/plaken.exe" ]] ||
    fail "zip holds other than $top/plaken.exe and $top/README.txt:"$'\n'"$entries"
  mkdir -p "$work/zip"
  (cd "$work/zip" && cmake -E tar xf "$zip")
  readme=$work/zip/$top/README.txt
  if [[ ! -s $readme ]] || grep -qv $'\r$' "$readme"; then
    fail "README.txt does not end every line in CR LF"
  fi
  echo "zip holds $top/plaken.exe and $top/README.txt (CR LF)"
  command -v wine >/dev/null || fail "wine not found: cannot run plaken.exe"
  # A throwaway prefix, without the browser and .NET set-up it would offer.
  export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  run_example wine wine "$work/zip/$top/plaken.exe"
fi

echo
echo "check-packages: all checks passed"
