#!/usr/bin/env bash
# The release archives of scripts/package.sh as a user gets them: each is
# unpacked into an empty folder and, with only what it holds, builds a service
# executable from a small configuration (runtime jar embedded) that installs,
# reports and uninstalls its service under Wine's service control manager, in
# a private prefix this test creates and removes. The Windows archive's
# vexlo-build.exe makes the same build under Wine.
# Usage: tests/package/archive_test.sh [folder with the archives, default build/packages]
set -uo pipefail
cd "$(dirname "$0")/../.."
packages=$(realpath "${1:-build/packages}")
version=$(sed -n 's/^project(vexlo VERSION \([^ )]*\).*/\1/p' CMakeLists.txt)
work=$(realpath -m build/archive-test)
rm -rf "$work" && mkdir -p "$work" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect LABEL EXIT OUTPUT COMMAND...: the command's exit code and its whole
# output (standard output and error, without carriage returns); an OUTPUT
# written /REGEX/ is matched as an extended regular expression.
expect() {
  local label=$1 code=$2 want=$3 got status
  shift 3
  got=$("$@" 2>&1 | tr -d '\r'; exit "${PIPESTATUS[0]}")
  status=$?
  [ "$status" = "$code" ] || fail "$label: exit code $status, expected $code; output: $got"
  if [[ $want == /*/ ]]; then
    local pattern=${want:1:-1}
    [[ $got =~ $pattern ]] || fail "$label: output does not match $want: $got"
  else
    [ "$got" = "$want" ] || fail "$label: output differs; expected:"$'\n'"$want"$'\n'"got:"$'\n'"$got"
  fi
}

# Unpacks an archive into an empty folder; prints the folder it holds.
unpack() {
  local archive=$packages/vexlo-$version-$1 into=$work/$2
  [ -f "$archive" ] || { fail "no archive $archive"; return 1; }
  mkdir "$into" && (cd "$into" && cmake -E tar xf "$archive") || { fail "cannot unpack $archive"; return 1; }
  echo "$into/vexlo-$version-${1%%.*}"
}
linux=$(unpack linux-x64.tar.gz linux) || exit 1
windows=$(unpack windows-x64.zip windows) || exit 1

# What both archives hold beside their builder, the same in each.
for file in vexlo-service.exe vexlo-runtime.jar tvlruntime.jar LICENSE THIRD-PARTY-NOTICES.txt README.txt \
            docs/configuration.md examples/demo/demo.toml examples/demo/demo.jar \
            examples/demo/src/com/vexlo/demo/DemoService.java; do
  [ -s "$linux/$file" ] || fail "linux archive: no $file"
  cmp -s "$linux/$file" "$windows/$file" || fail "$file differs between the archives"
done
cmp -s LICENSE "$linux/LICENSE" || fail "LICENSE is not the repository's"
grep -q "Version 2.0, January 2004" "$linux/LICENSE" || fail "LICENSE is not the Apache License 2.0"
[ -x "$linux/vexlo-build" ] || fail "linux archive: vexlo-build missing or not executable"
[ -s "$windows/vexlo-build.exe" ] || fail "windows archive: no vexlo-build.exe"

export VEXLO_WINEPREFIX=$work/wineprefix
cmake/wine-prefix.sh up "$VEXLO_WINEPREFIX" >/dev/null || { fail "wine prefix"; exit 1; }
# The folders stay for a look after a failure.
trap 'cmake/wine-prefix.sh down "$VEXLO_WINEPREFIX" >/dev/null; [ "$failures" -ne 0 ] || rm -rf "$work"' EXIT
unset VEXLO_LOG TAVRELIUM_LOG
wine_in() { local dir=$1; shift; (cd "$dir" && "$OLDPWD/cmake/wine-run.sh" "$@"); }
linux_in() { local dir=$1; shift; (cd "$dir" && "$@"); }

expect "vexlo-build --version" 0 "vexlo-build $version" "$linux/vexlo-build" --version
expect "vexlo-build.exe --version" 0 "vexlo-build $version" wine_in "$windows" vexlo-build.exe --version

# The builder alone, without the files beside it: it must look there and
# nowhere else (a build tree's stub would let a broken archive pass).
mkdir "$work/linux-alone" "$work/windows-alone"
cp "$linux/vexlo-build" "$work/linux-alone/"
cp "$windows/vexlo-build.exe" "$work/windows-alone/"
for dir in linux-alone windows-alone; do
  printf '[java]\nmain-class = "a.B"\n' >"$work/$dir/alone.toml"
done
alone='alone\.toml: error: no launcher stub \(vexlo-service\.exe\) found; looked at [^,]*vexlo-service\.exe; give --stub'
alone+='.*error: java\.runtime: the Java runtime jar \(vexlo-runtime\.jar\) to embed was not found; looked at [^,]*vexlo-runtime\.jar;'
alone+='.*alone\.exe not written \(2 errors\)$'
expect "linux vexlo-build alone" 1 "/$alone/" linux_in "$work/linux-alone" ./vexlo-build build alone.toml -o alone.exe
expect "windows vexlo-build.exe alone" 1 "/$alone/" wine_in "$work/windows-alone" vexlo-build.exe build alone.toml -o alone.exe
[ ! -e "$work/linux-alone/alone.exe" ] && [ ! -e "$work/windows-alone/alone.exe" ] || fail "an executable was written without a stub"

config='[service]
name = "Vexlo Archive Test"
description = "Built with a release archive"
start = "auto"

[java]
main-class = "com.example.Main"
class-path = [{ archive = "app.jar", required = true }]
runtime = "embedded"'
printf '%s\n' "$config" >"$linux/service.toml"
printf '%s\n' "$config" >"$windows/service.toml"
# The one included file is the archive's runtime jar.
built="/^wrote service\\.exe: [0-9]+ bytes \\(1 included file, $(stat -c %s "$linux/vexlo-runtime.jar") bytes\\)$/"
# Through a link from another folder, as the README installs it.
mkdir "$work/bin" && ln -s "$linux/vexlo-build" "$work/bin/vexlo-build"
expect "linux vexlo-build build" 0 "$built" linux_in "$linux" "$work/bin/vexlo-build" build service.toml -o service.exe
expect "windows vexlo-build.exe build" 0 "$built" \
  wine_in "$windows" vexlo-build.exe build service.toml -o service.exe
cmp -s "$linux/service.exe" "$windows/service.exe" || fail "the two builders made different executables"

for system in linux windows; do
  dir=${!system}
  expect "$system: -install" 0 "Installed service 'Vexlo Archive Test'." wine_in "$dir" service.exe -install
  expect "$system: -status" 3 $'Not running.\nAuto-start.' wine_in "$dir" service.exe -status
  expect "$system: -uninstall" 0 $'Service is already stopped.\nUninstalled service \'Vexlo Archive Test\'.' \
    wine_in "$dir" service.exe -uninstall
  expect "$system: -status after -uninstall" 1 "Could not get status." wine_in "$dir" service.exe -status
done

# The archive README's demo command.
expect "the demo" 0 '/^wrote examples/demo/vexlo-demo\.exe: /' \
  linux_in "$linux" ./vexlo-build build examples/demo/demo.toml -o examples/demo/vexlo-demo.exe

if [ "$failures" -eq 0 ]; then
  echo "archive test: both archives passed ($version)"
else
  echo "archive test: $failures failures (folders kept in $work)"
fi
[ "$failures" -eq 0 ]
