#!/usr/bin/env bash
# The unattended installation under Wine against a plain copy of the same files, side by side in
# one run (by hand, not in CI): zqsetup.exe -silent with the package beside it, and xcopy of the
# decoded files (zqtool pak extract) into the same prefix, for the default package and for a
# package of about 200 MB made by the writer from the default package's sources with large
# contents under the list's own names (big hc*.bmp pictures, a big mailer.txz, big spell.dic and
# winapi.txt).
#
# Usage: bench/install_wine.sh [BUILD_DIR] [ROUNDS]   (default build/win64, 3 rounds)
# Needs the win64 build (zqsetup.exe, the default package and its staged sources) and its native
# zqtool (build/win64/host-tools). Uses its own prefix, build/win64/bench-prefix.
set -eu
# The set-up program opens its (hidden) window even when silent: it needs a display.
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a "$0" "$@"; fi
build=$(cd "${1:-build/win64}" && pwd)
rounds=${2:-3}
tool=$build/host-tools/zqtool
stage=$build/package/stage
[ -x "$tool" ] && [ -d "$stage/src" ] && [ -f "$build/app/zqsetup/zqsetup.exe" ] || {
  echo "build the win64 build first (cmake --build --preset win64)" >&2
  exit 2
}
export WINEPREFIX=$build/bench-prefix WINEDEBUG=-all WINEARCH=win64
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
c=$WINEPREFIX/drive_c
work=$c/zqbench
rm -rf "$work"
mkdir -p "$work"

# The big package: the default sources, some of them replaced by large contents.
big=$work/big-src
mkdir -p "$big/src" "$big/exe"
cp "$stage/src/"* "$big/src/"
cp "$stage/exe/"* "$big/exe/"
python3 - "$big/src" <<'PY'
import os, random, struct, sys
src = sys.argv[1]
rnd = random.Random(17)
table7 = bytes(i & 7 for i in range(256))
shift = [bytes((i + k) & 255 for i in range(256)) for k in range(256)]
def bmp(path, w, h):
    # A 24-bit picture: smooth gradients with a little noise, as photographs compress.
    red = bytes(x * 255 // w for x in range(w))
    blue = bytes(x * 127 // w for x in range(w))
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 54 + w * h * 3, 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, w * h * 3, 2835, 2835, 0, 0))
        for y in range(h):
            row = bytearray(w * 3)
            row[0::3] = red
            row[1::3] = bytes([y * 255 // h]) * w
            row[2::3] = blue.translate(shift[y * 127 // h])
            noise = rnd.randbytes(w * 3).translate(table7)
            row = (int.from_bytes(row, "little") ^ int.from_bytes(noise, "little"))
            f.write(row.to_bytes(w * 3, "little"))
for k in range(1, 9):
    bmp(os.path.join(src, "hc%d.bmp" % k), 2400, 2400)        # 17.3 MB each
with open(os.path.join(src, "mailer.txz"), "wb") as f:          # compressed data: no gain
    f.write(rnd.randbytes(40 << 20))
text = open(os.path.join(src, "winapi.txt"), "rb").read() or b"text\r\n"
with open(os.path.join(src, "winapi.txt"), "wb") as f:          # text
    f.write(text * max(1, (16 << 20) // len(text)))
words = open(os.path.join(src, "spell.dic"), "rb").read() or b"word\r\n"
with open(os.path.join(src, "spell.dic"), "wb") as f:
    f.write(words * max(1, (12 << 20) // len(words)))
PY
"$tool" pak build "$big/src" "$work/big.pak" --exe-dir "$big/exe" 2>/dev/null
"$tool" pak verify "$work/big.pak" >/dev/null
cp "$build/package/_zq64_.pak" "$work/default.pak"

now() { date +%s.%N; }
# Seconds of one run of a command.
timed() {
  local t0 t1
  t0=$(now)
  "$@" >/dev/null 2>&1 || echo "  (exit $? from $*)" >&2
  t1=$(now)
  echo "$t1 - $t0" | bc -l
}

printf '%-8s %10s %9s %9s %9s %6s\n' package MB files install xcopy ratio
for name in default big; do
  pak=$work/$name.pak
  mb=$(echo "$(stat -c %s "$pak") / 1000000" | bc -l)
  # The decoded files, once, for the copy.
  rm -rf "$work/files-$name"
  "$tool" pak extract "$pak" "$work/files-$name" >/dev/null
  files=$(find "$work/files-$name" -type f | wc -l)
  mkdir -p "$work/setup-$name"
  cp "$build/app/zqsetup/zqsetup.exe" "$work/setup-$name/"
  cp "$pak" "$work/setup-$name/_zq64_.pak"
  # Through a batch file, so that the command line reaches the program as written (wine would
  # quote an argument with spaces and quotes as a whole, which makes it a file name).
  printf '@C:\\zqbench\\setup-%s\\zqsetup.exe -silent -exe("C:\\Program Files\\zqbench-inst") -log("C:\\zqbench\\setup-%s.log")\r\n@exit /b %%errorlevel%%\r\n' \
    "$name" "$name" >"$work/install-$name.bat"
  inst_all=""
  copy_all=""
  # Both into the program-files folder (the set-up refuses other folders for a standard
  # installation), one after the other, each from nothing.
  for r in $(seq "$rounds"); do
    rm -rf "$c/Program Files/zqbench-inst" "$c/Program Files/zqbench-copy"
    sync
    t_inst=$(timed wine cmd /c "C:\\zqbench\\install-$name.bat")
    [ "$(find "$c/Program Files/zqbench-inst" -type f | wc -l)" -ge "$files" ] ||
      echo "  the installation of $name did not write every file" >&2
    rm -rf "$c/Program Files/zqbench-inst" "$c/Program Files/zqbench-copy"
    sync
    t_copy=$(timed wine cmd /c xcopy /e /i /q /y "C:\\zqbench\\files-$name" \
      "C:\\Program Files\\zqbench-copy")
    inst_all="$inst_all $t_inst"
    copy_all="$copy_all $t_copy"
  done
  # Medians of the rounds.
  median() { tr ' ' '\n' | grep . | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
  mi=$(echo "$inst_all" | median)
  mc=$(echo "$copy_all" | median)
  printf '%-8s %10.1f %9d %9.2f %9.2f %6.2f\n' "$name" "$mb" "$files" "$mi" "$mc" \
    "$(echo "$mi / $mc" | bc -l)"
  echo "  rounds: install$inst_all; xcopy$copy_all"
done
rm -rf "$c/Program Files/zqbench-inst" "$c/Program Files/zqbench-copy"
