# Shared by the desktop checks (sourced): `need TOOL...` skips the check (exit 77) when a tool is
# missing, `$tmp` is a folder that goes when the script ends, and `fail` ends it with one line.
need() {
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool is missing (scripts/test.sh installs it)"
      exit 77
    fi
  done
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
