#!/usr/bin/env bash
# How many matches this machine plays at once without the players losing their send slots:
# a series (scripts/series.sh) of the same matches at each number of matches at once, and
# per series the wall time, the send slots missed (as a share of all slots), the send-slot
# p99 (median and largest over the matches; per match the largest of its three slots'),
# and the processor time the series took (user + system, as a share of all cores over the
# wall time) next to how busy the whole machine was meanwhile (/proc/stat), which shows
# other work, and the load average at the row's start. A series has at least as many
# matches as it plays at once, so that every J is played in full. The last column says
# whether J is past the knee: more than 0.1% of the slots missed, or a match's send-slot
# p99 above 20 ms; the last line names the largest J before it. Prints a Markdown table;
# each series stays in DIR/jobs-J. About 6 minutes with the defaults on two cores.
#
#   bench/series_jobs.sh [--matches N] [--cycles C] [--jobs "8 16 32 64"] [--dir D]
#
#   --matches N   matches per series, at least J (default 8)
#   --cycles C    cycles per match (default 300)
#   --jobs LIST   the numbers of matches at once, 1 to 64 each (default "8 16 32 64")
#   --dir D       where the series go (default a new folder /tmp/vorn-jobs.*)
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/common.sh"
matches=8 cycles=300 joblist="8 16 32 64" dir=""

declare -A optiontable=([--matches]=matches [--cycles]=cycles [--jobs]=joblist [--dir]=dir)
parseoptions "$@"
checkcount --matches "$matches" 1 10000
checkcount --cycles "$cycles" 1 1000000
[ -n "$joblist" ] || die "--jobs needs at least one number"
for j in $joblist; do checkcount --jobs "$j" 1 64; done
if [ -n "$dir" ]; then
  checkfolder --dir "$dir"
  dir=$(makefolder "$dir") || exit 2
else
  dir=$(mktemp -d /tmp/vorn-jobs.XXXXXX) || die "cannot create a folder in /tmp"
fi

# busy: the machine's busy and total jiffies so far (all cores).
busy() {
  awk '/^cpu / { t = 0; for (i = 2; i <= NF; i++) t += $i; print t - $5 - $6, t }' /proc/stat
}

# figures SUMMARY: missed share in %, median and largest p99 in ms, the counts, and whether
# the series is past the knee (more than 0.1% missed or a p99 above 20 ms: "past", else "ok").
figures() {
  python3 - "$1" <<'EOF'
import json, statistics, sys
s = json.load(open(sys.argv[1]))
p = sorted(m["p99_ms"] for m in s["matches"] if m.get("p99_ms") is not None)
share = "-" if s["missed_share"] is None else f"{100 * s['missed_share']:.3f}%"
past = s["missed_share"] is None or s["missed_share"] > 0.001 or not p or p[-1] > 20
print(share, f"{statistics.median(p):.2f}" if p else "-", f"{p[-1]:.2f}" if p else "-",
      f"{s['missed_slots']}/{s['slots']}", "past" if past else "ok")
EOF
}

cores=$(nproc)
host=$(uname -n)
model=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)
echo "$host: $cores cores, $model; load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "series of at least $matches matches of $cycles cycles in $dir"
echo
echo "| matches at once | matches | wall time | missed slots | p99 median / max (ms) |" \
  "series' processor use | machine busy | load at the start | knee |"
echo "|---|---|---|---|---|---|---|---|---|"
knee="" past=""
for j in $joblist; do
  n=$((j > matches ? j : matches))
  load=$(cut -d' ' -f1 /proc/loadavg)
  read -r busy0 total0 <<<"$(busy)"
  TIMEFORMAT="%R %U %S"
  times=$({ time "$here/scripts/series.sh" --matches "$n" --jobs "$j" --cycles "$cycles" \
    --dir "$dir/jobs-$j" >"$dir/jobs-$j.txt" 2>&1; } 2>&1)
  read -r busy1 total1 <<<"$(busy)"
  read -r wall user sys <<<"$times"
  read -r share p99med p99max counts mark <<<"$(figures "$dir/jobs-$j/summary.json")"
  use=$(awk -v u="$user" -v s="$sys" -v w="$wall" -v c="$cores" \
    'BEGIN { printf "%.1f%%", 100 * (u + s) / (w * c) }')
  machine=$(awk -v b="$((busy1 - busy0))" -v t="$((total1 - total0))" \
    'BEGIN { printf "%.1f%%", t ? 100 * b / t : 0 }')
  if [ "$mark" = past ]; then
    past=${past:-$j}
  elif [ -z "$past" ]; then
    knee=$j
  fi
  printf '| %s | %s | %.0f s | %s (%s) | %s / %s | %s | %s | %s | %s |\n' "$j" "$n" "$wall" \
    "$share" "$counts" "$p99med" "$p99max" "$use" "$machine" "$load" "$mark"
done
echo
echo "the largest J that kept the slots (at most 0.1% missed, p99 at most 20 ms):" \
  "${knee:-none of these}${past:+; the first past the knee: $past}; load average at the end:" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
