#!/bin/sh
# Usage: voice-builds-apart.sh NM AVX2_OBJECT... -- OTHER_OBJECT...
#
# The voice is compiled twice, for every x86-64 processor and for AVX2 and
# FMA. Where both builds' objects define a function of the same name (an
# inline or template function, emitted out of line as a weak or COMDAT
# copy), the linker keeps one copy for both, and an AVX2 copy may run on a
# processor without AVX2. So every global symbol the AVX2 objects define
# must belong to that build alone: its name mentions the namespace
# Tarno::avx2 (mangled "5Tarno4avx2"), or it is one of the compiler's data
# words that are the same in every object. And none of them may be defined
# by the other objects. Fails listing the offending symbols.
set -u
nm=$1
shift
avx2=""
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  avx2="$avx2 $1"
  shift
done
[ $# -gt 0 ] && shift
others="$*"

defined() { "$nm" --defined-only -g "$@" 2>/dev/null | awk 'NF >= 3 { print $3 }' | sort -u; }

avx2_symbols=$(defined $avx2)
if [ -z "$avx2_symbols" ]; then
  echo "FAIL  no symbols read from the AVX2 objects:$avx2"
  exit 1
fi
shared=$(printf '%s\n' "$avx2_symbols" | grep -v '5Tarno4avx2' |
  grep -v -e '^DW\.ref\.__gxx_personality_v0$' -e '^\.refptr\.')
both=""
if [ -n "$others" ]; then
  listed=$(mktemp)
  printf '%s\n' "$avx2_symbols" > "$listed"
  # mingw's .refptr stubs (a pointer to external data, such as the stack
  # protector's guard) are the same in every object and merged by the
  # linker: they stand for no code of either build.
  both=$(defined $others | comm -12 - "$listed" | grep -v -e '^\.refptr\.')
  rm -f "$listed"
fi

status=0
if [ -n "$shared" ]; then
  echo "FAIL  the AVX2 objects define symbols that are not theirs alone:"
  printf '%s\n' "$shared" | sed 's/^/        /'
  status=1
fi
if [ -n "$both" ]; then
  echo "FAIL  symbols defined by the AVX2 objects and by others too:"
  printf '%s\n' "$both" | sed 's/^/        /'
  status=1
fi
[ $status -eq 0 ] && echo "ok    $(printf '%s\n' "$avx2_symbols" | wc -l) symbols of the AVX2 objects, all their own"
exit $status
