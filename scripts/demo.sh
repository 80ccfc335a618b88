#!/bin/sh
# The main job: builds both Expanders and quorvel, packs a sample folder into a
# self-extracting file, lists and tests it, runs it in a fresh folder and compares what it
# made with the sample. Each command is shown before it runs. The results stay in
# demo-out/, made afresh on every run. It needs only what building quorvel and its Expanders
# needs (scripts/deps.sh build installs it as root); without GoogleTest the build leaves the
# tests out and says so.
set -eu
cd "$(dirname "$0")/.."
out=demo-out

# run COMMAND: shows the command, then runs it in a subshell; stops the demo if it fails.
run() {
  printf '\n$ %s\n' "$1"
  (eval "$1") || {
    status=$?
    echo "(exit code $status)"
    exit "$status"
  }
}

scripts/deps.sh build
echo "building the Expanders and quorvel into build/ (a few minutes on a fresh tree) ..."
generator=""
[ -f build/CMakeCache.txt ] || generator=" -GNinja"
run "cmake -S . -B build$generator -DCMAKE_BUILD_TYPE=Release >/dev/null"
run "cmake --build build -j$(nproc) --target quorvel"

echo
echo "making a sample folder in $out/sample ..."
rm -rf "$out"
run "mkdir -p $out/sample/docs $out/sample/src $out/sample/bin '$out/sample/empty folder'"
run "printf 'Quorvel Expander sample\r\n' >$out/sample/readme.txt && : >$out/sample/docs/empty.txt"
run "cp README.md $out/sample/docs/ && cp src/expander/archive/*.hpp $out/sample/src/"
run "printf '#!/bin/sh\necho hello from the sample\n' >$out/sample/bin/hello.sh && chmod 755 $out/sample/bin/hello.sh"

run "build/bin/quorvel pack --comment 'Quorvel sample archive' -o $out/sample.sfx $out/sample"
run "ls -l $out/sample.sfx"
run "build/bin/quorvel list $out/sample.sfx"
run "build/bin/quorvel test $out/sample.sfx"
run "mkdir $out/extracted"
run "cd $out/extracted && ../sample.sfx </dev/null"
run "ls -lR $out/extracted"
run "diff -r $out/sample $out/extracted/sample && echo 'identical to the packed folder'"
