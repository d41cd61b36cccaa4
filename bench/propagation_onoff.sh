#!/usr/bin/env bash
# Time and answers of varnok with constraint propagation off and on over the
# bit-vector files of the benchmark corpus.
#
# Usage: bench/propagation_onoff.sh VARNOK_BINARY BENCHMARK_DIR [TIME_LIMIT_S] [PATH_REGEX]
#   BENCHMARK_DIR holds MANIFEST.tsv (path, logic, expected answers, ...).
#   PATH_REGEX selects manifest paths (default: the bit-vector folders
#   smt2/bv/ and smt1/bv/).
# Prints one line per file (answers and seconds of both runs), then a summary:
# files, answers that differ between the runs, answers that contradict the
# expected status, solved counts and total time of each run. Exit status 1
# when a run contradicts the expected answer or the two runs disagree.
set -u
bin=${1:?varnok binary}
dir=${2:?benchmark directory}
limit=${3:-20}
select=${4:-'^(smt2/bv/|smt1/bv/)'}

files=0
differ=0
wrong=0
declare -A solved=([off]=0 [on]=0)
declare -A total=([off]=0 [on]=0)

run() {  # mode file -> "answers seconds"
  local start end out
  start=$(date +%s.%N)
  out=$(timeout "$limit" "$bin" --constraint-propagation="$1" "$2" 2>/dev/null | grep -E '^(sat|unsat|unknown)$' |
        paste -sd, -)
  end=$(date +%s.%N)
  [ -z "$out" ] && out="-"
  echo "$out $(echo "$end - $start" | bc)"
}

printf '%-70s %-14s %8s %-14s %8s %s\n' file off s on s expected
while IFS=$'\t' read -r path logic expected rest; do
  [ "$path" = path ] && continue
  [[ "$path" =~ $select ]] || continue
  files=$((files + 1))
  read -r aoff toff <<<"$(run off "$dir/$path")"
  read -r aon ton <<<"$(run on "$dir/$path")"
  note=""
  # A time-out on one side is no disagreement; two different answers are.
  if [ "$aoff" != "-" ] && [ "$aon" != "-" ] && [ "$aoff" != "$aon" ]; then differ=$((differ + 1)); note="DIFFER"; fi
  for m in off on; do
    a=$aoff; t=$toff
    [ $m = on ] && { a=$aon; t=$ton; }
    total[$m]=$(echo "${total[$m]} + $t" | bc)
    if [ "$a" = "$expected" ]; then
      solved[$m]=$((solved[$m] + 1))
    elif [ "$a" != "-" ] && [[ "$a" != *unknown* ]]; then
      wrong=$((wrong + 1)); note="$note WRONG-$m"
    fi
  done
  printf '%-70s %-14s %8.3f %-14s %8.3f %s %s\n' "$path" "$aoff" "$toff" "$aon" "$ton" "$expected" "$note"
done <"$dir/MANIFEST.tsv"

echo
echo "files $files, limit ${limit}s"
printf '%-16s %8s %10s\n' propagation solved seconds
printf '%-16s %8d %10.2f\n' off "${solved[off]}" "${total[off]}"
printf '%-16s %8d %10.2f\n' on "${solved[on]}" "${total[on]}"
echo "answers differing between off and on: $differ; answers contradicting the expected status: $wrong"
[ "$differ" -eq 0 ] && [ "$wrong" -eq 0 ]
