#!/usr/bin/env bash
# Builds the listing parser as a libFuzzer target (clang, ASan, UBSan) and
# runs it: fuzz_listing.sh [SECONDS] (default 60). Not part of ctest: a
# fixed-seed share of the same checks runs there as ListingFuzz.*.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${FUZZ_OUT:-$(mktemp -d)}
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -DLISTING_FUZZER -I"$root" -I"$here" \
  "$here/ListingFuzzTarget.cpp" "$root/browser/Listing.cpp" -o "$out/listing_fuzzer"
mkdir -p "$out/corpus"
printf 'drwxr-xr-x   2 owner group 512 Jan 12 10:31 public html\r\n-rw-r--r-- 1 a b 10240 Dec  3  1998 x\r\ntotal 3\r\n' \
  >"$out/corpus/seed"
"$out/listing_fuzzer" -max_total_time="${1:-60}" -max_len=4096 -timeout=5 "$out/corpus"
echo "fuzzer and corpus in $out"
