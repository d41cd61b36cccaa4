#!/usr/bin/env bash
# Times the SAT back ends on DIMACS files: every file is solved by satbench with
# MiniSat, Glucose and the module-aware MiniSat, each with and without
# preprocessing. (bench/sat_compare.py adds cadical and picosat, generated
# miters and factoring problems and clause sets dumped by varnok.)
# Prints one line per file (answer, seconds and conflicts of every back end),
# then the total seconds of every back end and its ratio to the first one.
# Exit status 1 when the back ends disagree on an answer or satbench fails.
#
# Usage: bench/sat_backends.sh SATBENCH [FILE_OR_DIR ...]
#   The default set is bench/cnf; a larger one of the same kinds comes from
#   python3 bench/cnf/generate.py --larger DIR.
set -u
satbench=${1:?satbench binary (build/bench/satbench)}
shift
if [ $# -eq 0 ]; then set -- "$(dirname "$0")/cnf"; fi
files=()
for arg in "$@"; do
  if [ -d "$arg" ]; then
    for f in "$arg"/*.cnf; do files+=("$f"); done
  else
    files+=("$arg")
  fi
done

backends=("minisat on" "minisat off" "glucose on" "glucose off" "minisat-modified on" "minisat-modified off")
labels=("simp" "core" "glu-simp" "glu-core" "simp-mod" "core-mod")
totals=(0 0 0 0 0 0)
status=0
printf '%-26s %-6s' file answer
for l in "${labels[@]}"; do printf ' %9s %9s' "$l[s]" conflicts; done
printf '\n'
for f in "${files[@]}"; do
  answer=""
  line=""
  for k in "${!backends[@]}"; do
    set -- ${backends[$k]}
    if ! out=$("$satbench" --solver="$1" --preprocessing="$2" "$f" 2>&1); then
      echo "satbench failed on $f (${labels[$k]}): $out" >&2
      status=1
      continue
    fi
    a=$(printf '%s\n' "$out" | sed -n 1p)
    t=$(printf '%s\n' "$out" | sed -n 's/^time: \([0-9.]*\) s$/\1/p')
    c=$(printf '%s\n' "$out" | sed -n 's/^conflicts: //p')
    if [ -z "$answer" ]; then
      answer=$a
    elif [ "$a" != "$answer" ]; then
      echo "back ends disagree on $f: ${labels[0]} $answer, ${labels[$k]} $a" >&2
      status=1
    fi
    totals[$k]=$(awk -v a="${totals[$k]}" -v b="$t" 'BEGIN { printf "%.3f", a + b }')
    line+=$(printf ' %9s %9s' "$t" "$c")
  done
  printf '%-26s %-6s%s\n' "$(basename "$f")" "$answer" "$line"
done
printf '%-33s' total
for k in "${!totals[@]}"; do printf ' %9s %9s' "${totals[$k]}" ""; done
printf '\n%-33s' "ratio to ${labels[0]}"
for k in "${!totals[@]}"; do
  printf ' %9s %9s' "$(awk -v a="${totals[$k]}" -v b="${totals[0]}" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')" ""
done
printf '\n'
exit $status
