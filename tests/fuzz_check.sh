#!/usr/bin/env bash
# tests/run fuzz: the fuzz targets of tests/fuzz, built by clang++ with
# libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer, each run
# for FUZZ_SECONDS seconds (60 unless set) on its committed corpus and on
# what earlier runs on this machine added in build/fuzz/corpus/.  It prints
# each target's executions, the code it reached (libFuzzer's cov, its
# count of edges, and ft, its count of features) and its corpus's size.
# An input that fails is kept in build/fuzz/artifacts/: once the fault is
# fixed, add it to tests/fuzz/corpus/TARGET/, whose every input the unit
# tests check on every build.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/lib.sh
seconds=${FUZZ_SECONDS:-60}
[[ $seconds =~ ^[1-9][0-9]*$ ]] || fail "FUZZ_SECONDS must be a whole number of seconds, not $seconds"
cmake --workflow --preset fuzz >/dev/null
build=build/fuzz
mkdir -p "$build/artifacts"
summary=()
for target in number-text mirrored-numbers centered-line; do
	mkdir -p "$build/corpus/$target"
	log=$build/$target.log
	echo "== fuzz-$target, $seconds s"
	# Value profiles steer by the operands of comparisons, such as how near
	# a fraction lies to a tie.
	if ! "$build/tests/fuzz/fuzz-$target" -max_total_time="$seconds" -timeout=10 \
		-use_value_profile=1 -print_final_stats=1 \
		-artifact_prefix="$build/artifacts/$target-" \
		"$build/corpus/$target" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
		tail -n 40 "$log"
		fail "fuzz-$target found a fault; the input is in $build/artifacts/"
	fi
	done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE ' "$log" | tail -n 1)
	executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
	per_second=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
	cov=$(sed 's/.* cov: \([0-9]*\).*/\1/' <<<"$done_line")
	features=$(sed 's/.* ft: \([0-9]*\).*/\1/' <<<"$done_line")
	corpus=$(sed 's/.* corp: \([0-9]*\/[0-9]*[a-zA-Z]*\).*/\1/' <<<"$done_line")
	summary+=("$(printf '%-17s %11s %9s %6s %6s   %s' "$target" "$executions" "$per_second" \
		"$cov" "$features" "$corpus")")
done
printf '%-17s %11s %9s %6s %6s   %s\n' target executions 'per s' cov ft 'corpus (inputs/bytes)'
printf '%s\n' "${summary[@]}"
echo "fuzz: no target found a fault in $seconds s"
