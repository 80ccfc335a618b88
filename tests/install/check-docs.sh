#!/bin/sh
# check-docs.sh SOURCE_DIR QUORVEL: the manual page renders without a warning, is of the
# program's version and quotes every message of the Expander; it and the bash completion
# know every option that the commands' --help lists; the completion offers the values
# --stub, --codepage and --overwrite take.
set -eu
page=$1/doc/quorvel.1
completion=$1/completion/quorvel.bash
messages=$1/src/expander/console/messages.hpp
quorvel=$2
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

if command -v groff >/dev/null; then
  warnings=$(groff -man -ww -z "$page" 2>&1)
elif command -v mandoc >/dev/null; then
  warnings=$(mandoc -T lint -W warning "$page" 2>&1 || true)
else
  echo "neither groff nor mandoc is installed (scripts/deps.sh installs groff-base)" >&2
  exit 1
fi
[ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"

# Every text the Expander prints stands in the page as it is printed (pieces such as
# " at " and "*** " aside); C++ literals side by side are joined first.
[ -f "$messages" ] || fail "no $messages"
page_text=$(sed 's/\\-/-/g' "$page")
missing=$(tr '\n' ' ' <"$messages" | sed 's/" *"//g' | grep -o '\[\] *= *"[^"]*"' |
  sed 's/^\[\] *= *"//; s/"$//; s/^ *//; s/ *$//' | while IFS= read -r message; do
    [ ${#message} -lt 4 ] || printf '%s\n' "$page_text" | grep -qF -- "$message" || echo "\"$message\""
  done)
[ -z "$missing" ] || fail "the manual page lacks what the Expander prints: $missing"

version=$("$quorvel" --version | sed 's/^quorvel //')
grep -q "^\.TH QUORVEL 1 .*\"quorvel $version\"" "$page" || fail "the manual page is not of version $version"

# completes WORD...: what the completion offers for a command line ending in its last word,
# in an empty folder, so that no file names are offered.
empty=$(mktemp -d)
trap 'rmdir "$empty"' EXIT
cd "$empty"
completes() {
  bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _quorvel; printf "%s\n" "${COMPREPLY[@]}"' \
    _ "$completion" "$@"
}

for command in "" pack list test extract; do
  # The first word of each option line of the help, "--overwrite=..." cut at the "=".
  options=$("$quorvel" $command --help | sed -n 's/^  \(-[^ =]*\).*/\1/p')
  [ -n "$options" ] || fail "no options in quorvel $command --help"
  offered=$(completes quorvel $command -)
  for option in $options; do
    in_page=$(printf '%s' "$option" | sed 's/-/\\\\-/g')
    grep -q "^\.B[IR]\{0,1\} $in_page\([ =]\|$\)" "$page" || fail "the manual page lacks $option of quorvel $command"
    printf '%s\n' "$offered" | grep -qx -- "$option=\{0,1\}" || fail "the completion lacks $option of quorvel $command"
  done
done

expect_completion() {
  expected=$1
  shift
  got=$(completes "$@" | tr '\n' ' ')
  [ "$got" = "$expected" ] || fail "completing '$*' gave '$got', not '$expected'"
}
expect_completion "pack " quorvel pa
expect_completion "windows native " quorvel pack --stub ''
expect_completion "932 936 949 950 " quorvel pack --codepage 9
expect_completion "always " quorvel extract --overwrite = al
exit $status
