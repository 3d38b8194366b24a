# The static checks that every shipped program shares, sourced by the check
# scripts: the image of the tree's architecture, no MinGW runtime DLL, the
# manifest's execution level and the version block.
#   pe_load OBJDUMP FILE i686|x86_64   dumps FILE and checks format and magic
#   pe_expect_gui | pe_expect_no_mingw_runtime
#   pe_expect_as_invoker | pe_expect_version VERSION
#   pe_result WHAT                     reports and gives the exit code
pe_fail=0

pe_load() {
  pe_objdump=$1 pe_file=$2 pe_arch=$3
  local format magic
  case "$pe_arch" in
    i686)   format=pei-i386   magic=010b ;;
    x86_64) format=pei-x86-64 magic=020b ;;
    *) echo "unknown architecture $pe_arch"; return 2 ;;
  esac
  pe_dump=$("$pe_objdump" -p "$pe_file") || { echo "objdump failed on $pe_file"; return 1; }
  grep -q "file format $format\$" <<<"$pe_dump" || { echo "not a $format image: $pe_file"; pe_fail=1; }
  grep -q "Magic.*$magic" <<<"$pe_dump" || { echo "optional header magic is not $magic"; pe_fail=1; }
  return 0
}

pe_expect_gui() {
  grep -q 'Subsystem.*Windows GUI' <<<"$pe_dump" || { echo "not a GUI program"; pe_fail=1; }
}

pe_expect_no_mingw_runtime() {
  if grep -iqE 'DLL Name: (libstdc\+\+|libgcc|libwinpthread)' <<<"$pe_dump"; then
    echo "imports a MinGW runtime DLL"
    pe_fail=1
  fi
}

pe_expect_as_invoker() {
  grep -aq 'requestedExecutionLevel level="asInvoker" uiAccess="false"' "$pe_file" \
    || { echo "asInvoker manifest missing"; pe_fail=1; }
}

pe_expect_version() {
  "${pe_objdump%objdump}strings" -el "$pe_file" | grep -qx "$1" || { echo "version $1 missing"; pe_fail=1; }
}

pe_result() {
  [ $pe_fail = 0 ] && echo "$1 checks passed: $pe_file ($pe_arch)"
  return $pe_fail
}
