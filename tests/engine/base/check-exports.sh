#!/usr/bin/env bash
# Fails when libSonacap.so exports any name outside its public header, such as
# the log library (the program links its own copy and must not bind to ours).
# Usage: check-exports.sh <path to libSonacap.so>
set -euo pipefail
lib=$1
names=$(nm -DC --defined-only "$lib" | awk '{ $1 = ""; $2 = ""; sub(/^  */, ""); print }')

allowed='^(InitSonacapModule\(char const\*, char const\*\)|MmCodeMsg\(int\)'
allowed+='|(CAudioBase|CSonacapBase|ISonacapDriverSetup)::.*'
allowed+='|(vtable|typeinfo|typeinfo name) for (CAudioBase|CSonacapBase|ISonacapDriverSetup)'
# Linker and toolchain bookkeeping present in every shared object.
allowed+='|_init|_fini|_edata|_end|__bss_start)$'

status=0
unexpected=$(grep -Ev "$allowed" <<<"$names" || true)
if [ -n "$unexpected" ]; then
  echo "libSonacap.so exports names outside its public header:"
  echo "$unexpected"
  status=1
fi
for required in 'InitSonacapModule(char const*, char const*)' 'MmCodeMsg(int)' \
    'CSonacapBase::Release(CSonacapBase*)' 'ISonacapDriverSetup::Release(ISonacapDriverSetup*)' \
    'CSonacapBase::RegCallback(void (*)(void*, tagSonacapNotify, void*), void*)'; do
  if ! grep -qxF "$required" <<<"$names"; then
    echo "libSonacap.so does not export $required"
    status=1
  fi
done
# The two factories arrive with the engine object; once defined they must be exported.
for factory in 'CSonacapBase::GetInstance()' 'ISonacapDriverSetup::GetInstance(char const*)'; do
  if grep -qxF "$factory" <<<"$names"; then
    echo "exported: $factory"
  elif nm -C "$lib" | grep -F " T $factory" >/dev/null; then
    echo "$factory is defined but not exported"
    status=1
  else
    echo "not defined yet: $factory"
  fi
done
[ $status -eq 0 ] && echo "only public names are exported ($(wc -l <<<"$names") symbols)"
exit $status
