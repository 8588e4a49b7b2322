#!/usr/bin/env bash
# scripts/run in a checkout of its own with stand-ins for scripts/setup, cmake
# and the program: when the build runs and when the program starts at once.
set -u
run="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$work/checkout"
mkdir -p "$root/scripts" "$root/build/app" "$root/engine" "$work/bin"
cp "$run" "$root/scripts/run"
printf '#!/usr/bin/env bash\nexit 0\n' >"$root/scripts/setup"
chmod +x "$root/scripts/setup" "$root/scripts/run"
echo "int main() {}" >"$root/engine/player.cpp"
echo "project(stand_in)" >"$root/CMakeLists.txt"
git -C "$root" init -q
git -C "$root" add -A
git -C "$root" -c user.name=test -c user.email=test@localhost commit -qm files
# A configured build folder.
: >"$root/build/Makefile"
echo "CMAKE_BUILD_TYPE:STRING=Release" >"$root/build/CMakeCache.txt"
# The stand-in cmake notes each build and makes the program, which says it started.
cat >"$work/bin/cmake" <<STANDIN
#!/usr/bin/env bash
echo build >>"$work/builds"
printf '#!/usr/bin/env bash\necho started\n' >"$root/build/app/velka"
chmod +x "$root/build/app/velka"
STANDIN
chmod +x "$work/bin/cmake"

failures=0
# case | change before the launch | builds expected
cases=(
  "no program yet|true|1"
  "nothing changed|true|0"
  "a source changed|touch engine/player.cpp|1"
  "built, then nothing changed|true|0"
  "a CMake file changed|touch CMakeLists.txt|1"
  "an untracked file appeared|echo x >notes.txt|0"
  "a tracked file was removed|rm engine/player.cpp|1"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name change want <<<"$row"
  # File times in whole seconds on some file systems: let the change come later.
  sleep 0.05
  (cd "$root" && eval "$change")
  rm -f "$work/builds"
  output="$(PATH="$work/bin:$PATH" "$root/scripts/run" 2>&1)"
  builds=$(cat "$work/builds" 2>/dev/null | wc -l)
  result=ok
  if [ "$builds" -ne "$want" ]; then
    result="$builds builds, expected $want"
  elif [ "$output" != started ]; then
    result="the program did not start: $output"
  fi
  echo "$name: $result"
  [ "$result" = ok ] || failures=$((failures + 1))
done
exit "$failures"
