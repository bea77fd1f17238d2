#!/usr/bin/env bash
# Fails when an installed library exports a dynamic symbol that no installed header declares:
# every export is ABI we promise to keep, so none may slip out by accident.
# Usage: CheckExports.sh PREFIX [CMAKE BUILD_DIR [CONFIG]]
# With CMAKE and BUILD_DIR, installs the build tree into PREFIX (emptied first) before checking.
set -euo pipefail

prefix=$1
if (($# >= 3)); then
  rm -rf "$prefix"
  install_args=(--install "$3" --prefix "$prefix")
  if [[ -n ${4:-} ]]; then install_args+=(--config "$4"); fi
  "$2" "${install_args[@]}" >/dev/null
fi

headers="$prefix/include/QIREngSystemDbServerClient"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Declarations only: a name mentioned in a comment promises nothing.
sed 's://.*$::' "$headers"/*.h >"$scratch/declarations"

shopt -s nullglob
libraries=("$prefix"/lib/lib*.so)
if ((${#libraries[@]} == 0)); then
  echo "no library under $prefix/lib" >&2
  exit 1
fi

declared() { grep -qwF -- "$1" "$scratch/declarations"; }
declared_class() {
  grep -qE "^(class|struct) (QIR_API |QIREDS_SCHEMA_SYNC_API )?$1( |\{|$)" "$scratch/declarations"
}

# The compiler's companions of a class (its type information, table, thunks) stand for it, as
# AddressSanitizer's indicator of an exported object stands for the object.
companions='typeinfo name for|typeinfo for|vtable for|VTT for|non-virtual thunk to'
companions+='|virtual thunk to|guard variable for'

failures=0
for library in "${libraries[@]}"; do
  nm -D --defined-only -C "$library" | cut -d' ' -f3- >"$scratch/symbols"
  count=0
  while IFS= read -r symbol; do
    count=$((count + 1))
    name=$(sed -E "s/^($companions) //; s/^__odr_asan(\\.|_gen_)//" <<<"$symbol")
    name=${name%%(*}
    name=${name%%\[abi:*}
    first=${name%%::*}
    member=${name##*::}
    if [[ $name == *::* ]]; then
      if declared_class "$first" && declared "$member"; then continue; fi
    elif [[ $first =~ ^[A-Za-z_][A-Za-z0-9_]*$ ]] && declared_class "$first"; then
      continue
    elif declared "$first"; then
      continue
    fi
    echo "$(basename "$library"): exports '$symbol', which no installed header declares"
    failures=$((failures + 1))
  done <"$scratch/symbols"
  if ((count == 0)); then
    echo "$(basename "$library"): exports nothing" >&2
    failures=$((failures + 1))
  fi
  echo "$(basename "$library"): $count exported symbols checked"
done
((failures == 0))
