#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (AddressSanitizer and UBSan)
# and runs each for a while: ./scripts/fuzz.sh [seconds per target, default 20]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
out=build/fuzz
mkdir -p "$out"
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ not found; skipped"
  exit 0
fi
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -Isrc -Itests)
common=(src/sys/name_digest.cpp src/sys/path_text.cpp src/sys/text_list.cpp
        src/core/args.cpp src/core/block_format.cpp src/core/duration.cpp src/core/expand.cpp src/core/included_file_name.cpp
        src/core/message_text.cpp src/core/settings.cpp src/payload/included_files.cpp
        src/jvm/java_version.cpp src/jvm/packed_jre.cpp src/jvm/registry_keys.cpp src/jvm/search_rules.cpp
        src/coord/instance_name.cpp src/coord/locale_table.cpp src/coord/native_path.cpp
        src/launch/jvm_options.cpp src/launch/option_lines.cpp)
# The writers of launchers: the block and the resource section.
writers=(src/core/block_writer.cpp src/core/icon_file.cpp src/core/pe_image.cpp src/core/resource_section.cpp
         src/core/version_info.cpp)
# vexlo-build's readers: configuration files and executables to inspect.
builder=(-Ibuilder -DTOML_HEADER_ONLY=1 -DTOML_EXCEPTIONS=0 -DTOML_ENABLE_FORMATTERS=0
         builder/compile.cpp builder/compile_exe.cpp builder/compile_files.cpp builder/compile_java.cpp
         builder/compile_service.cpp builder/compile_values.cpp builder/describe_exe.cpp builder/describe_keys.cpp
         builder/describe_output.cpp builder/inspect.cpp builder/schema.cpp builder/text_encoding.cpp
         builder/toml_text.cpp "${writers[@]}")
for target in block_reader_fuzz text_rules_fuzz jvm_rules_fuzz option_files_fuzz builder_fuzz resource_section_fuzz; do
  extra=()
  [ "$target" = builder_fuzz ] && extra=("${builder[@]}")
  [ "$target" = resource_section_fuzz ] && extra=("${writers[@]}")
  clang++ "${flags[@]}" "tests/fuzz/$target.cpp" "${common[@]}" "${extra[@]}" -o "$out/$target"
  mkdir -p "$out/$target.corpus"
  echo "fuzz: $target for ${seconds}s"
  "$out/$target" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=1024 -artifact_prefix="$out/$target." \
    "$out/$target.corpus" 2>"$out/$target.log" || { tail -40 "$out/$target.log"; exit 1; }
  grep -E '^Done|#[0-9]+.*DONE' "$out/$target.log" | tail -1
done
