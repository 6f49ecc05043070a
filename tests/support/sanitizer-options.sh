# Sourced before running tests of a sanitizer build: what the sanitizers report, and what
# of the web engine's and the toolkit's they leave alone (see the .supp files beside this).
support=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export ASAN_OPTIONS="detect_leaks=1"
export LSAN_OPTIONS="suppressions=$support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="suppressions=$support/ubsan.supp:print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
