#!/usr/bin/env bash
# Line coverage of the whole test suite: builds varnok with --coverage in
# build-coverage/, runs every test as CI runs them (the corpus tests
# included), then prints the line coverage of each file under src/ and
# include/ and, file by file, the lines no test executed.
#
#   bash tools/coverage.sh            # build, test, report
#   bash tools/coverage.sh --report   # report only, from the last run's data
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
build=build-coverage
bash tools/install-deps.sh
if ! command -v gcovr >/dev/null 2>&1; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq gcovr
fi

if [ "${1:-}" != "--report" ]; then
  jobs=$(nproc)
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVARNOK_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="--coverage" -DCMAKE_C_FLAGS="--coverage" \
    -DCMAKE_EXE_LINKER_FLAGS="--coverage" >/dev/null
  cmake --build "$build" -j "$jobs"
  find "$build" -name '*.gcda' -delete
  # A failing test still leaves its coverage behind; the report goes on.
  ctest --test-dir "$build" -j "$jobs" --output-on-failure || echo "coverage: some tests failed (see above)"
fi

json="$build/coverage.json"
gcovr --root "$root" --object-directory "$build" --filter "$root/src/" --filter "$root/include/" \
  --gcov-ignore-parse-errors --json "$json" >/dev/null

python3 - "$json" "$root" <<'EOF'
import json, os, sys
data = json.load(open(sys.argv[1]))
root = sys.argv[2]
files = []
for f in data["files"]:
    name = f["file"]
    lines = {}
    for l in f["lines"]:
        if l.get("gcovr/noncode"):
            continue
        n = l["line_number"]
        lines[n] = lines.get(n, 0) + l["count"]
    missed = sorted(n for n, c in lines.items() if c == 0)
    files.append((name, len(lines), len(lines) - len(missed), missed))
files.sort()
total = sum(f[1] for f in files)
hit = sum(f[2] for f in files)
print("%-60s %7s %7s %7s" % ("file", "lines", "run", "cover"))
for name, n, h, _ in files:
    print("%-60s %7d %7d %6.1f%%" % (name, n, h, 100.0 * h / n if n else 100.0))
print("%-60s %7d %7d %6.1f%%" % ("total", total, hit, 100.0 * hit / total if total else 100.0))
print()
print("lines no test executed:")
for name, _, _, missed in files:
    if not missed:
        continue
    print("== %s (%d)" % (name, len(missed)))
    try:
        text = open(os.path.join(root, name), encoding="utf-8", errors="replace").read().split("\n")
    except OSError:
        text = []
    for n in missed:
        print("%6d  %s" % (n, text[n - 1].rstrip() if n - 1 < len(text) else ""))
EOF
