#!/usr/bin/env bash
# Installs what is missing, then builds and tests three configurations; exits non-zero if
# any test fails:
#   build/       the program as shipped: every test (core, windows, power, cross build under Wine,
#                end-to-end under Xvfb, static analysis)
#   build-asan/  AddressSanitizer + UndefinedBehaviorSanitizer: every test that runs native code
#   build-fuzz/  clang with libFuzzer: the core tests and each fuzz target for a bounded time
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."
"$here/setup-debian.sh" test || exit 1

failed=()
run() { # run NAME COMMAND...
    local name=$1
    shift
    echo "=== $name"
    "$@" || { failed+=("$name"); return 1; }
}
ctest_in() { # ctest_in BUILD_DIR [CTEST_ARGS...]
    local dir=$1
    shift
    ctest --test-dir "$dir" --output-on-failure --parallel 2 "$@"
}

if run "build" "$here/build.sh" build -DQUIETWATCH_BUILD_TESTS=ON; then
    run "tests" ctest_in build
fi
if run "build-asan" "$here/build.sh" build-asan -DQUIETWATCH_BUILD_TESTS=ON -DCMAKE_BUILD_TYPE=Debug -DQUIETWATCH_SANITIZE=ON; then
    # The cross build runs Windows code under Wine and the checks read source: neither is native code to instrument.
    # Qt 6.8 asks the desktop portal for its settings version at start and leaks the watcher of
    # a call still unanswered at exit: that question is not asked in this run.
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan.supp QT_NO_XDG_DESKTOP_PORTAL=1 \
        run "tests (sanitizers)" ctest_in build-asan -E '^(windows|checks)\.'
fi
if CXX=clang++ run "build-fuzz" "$here/build.sh" build-fuzz -DQUIETWATCH_BUILD_TESTS=ON -DQUIETWATCH_CORE_ONLY=ON -DQUIETWATCH_FUZZ=ON; then
    # The cross build and Wine run once, in build/.
    run "tests (fuzz)" ctest_in build-fuzz -E '^windows\.'
fi

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "All configurations passed."
