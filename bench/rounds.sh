#!/usr/bin/env bash
# Times two commands against each other in alternating rounds (hyperfine,
# 10 runs each per round) and prints, per round, the mean of each and the
# second's time over the first's, then the median round. On a machine whose
# speed drifts from minute to minute, a ratio taken within one round is
# steadier than two timings taken apart.
# Usage: rounds.sh ROUNDS "ENGINE COMMAND" "REFERENCE COMMAND"
set -euo pipefail
rounds=${1:?usage: rounds.sh ROUNDS ENGINE REFERENCE}
engine=${2:?}
reference=${3:?}
json=$(mktemp)
trap 'rm -f "$json"' EXIT
echo "engine ms, reference ms, reference / engine"
for _ in $(seq "$rounds"); do
  hyperfine -N -i --warmup 2 --runs 10 --export-json "$json" "$engine" "$reference" >/dev/null 2>&1
  python3 -c "
import json, sys
e, r = (x['mean'] * 1000 for x in json.load(open(sys.argv[1]))['results'])
print('%.1f %.1f %.1f' % (e, r, r / e))" "$json"
done | sort -k3 -n | awk '{ line[NR] = $0; print } END { print "median round: " line[int((NR + 1) / 2)] }'
