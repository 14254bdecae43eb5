#!/usr/bin/env bash
# Plays a scenario on the engine and checks that the bridge and every browser
# process are gone afterwards: after a run that ends by itself ("ends"),
# after the reference host is killed while the page is up ("killed"), and
# after the bridge is killed with SIGKILL under the host ("bridge-killed"):
# the host then names the fault, ends, and the browser does not stay behind.
#   engine-leaves-no-processes.sh WINE_RUN REFHOST_EXE SCENARIO OUT ends|killed|bridge-killed
# The processes of this run are told apart from any others by a mark in
# their environment, which the host passes on to the bridge and the bridge to
# the browser.
# The processes of this run are found by a mark in their environment, which
# the host passes on to the bridge and the bridge to the browser, and by
# descent from those: the browser's helpers do not all keep the environment.
set -euo pipefail
wine_run=$1 exe=$2 scenario=$3 out=$4 mode=$5
mark="halvet-engine-run-$$-$RANDOM"
export HALVET_ENGINE_RUN=$mark

# "pid ppid starttime" of every process.
table() {
  local p rest
  for p in /proc/[0-9]*/stat; do
    rest=$(cat "$p" 2>/dev/null) || continue
    rest=${rest##*) }
    set -- $rest
    echo "${p//[^0-9]/} $2 ${20}"
  done
}

# "pid:starttime" of the marked bridge and browser processes and all below them.
snapshot() {
  local roots=() p
  for p in /proc/[0-9]*; do
    grep -qsa "HALVET_ENGINE_RUN=$mark" "$p/environ" 2>/dev/null || continue
    tr '\0' ' ' <"$p/cmdline" 2>/dev/null | grep -qE 'chrom|node|bridge\.js' || continue
    roots+=("${p#/proc/}")
  done
  table | awk -v roots="${roots[*]}" '
    { parent[$1] = $2; start[$1] = $3 }
    END {
      n = split(roots, r, " "); for (i = 1; i <= n; i++) keep[r[i]] = 1
      for (changed = 1; changed; ) { changed = 0
        for (p in parent) if (!(p in keep) && (parent[p] in keep)) { keep[p] = 1; changed = 1 } }
      for (p in keep) if (p in start) print p ":" start[p]
    }'
}

# How many of the processes in the snapshot still run.
still_there() {
  local n=0 entry pid rest
  for entry in $1; do
    pid=${entry%%:*}
    rest=$(cat "/proc/$pid/stat" 2>/dev/null) || continue
    rest=${rest##*) }
    set -- $rest
    [ "${20}" = "${entry#*:}" ] && n=$((n + 1))
  done
  echo $n
}

wait_for_none() {
  for _ in $(seq 1 40); do
    [ "$(still_there "$1")" -eq 0 ] && return 0
    sleep 0.5
  done
  echo "FAILED: $(still_there "$1") bridge or browser processes of the run are still there" >&2
  exit 1
}

rm -rf "$out"
mkdir -p "$out"
"$wine_run" "$exe" --out "Z:$out" --scenario "Z:$scenario" >"$out/output.txt" 2>&1 &
host=$!

# Wait until the page has loaded, so that all of them are up.
for _ in $(seq 1 120); do
  grep -qs '"text":"loaded ' "$out/trace.jsonl" && break
  sleep 0.5
done
if ! grep -qs '"text":"loaded ' "$out/trace.jsonl"; then
  cat "$out/output.txt"
  echo "FAILED: the page never loaded" >&2
  kill -9 "$host"
  exit 1
fi
processes=$(snapshot)
count=$(echo $processes | wc -w)
# Without processes to look for, the checks below would prove nothing.
if [ "$count" -lt 4 ]; then
  echo "FAILED: only $count bridge and browser processes found while the page was up" >&2
  kill -9 "$host"
  exit 1
fi

if [ "$mode" = ends ]; then
  status=0
  wait "$host" || status=$?
  cat "$out/output.txt"
  [ "$status" -eq 0 ] || { echo "FAILED: the run ended with status $status" >&2; exit 1; }
  wait_for_none "$processes"
  echo "none of the $count bridge and browser processes outlived the run"
  exit 0
fi

if [ "$mode" = bridge-killed ]; then
  bridge=""
  for p in /proc/[0-9]*; do
    grep -qsa "HALVET_ENGINE_RUN=$mark" "$p/environ" 2>/dev/null || continue
    tr '\0' ' ' <"$p/cmdline" 2>/dev/null | grep -q 'bridge\.js' && bridge=${p#/proc/}
  done
  [ -n "$bridge" ] || { echo "FAILED: no bridge process found" >&2; kill -9 "$host"; exit 1; }
  kill -9 "$bridge"
  status=0
  wait "$host" || status=$?
  cat "$out/output.txt"
  [ "$status" -eq 1 ] || { echo "FAILED: the run ended with status $status, wanted 1" >&2; exit 1; }
  grep -q 'the engine bridge ended' "$out/output.txt" ||
    { echo "FAILED: the host did not name the bridge's end" >&2; exit 1; }
  wait_for_none "$processes"
  echo "the bridge was killed with $count bridge and browser processes up; the host named it and none outlived it"
  exit 0
fi

tr '\0' ' ' <"/proc/$host/cmdline" | grep -q refhost || { echo "FAILED: $host is not the host" >&2; exit 1; }
kill -9 "$host"
wait "$host" 2>/dev/null || true
wait_for_none "$processes"
echo "the host was killed with $count bridge and browser processes up; none outlived it"
