#!/usr/bin/env bash
# Every test tier, one after the other:
#   1. native unit tests under AddressSanitizer/UndefinedBehaviorSanitizer
#   2. the same unit tests plus the Windows-backend tests, cross-compiled and
#      run under Wine
#   3. end-to-end tests of AutoUpdate.exe under Wine + Xvfb against a local
#      HTTP server (label "e2e", part of the Windows ctest run)
#   plus short smoke runs of the libFuzzer targets.
# Exits non-zero when any test fails. Set AU_TIERS to run a subset
# (e.g. AU_TIERS="native" or AU_TIERS="windows fuzz").
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1
. tests/support/wine-env.sh

tiers=${AU_TIERS:-native windows fuzz}
jobs=$(nproc)
passed=0; failed=0; broken=()

# run_ctest NAME BUILD_DIR [ctest args...]: runs ctest, adds up its counts.
run_ctest() {
  local name=$1 dir=$2; shift 2
  local log
  log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure --timeout 1200 "$@" 2>&1 | tee "$log"
  local line p f total
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ] && grep -q 'No tests were found' "$log"; then
    echo "== $name: no tests yet"
  elif [ -z "$line" ]; then
    echo "== $name: ctest gave no result"; broken+=("$name"); failed=$((failed + 1))
  else
    f=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* tests failed out of ([0-9]+).*/\1/' <<<"$line")
    p=$((total - f)); passed=$((passed + p)); failed=$((failed + f))
    [ "$f" -eq 0 ] || broken+=("$name")
  fi
  rm -f "$log"
}

# build PRESET: configure and build, warnings as errors.
build() {
  local preset=$1
  if ! cmake --preset "$preset" -DAU_WERROR=ON >/dev/null || ! cmake --build "build/$preset" -j"$jobs"; then
    echo "== build of $preset failed"; broken+=("build:$preset"); failed=$((failed + 1)); return 1
  fi
}

for tier in $tiers; do
  case $tier in
    native)
      echo "== Tier 1: native unit tests (ASan/UBSan)"
      build native && run_ctest native build/native -j"$jobs"
      ;;
    windows)
      # The product is the 32-bit build; where this machine cannot run 32-bit
      # programs the Wine tiers use the 64-bit build of the same sources.
      if [ "$AU_WINDOWS_PRESET" != win32 ]; then
        echo "== Building the 32-bit product (this kernel runs no 32-bit programs: Wine tiers use $AU_WINDOWS_PRESET)"
        build win32
      fi
      echo "== Tier 2: unit and Windows-backend tests under Wine ($AU_WINDOWS_PRESET)"
      if build "$AU_WINDOWS_PRESET"; then
        run_ctest wine-unit "build/$AU_WINDOWS_PRESET" -LE e2e -j"$jobs"
        echo "== Tier 3: end-to-end tests under Wine + Xvfb"
        if ctest --test-dir "build/$AU_WINDOWS_PRESET" -N -L e2e | grep -q 'Total Tests: [1-9]'; then
          run_ctest e2e "build/$AU_WINDOWS_PRESET" -L e2e
        else
          echo "== no end-to-end tests"; broken+=("e2e:none"); failed=$((failed + 1))
        fi
      fi
      ;;
    fuzz)
      echo "== Fuzz smoke runs (libFuzzer)"
      build fuzz && run_ctest fuzz build/fuzz -j"$jobs"
      ;;
    *) echo "unknown tier $tier"; exit 2 ;;
  esac
done

echo
[ ${#broken[@]} -eq 0 ] || echo "== failing: ${broken[*]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
