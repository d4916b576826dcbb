#!/bin/sh
# Builds the Debian package from the build tree, unpacks it into a scratch
# root, starts the unpacked program under Xvfb as a user who never ran it
# before would, and checks that the program made its per-user folder and
# filled it from the shipped data, leaving the installed folders alone.
#
# Then it unzips an archive through the installed Varnock and its engines,
# loaded as tavrin loads them (UNZIP_CHECK: tavrin_installed_unzip).
#
#   PackageInstallTest.sh BUILD_DIR UNZIP_CHECK
set -eu

build=$(cd "$1" && pwd)
unzip_check=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-install-XXXXXX")
xvfb_pid=""
tavrin_pid=""
cleanup() {
  set +e
  if [ -n "$tavrin_pid" ]; then kill "$tavrin_pid" 2>/dev/null; wait "$tavrin_pid" 2>/dev/null; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in cpack file dpkg-deb Xvfb xdotool zip; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup installs it)"
done

# The package, as a user would build it.
(cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; fail "cpack could not build the package"; }
set -- "$work"/pkg/tavrin_*_*.deb
[ -f "$1" ] || fail "no tavrin_VERSION_ARCH.deb was made"
deb=$1
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' ||
  fail "the package does not depend on the Qt libraries it needs"
dpkg-deb -x "$deb" "$work/root"
usr="$work/root/usr"

for f in bin/tavrin bin/tavrin-disk lib/tavrin/libvarnock.so lib/tavrin/libvarnockunzip.so \
         lib/tavrin/libvarnockzip.so share/tavrin/bbc.mdb share/tavrin/Images/background.jpg \
         share/applications/org.tavrin.Tavrin.desktop share/metainfo/org.tavrin.Tavrin.metainfo.xml \
         share/icons/hicolor/48x48/apps/tavrin.png share/man/man1/tavrin-disk.1.gz \
         share/man/man1/tavrin.1.gz share/doc/tavrin/copyright share/doc/tavrin/changelog.gz; do
  [ -f "$usr/$f" ] || fail "the package lacks /usr/$f"
done
head -n 1 "$usr/share/doc/tavrin/copyright" |
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in Debian's machine-readable format"
# No maintainer script runs ldconfig: the libraries are outside its path.
dpkg-deb -e "$deb" "$work/control"
! grep -rl ldconfig "$work/control" >/dev/null || fail "a maintainer script calls ldconfig"
# The long description: every line after the first starts with a blank and
# fits in 80 columns.
dpkg-deb -f "$deb" Description | tail -n +2 |
  awk 'length > 80 || !/^ / { bad = 1 } END { exit bad }' || fail "the long description is not wrapped"
[ ! -e "$usr/share/tavrin/tools" ] && [ ! -e "$usr/share/tavrin/linux" ] ||
  fail "the package ships the data's build tools"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$usr/share/metainfo/org.tavrin.Tavrin.metainfo.xml" >"$work/as.log" 2>&1 ||
    { cat "$work/as.log" >&2; fail "the AppStream metadata does not validate"; }
fi
# The manual pages read without a warning from man.
if command -v man >/dev/null; then
  for page in tavrin tavrin-disk; do
    ! man --warnings -E UTF-8 -l "$usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null | grep . >&2 ||
      fail "man warns about the manual page of $page"
  done
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$usr/share/applications/org.tavrin.Tavrin.desktop" >&2 ||
    fail "the desktop entry does not validate"
fi

# A display of its own: Xvfb picks a free number and writes it to fd 9.
Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp 9>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
i=0
while [ ! -s "$work/display" ] && [ $i -lt 100 ]; do sleep 0.2; i=$((i + 1)); done
[ -s "$work/display" ] || fail "Xvfb did not start a display"
display=":$(head -n 1 "$work/display")"

# A new user: an empty home, no XDG_DATA_HOME, started from elsewhere.
home="$work/home"
mkdir "$home"
(cd "$work" && exec env -u XDG_DATA_HOME HOME="$home" DISPLAY="$display" QT_QPA_PLATFORM=xcb \
   ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}" "$usr/bin/tavrin") >"$work/tavrin.log" 2>&1 &
tavrin_pid=$!
i=0
until DISPLAY="$display" xdotool search --onlyvisible --name '^Tavrin$' >/dev/null 2>&1; do
  kill -0 "$tavrin_pid" 2>/dev/null || { cat "$work/tavrin.log" >&2; fail "tavrin ended before its window appeared"; }
  [ $i -lt 300 ] || fail "the main window never appeared"
  sleep 0.2; i=$((i + 1))
done

data="$home/.local/share/tavrin"
[ -d "$data" ] || fail "no per-user folder $data"
for d in Temp Data Transfer; do
  [ -d "$data/$d" ] || fail "the per-user folder lacks $d"
done
# Every shipped file is there, as shipped.
(cd "$usr/share/tavrin" && find . -type f) | while read -r f; do
  cmp -s "$usr/share/tavrin/$f" "$data/$f" || fail "the per-user folder lacks $f or holds another one"
done
# "Data" is shipped too (the Internet reference catalogue); the working
# folders are never made among the installed files.
for d in Temp Transfer; do
  [ ! -e "$usr/share/tavrin/$d" ] || fail "tavrin wrote $d into the installed folders"
done
for d in Temp Data Transfer; do
  [ ! -e "$usr/bin/$d" ] || fail "tavrin wrote $d into the installed folders"
done
[ "$(cat "$data/.tavrin-data")" = "$(dpkg-deb -f "$deb" Version)" ] ||
  fail "the per-user folder does not record the version its data came from"
grep -q '  bbc.mdb$' "$data/.tavrin-shipped" ||
  fail "the per-user folder does not record the shipped files"

# Varnock and its engines load from the installed library folder.
cp "$unzip_check" "$usr/bin/"
mkdir "$work/src"
echo "from the archive" >"$work/src/README.TXT"
(cd "$work/src" && zip -q ../software.zip README.TXT)
loaded=$("$usr/bin/$(basename "$unzip_check")" "$work/software.zip" "$work/out") ||
  fail "the installed Varnock could not unzip an archive"
[ "$loaded" = "$usr/lib/tavrin/libvarnock.so" ] || fail "Varnock was loaded from $loaded"
cmp -s "$work/src/README.TXT" "$work/out/README.TXT" || fail "the unzipped file differs"
echo "PASS: $data made and filled by the installed program; Varnock loaded from $loaded"
