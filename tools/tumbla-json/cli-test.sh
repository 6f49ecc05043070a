#!/usr/bin/env bash
# Checks tumbla-json's output and exit codes. Usage: cli-test.sh PATH-TO-tumbla-json
set -u
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

# Exact match, or a prefix match when the expectation ends with "*".
matches() {
  local actual=$1 expected=$2
  if [[ $expected == *'*' ]]; then
    [[ $actual == "${expected%'*'}"* ]]
  else
    [[ $actual == "$expected" ]]
  fi
}

# expect NAME STATUS STDOUT STDERR -- ARGS... (stdin from $input; an empty STDERR is
# not checked)
expect() {
  local name=$1 status=$2 out=$3 err=$4
  shift 5
  local actual_status
  printf '%s' "$input" | "$tool" "$@" >"$work/out" 2>"$work/err"
  actual_status=$?
  if [[ $actual_status == "$status" ]] && matches "$(cat "$work/out")" "$out" &&
    { [[ -z $err ]] || matches "$(cat "$work/err")" "$err"; }; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $name: status $actual_status (want $status)"
    echo "  stdout: $(cat "$work/out")"
    echo "  stderr: $(cat "$work/err")"
  fi
}

input='{ "b" : [1, 2.50], "a" : "\u00e9" }'
expect compact 0 '{"b":[1,2.50],"a":"é"}' '' --
expect sorted-pretty 0 $'{\n  "a" : "é",\n  "b" : [\n    1,\n    2.50\n  ]\n}' '' -- --pretty --sort-keys
printf '%s' "$input" >"$work/in.json"
expect from-file 0 '{"b":[1,2.50],"a":"é"}' '' -- "$work/in.json"

# Larger than the buffer a pipe is first read into, and a file of a few megabytes: each
# must arrive whole.
input="[$(printf '"%07d",' $(seq 1 300000))0]"
expect large-pipe 0 "$input" '' --
printf '%s' "$input" >"$work/large.json"
expect large-file 0 "$input" '' -- "$work/large.json"
: >"$work/empty.json"
expect empty-file 1 '' 'code 11: Unexpected end of string' -- "$work/empty.json"

input='[1,x]'
expect error-trace 1 '' $'code 3: Unrecognised leading character\ncode 3: Expected value while parsing array' --
input='42'
expect needs-container 1 '' 'code 4: Valid fragment, but not JSON' --
expect fragment 0 '42' '' -- --fragment
input='[[[]]]'
expect depth 1 '' $'code 7: Nested too deep\ncode 3: Expected value while parsing array\ncode 3: Expected value while parsing array' -- --max-depth 2
expect no-limit 0 '[[[]]]' '' -- --max-depth 0

input=''
expect help 0 'usage: tumbla-json*' '' -- --help
expect unknown-option 2 '' 'tumbla-json: unknown option --bogus*' -- --bogus
expect bad-depth 2 '' 'tumbla-json: --max-depth needs a whole number*' -- --max-depth -1
expect directory 2 '' "tumbla-json: cannot read $work" -- "$work"
expect missing-file 2 '' "tumbla-json: cannot open $work/absent.json: No such file or directory" -- "$work/absent.json"

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
